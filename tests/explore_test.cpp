// End-to-end: preisach-lab explore as a user starts it, in a temporary
// folder with a real parameter file and measured data; its API asked as
// the page asks it, over HTTP: the token and the Host guard every request,
// the curves are those of preisach-lab curves to the last bit, Save writes
// the record, bad requests are refused with a message, Ctrl-C stops it.

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "lab/lab_files.h"
#include "test_support.h"

namespace preisach::test {
namespace {

// preisach-lab explore in the folder, its standard output (the address)
// and error in files; stopped with SIGINT at the end.
class Explorer {
 public:
  Explorer(const Workspace& w, const std::string& arguments) : w_(w) {
    pid_ = fork();
    if (pid_ == 0) {
      const std::string command = "cd '" + w.root().string() + "' && exec '" + PREISACH_LAB_EXECUTABLE +
                                  "' explore --no-browser " + arguments + " > url.txt 2> explore-err.txt < /dev/null";
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // The address appears once the server listens.
    for (int k = 0; k < 200 && url_.empty(); ++k) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const std::string text = readFile(w.root() / "url.txt");
      if (text.find('\n') != std::string::npos) url_ = text.substr(0, text.find('\n'));
    }
  }
  ~Explorer() {
    if (pid_ > 0 && !stopped_) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
  }
  const std::string& url() const { return url_; }
  int port() const { return std::stoi(url_.substr(url_.rfind(':') + 1)); }
  std::string token() const { return url_.substr(url_.find("token=") + 6); }
  // SIGINT, and the exit status (-1 when it does not end within 10 s).
  int interrupt() {
    kill(pid_, SIGINT);
    for (int k = 0; k < 200; ++k) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        stopped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }

