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

// A number column of a file preisach-lab curves wrote.
std::vector<std::vector<double>> columns(const std::string& text) {
  std::vector<std::vector<double>> out;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream cells(line);
    std::vector<double> row;
    for (double v; cells >> v;) row.push_back(v);
    if (out.size() < row.size()) out.resize(row.size());
    for (std::size_t j = 0; j < row.size(); ++j) out[j].push_back(row[j]);
  }
  return out;
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
  const auto huge = client.Post(("/api/save?" + token).c_str(), std::string(200000, 'x'), "text/plain");
  ASSERT_TRUE(huge);
  EXPECT_GE(huge->status, 400);
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

}  // namespace
}  // namespace preisach::test