 private:
  const Workspace& w_;
  pid_t pid_ = -1;
  std::string url_;
  bool stopped_ = false;
};

// The number columns of a file preisach-lab wrote.
std::vector<std::vector<double>> columns(const std::string& text) {
  std::vector<std::vector<double>> out;
  for (const std::vector<double>& row : numberRows(text)) {
    if (out.size() < row.size()) out.resize(row.size());
    for (std::size_t j = 0; j < row.size(); ++j) out[j].push_back(row[j]);
  }
  return out;
}

// A JSON answer of the server with the status it must have.
nlohmann::json ask(httplib::Client& client, const std::string& path, int status = 200, bool post = false) {
  const auto r = post ? client.Post(path.c_str(), "", "text/plain") : client.Get(path.c_str());
  if (!r) {
    ADD_FAILURE() << path << ": no answer";
    return nlohmann::json::object();
  }
  EXPECT_EQ(r->status, status) << path << ": " << r->body;
  return nlohmann::json::parse(r->body);
}

constexpr char kRecord[] = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 40 0.01 y 100 300 y 300 2000 50 300 0.1 n";
constexpr char kChanged[] = "600 1e-15 0.5 250 1.5 100 1 100 1 0 1 G 40 0.01 y 100 300 y 300 2000 50 300 0.1 n";

TEST(Explore, ServesTheCurvesOfTheLabBehindItsTokenAndSavesTheRecord) {
  Workspace w;
  w.writeParameters(kRecord);
  ASSERT_EQ(w.run("").status, 0);
  std::filesystem::copy_file(w.dataDir() / "ZFCFCbc.txt", w.root() / "measured.txt");
  Explorer explorer(w, "--zfcfc measured.txt@100 --out saved.txt");
  ASSERT_FALSE(explorer.url().empty()) << readFile(w.root() / "explore-err.txt");
  EXPECT_EQ(explorer.url().rfind("http://127.0.0.1:", 0), 0u) << explorer.url();
  httplib::Client client("127.0.0.1", explorer.port());
  const std::string token = "token=" + explorer.token();

  // Without the token, or through another host name: 403 and nothing else.
  for (const char* path : {"/", "/api/record", "/api/curves", "/plotly.js"}) {
    const auto r = client.Get(path);
    ASSERT_TRUE(r) << path;
    EXPECT_EQ(r->status, 403) << path;
  }
  EXPECT_EQ(client.Get("/api/record?token=0123")->status, 403);
  const auto rebound = client.Get(("/api/record?" + token).c_str(), {{"Host", "attacker.example:80"}});
  ASSERT_TRUE(rebound);
  EXPECT_EQ(rebound->status, 403);

  // The page, its library and the record with the data.
  const auto page = client.Get(("/?" + token).c_str());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<title>preisach-lab explore</title>"), std::string::npos);
  const auto library = client.Get(("/plotly.js?" + token).c_str());
  ASSERT_TRUE(library);
  EXPECT_EQ(library->status, 200);
  EXPECT_NE(library->body.find("plotly.js"), std::string::npos);
  const auto record = client.Get(("/api/record?" + token).c_str());
  ASSERT_TRUE(record && record->status == 200);
  const nlohmann::json r = nlohmann::json::parse(record->body);
  EXPECT_EQ(r["parameters"].size(), 24u);
  EXPECT_EQ(r["parameters"][3]["name"], "hc0_mean");
  EXPECT_EQ(r["parameters"][3]["unit"], "Oe");
  ASSERT_EQ(r["data"].size(), 2u);
  EXPECT_EQ(r["data"][0]["kind"], "zfc");
  EXPECT_EQ(r["data"][0]["field"], 100.0);

  // The curves of a changed value: those preisach-lab curves writes for
  // the same record, every number the same double.
  const auto curves = client.Get(("/api/curves?hc0_mean=250&" + token).c_str());
  ASSERT_TRUE(curves);
  ASSERT_EQ(curves->status, 200) << curves->body;
  const nlohmann::json c = nlohmann::json::parse(curves->body);
  writeFile(w.root() / "changed.txt", kChanged);
  std::filesystem::create_directory(w.root() / "lab");
  ASSERT_EQ(w.runCommand("cd '" + w.root().string() + "' && '" + PREISACH_LAB_EXECUTABLE +
                         "' curves --params changed.txt --out-dir lab > stdout.txt 2> stderr.txt")
                .status,
            0);
  const std::vector<std::vector<double>> zfcfc = columns(readFile(w.root() / "lab" / "ZFCFC.txt"));
  ASSERT_EQ(zfcfc.size(), 3u);
  EXPECT_EQ(c["T"].get<std::vector<double>>(), zfcfc[0]);
  EXPECT_EQ(c["M_ZFC"].get<std::vector<double>>(), zfcfc[1]);
  EXPECT_EQ(c["M_FC"].get<std::vector<double>>(), zfcfc[2]);
  const std::vector<std::vector<double>> separate = columns(readFile(w.root() / "lab" / "separate.txt"));
  ASSERT_EQ(separate.size(), 10u);
  for (std::size_t k = 0; k < separate[0].size(); ++k)
    for (std::size_t j = 0; j < 9; ++j) EXPECT_EQ(c["integrals"][k][j].get<double>(), separate[j + 1][k]);
  const std::vector<std::vector<double>> loop = columns(readFile(w.root() / "lab" / "moment.txt"));
  EXPECT_EQ(c["H"].get<std::vector<double>>(), loop[0]);
  EXPECT_EQ(c["M"].get<std::vector<double>>(), loop[1]);

  // A request it cannot use: 400 with the reason, nothing written.
  const struct {
    const char* query;
    const char* reason;
  } bad[] = {{"hc0_mean=abc", "hc0_mean"},
             {"colour=red", "\"colour\" is not a parameter of the record"},
             {"T_max=-5", "T_max"},
             {"hc0_mean=1%202", "is not one value"}};
  for (const auto& b : bad) {
    const auto answer = client.Get(("/api/curves?" + std::string(b.query) + "&" + token).c_str());
    ASSERT_TRUE(answer) << b.query;
    EXPECT_EQ(answer->status, 400) << b.query << ": " << answer->body;
    const std::string reason = nlohmann::json::parse(answer->body)["error"];
    EXPECT_NE(reason.find(b.reason), std::string::npos) << b.query << ": " << reason;
  }
  // The browser's icon: nothing, and no refusal in its console.
  EXPECT_EQ(client.Get("/favicon.ico")->status, 204);
  // The values go in the address: a body, even a small one, is refused.
  const auto body = client.Post(("/api/save?" + token).c_str(), "hc0_mean=250", "application/x-www-form-urlencoded");
  ASSERT_TRUE(body);
  EXPECT_EQ(body->status, 400);
  EXPECT_NE(body->body.find("no request body"), std::string::npos) << body->body;
  const auto huge = client.Post(("/api/save?" + token).c_str(), std::string(200000, 'x'), "text/plain");
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->status, 413);
  EXPECT_NE(huge->body.find("larger than 64 kB"), std::string::npos) << huge->body;
  const auto notFinite = client.Post(("/api/save?sigmac0=-30&" + token).c_str(), "", "text/plain");
  ASSERT_TRUE(notFinite);
  EXPECT_EQ(notFinite->status, 422) << notFinite->body;
  EXPECT_FALSE(std::filesystem::exists(w.root() / "saved.txt"));

  // Save: the record shown, to the --out path only.
  const auto saved = client.Post(("/api/save?hc0_mean=250&" + token).c_str(), "", "text/plain");
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved->status, 200) << saved->body;
  EXPECT_EQ(readFile(w.root() / "saved.txt"),
            parameters::formatParameterRecord(lab::readParameterText("changed", std::string(kChanged) + "\n")));

  // A second server on the same port is refused with the reason.
  const RunResult second =
      w.runCommand("cd '" + w.root().string() + "' && timeout 20 '" + PREISACH_LAB_EXECUTABLE +
                   "' explore --no-browser --port " + std::to_string(explorer.port()) + " > stdout.txt 2> stderr.txt");
  EXPECT_EQ(second.status, 2);
  EXPECT_NE(second.err.find("the port is in use"), std::string::npos) << second.err;

  EXPECT_EQ(explorer.interrupt(), 0) << readFile(w.root() / "explore-err.txt");
}

// The program's grid, the density, the FORC distributions and the fit of
// the page against the command line that computes each of them.
TEST(Explore, AnswersWithTheNumbersOfTheCommandLineForEveryPicture) {
  Workspace w;
  w.writeParameters(kRecord);
  writeFile(w.root() / "record.txt", std::string(kRecord) + "\n");
  std::filesystem::create_directory(w.root() / "grid");
  std::filesystem::create_directory(w.root() / "forc");
  const std::string lab = "cd '" + w.root().string() + "' && '" + PREISACH_LAB_EXECUTABLE + "' ";
  ASSERT_EQ(w.runCommand(lab + "curves --params record.txt --model grid --out-dir grid > o.txt 2> e.txt").status, 0);
  // FORCs of a density wider than the field range, whose distribution the
  // page draws over the whole range, on the points forc's diagram has.
  writeFile(w.root() / "wide.txt",
            "600 1e-15 0.5 300 1.5 800 1 800 1 0 1 G 40 0.01 y 100 300 y 300 2000 50 300 0.1 n\n");
  ASSERT_EQ(w.runCommand(lab + "forc --params wide.txt --out-dir forc > o.txt 2> e.txt").status, 0);
  std::filesystem::create_directory(w.root() / "measured");
  ASSERT_EQ(w.runCommand(lab + "forc --measured forc/forc-curves.frc --out-dir measured > o.txt 2> e.txt").status, 0);
  std::filesystem::copy(std::filesystem::path(PREISACH_SOURCE_DIR) / "examples" / "fitting" / "zfcfc.dat",
                        w.root() / "zfcfc.dat");
  Explorer explorer(w, "--params record.txt --zfcfc zfcfc.dat --forc forc/forc-curves.frc");
  ASSERT_FALSE(explorer.url().empty()) << readFile(w.root() / "explore-err.txt");
  httplib::Client client("127.0.0.1", explorer.port());
  const std::string token = "token=" + explorer.token();

  // The grid check: preisach-lab curves --model grid at the same m.
  const nlohmann::json grid = ask(client, "/api/grid?grid_m=40&" + token);
  const std::vector<std::vector<double>> zfcfc = columns(readFile(w.root() / "grid" / "ZFCFC.txt"));
  EXPECT_EQ(grid["T"].get<std::vector<double>>(), zfcfc[0]);
  EXPECT_EQ(grid["M_ZFC"].get<std::vector<double>>(), zfcfc[1]);
  EXPECT_EQ(grid["M_FC"].get<std::vector<double>>(), zfcfc[2]);
  const std::vector<std::vector<double>> loop = columns(readFile(w.root() / "grid" / "moment.txt"));
  EXPECT_EQ(grid["M"].get<std::vector<double>>(), loop[1]);
  for (const char* m : {"grid_m=2", "grid_m=40.5", "grid_m=1e9", "grid_m=x", "hc0_mean=300"})
    EXPECT_NE(ask(client, "/api/grid?" + std::string(m) + "&" + token, 400)["error"], nullptr) << m;
  // The lab's work limit: ten minutes of grid at most.
  EXPECT_NE(ask(client, "/api/grid?grid_m=15000&T_max=500&" + token, 400)["error"].get<std::string>().find("cell"),
            std::string::npos);

  // The density at 100 K: its maximum at hcm(T) = 300 (1 - 1/6)^1.5 Oe and
  // km = 0, the band limits of hts(T) = 25 kB T / mu0.
  const nlohmann::json d = ask(client, "/api/density?density_T=100&" + token);
  EXPECT_NEAR(d["hts"].get<double>(), 25 * 1.38e-16 * 100 / 1e-15, 1e-3);
  EXPECT_NEAR(d["hts_half"].get<double>(), 25 * 1.38e-16 * 100 / 2e-15, 1e-3);
  EXPECT_NEAR(d["hts_Tmax"].get<double>(), 25 * 1.38e-16 * 300 / 1e-15, 1e-3);
  EXPECT_NEAR(d["hi_bound"].get<double>(), 100 + 25 * 1.38e-16 * 300 / 1e-15, 1e-3);
  const std::vector<double> hc = d["hc"], hi = d["hi"];
  std::size_t row = 0, column = 0;
  for (std::size_t r = 0; r < hi.size(); ++r)
    for (std::size_t c = 0; c < hc.size(); ++c)
      if (d["density"][r][c].get<double>() > d["density"][row][column].get<double>()) row = r, column = c;
  EXPECT_NEAR(hc[column], 300 * std::pow(5.0 / 6.0, 1.5), hc[1] - hc[0]);
  EXPECT_NEAR(hi[row], 0.0, hi[1] - hi[0]);
  EXPECT_NE(ask(client, "/api/density?density_T=700&" + token, 400)["error"], nullptr);
  EXPECT_NE(ask(client, "/api/density?" + token, 400)["error"], nullptr);

  // The measured diagram is forc --measured's; the model's distribution is
  // forc's exact one wherever their points meet.
  const nlohmann::json f = ask(client, "/api/forc?sigmac0=800&sigmai0=800&" + token);
  const std::vector<std::vector<double>> measured = columns(readFile(w.root() / "measured" / "forc-diagram.txt"));
  ASSERT_EQ(f["measured"]["rho"].size(), measured[2].size());
  for (std::size_t k = 0; k < measured[2].size(); ++k)
    EXPECT_NEAR(f["measured"]["rho"][k].get<double>(), measured[2][k], 1e-5 * std::fabs(measured[2][k]) + 1e-30);
  const std::vector<double> Hc = f["model"]["Hc"], Hu = f["model"]["Hu"];
  int met = 0;
  for (const std::vector<double>& exact : numberRows(readFile(w.root() / "forc" / "forc-diagram-exact.txt")))
    for (std::size_t r = 0; r < Hu.size(); ++r)
      for (std::size_t c = 0; c < Hc.size(); ++c)
        if (std::fabs(Hc[c] - exact[0]) < 1e-6 && std::fabs(Hu[r] - exact[1]) < 1e-6) {
          EXPECT_NEAR(f["model"]["rho"][r][c].get<double>(), exact[2], 1e-5 * std::fabs(exact[2]) + 1e-30);
          ++met;
        }
  EXPECT_GT(met, 100);
  // A narrow density: the picture is narrowed to it (five widths about
  // hcm(T_hyst) = 300 / 2^1.5 Oe, sigma_c = 50 Oe) and holds its peak.
  const nlohmann::json narrow = ask(client, "/api/forc?" + token)["model"];
  EXPECT_NEAR(narrow["Hc"].back().get<double>(), 300 / std::pow(2.0, 1.5) + 5 * 50, 1e-3);
  double peak = 0.0, peakHc = 0.0;
  for (std::size_t r = 0; r < narrow["Hu"].size(); ++r)
    for (std::size_t c = 0; c < narrow["Hc"].size(); ++c)
      if (narrow["rho"][r][c].get<double>() > peak) peak = narrow["rho"][r][c], peakHc = narrow["Hc"][c];
  EXPECT_NEAR(peakHc, 300 / std::pow(2.0, 1.5), 10.0);
  // Far from hc = 0 it starts five widths below the centre too.
  const nlohmann::json far = ask(client, "/api/forc?hc0_mean=1500&sigmac0=20&" + token)["model"];
  EXPECT_NEAR(far["Hc"].front().get<double>(), 1500 / std::pow(2.0, 1.5) - 50 + 100.0 / 60, 1e-3);

  // A record that no longer takes the data (Tc below their temperatures):
  // the curves without residuals, saying why; no fit; a value given twice
  // and a record whose curves are not finite refused.
  const nlohmann::json cold = ask(client, "/api/curves?Tc=290&T_max=200&" + token);
  EXPECT_TRUE(cold.contains("T") && !cold.contains("data_model"));
  EXPECT_NE(cold["data_error"].get<std::string>().find("Tc"), std::string::npos) << cold.dump().substr(0, 300);
  EXPECT_NE(ask(client, "/api/fit?free=N&Tc=290&T_max=200&" + token, 400, true)["error"], nullptr);
  EXPECT_NE(ask(client, "/api/curves?hc0_mean=300&hc0_mean=400&" + token, 400)["error"].get<std::string>().find(
                "more than once"),
            std::string::npos);
  EXPECT_NE(ask(client, "/api/density?density_T=5&density_T=50&" + token, 400)["error"], nullptr);

  // The fit: the same fitted values as preisach-lab fit, one at a time,
  // stoppable; a request it cannot use refused before it starts.
  const std::string free = "free=hc0_mean,sigmac0,sigmai0,N&";
  const std::string start = "hc0_mean=390&sigmac0=130&sigmai0=70&N=0.7&";
  EXPECT_NE(ask(client, "/api/fit?free=colour&" + token, 400, true)["error"], nullptr);
  EXPECT_NE(ask(client, "/api/fit?" + token, 400, true)["error"], nullptr);
  EXPECT_NE(ask(client, "/api/fit?" + free + "background=cubic&" + token, 400, true)["error"], nullptr);
  EXPECT_EQ(ask(client, "/api/fit?" + token)["state"], "idle");
  // Until the fit running ends: its last state.
  const auto finished = [&client, &token] {
    nlohmann::json status;
    for (int k = 0; k < 1200; ++k) {
      status = ask(client, "/api/fit?" + token);
      if (status["state"] != "running") break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return status;
  };
  writeFile(w.root() / "start.txt",
            "600 1e-15 0.5 390 1.5 130 1 70 1 0 0.7 G 40 0.01 y 100 300 y 300 2000 50 300 0.1 n\n");
  // From the data and, ticked, from the values shown (fit --given-start).
  nlohmann::json status;
  for (const std::string given : {"", "--given-start"}) {
    ask(client, "/api/fit?" + free + start + (given.empty() ? "" : "given_start=1&") + token, 202, true);
    EXPECT_NE(ask(client, "/api/fit?" + free + token, 409, true)["error"], nullptr);
    status = finished();
    ASSERT_EQ(status["state"], "done") << status.dump();
    ASSERT_EQ(w.runCommand(lab + "fit --params start.txt --zfcfc zfcfc.dat --free hc0_mean,sigmac0,sigmai0,N " + given +
                           " --out fitted.txt --quiet > report.txt 2> e.txt")
                  .status,
              0)
        << readFile(w.root() / "e.txt");
    std::istringstream fitted(readFile(w.root() / "fitted.txt"));
    for (const nlohmann::json& p : status["result"]["record"]) {
      std::string word;
      fitted >> word;
      EXPECT_EQ(p["text"], word) << p["name"] << given;
    }
  }
  const nlohmann::json& result = status["result"];
  EXPECT_TRUE(result["background"].empty());
  const std::vector<double> truth = {300, 100, 100, 1};
  for (std::size_t k = 0; k < truth.size(); ++k)
    EXPECT_NEAR(result["values"][k].get<double>(), truth[k], 3 * result["errors"][k].get<double>())
        << result["names"][k];
  EXPECT_NE(result["report"].get<std::string>().find("[[Variables]]"), std::string::npos);
  EXPECT_FALSE(result["warnings"].empty());

  // With a Curie term: its constant and the fit's curves with it.
  ask(client, "/api/fit?" + free + "background=curie&" + token, 202, true);
  const nlohmann::json curie = finished();
  ASSERT_EQ(curie["state"], "done") << curie.dump();
  ASSERT_EQ(curie["result"]["background"].size(), 1u);
  EXPECT_EQ(curie["result"]["background"][0]["name"], "C");
  EXPECT_EQ(curie["result"]["model"].size(), 2u);
  EXPECT_EQ(curie["result"]["model"][0].size(), status["result"]["model"][0].size());

  ask(client, "/api/fit?" + free + start + token, 202, true);
  EXPECT_TRUE(ask(client, "/api/fit/stop?" + token, 200, true)["stopping"].get<bool>());
  status = finished();
  ASSERT_EQ(status["state"], "done") << status.dump();
  EXPECT_EQ(status["result"]["stopped"], "stopped by the page's Stop");
  EXPECT_FALSE(ask(client, "/api/fit/stop?" + token, 200, true)["stopping"].get<bool>());

  EXPECT_EQ(explorer.interrupt(), 0) << readFile(w.root() / "explore-err.txt");
}

}  // namespace
}  // namespace preisach::test
