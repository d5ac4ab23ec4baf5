#include "explore/server.h"

#include <httplib.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "explore/api.h"
#include "explore/fit_job.h"
#include "explore/page.h"
#include "lab/result_set.h"
#include "lab/run_limits.h"
#include "measured/data_error.h"
#include "measured/text_cells.h"
#include "model/grid.h"

namespace preisach::explore {

namespace {

// The first port tried when none is given, and how many after it.
constexpr int kFirstPort = 8765;
constexpr int kPortsTried = 100;
// No request of the page is larger.
constexpr std::size_t kLargestRequest = 64 * 1024;
// The density's picture: points along each axis.
constexpr int kDensityPoints = 121;
// The grid check's work: about half a minute of grid (a twentieth of the
// lab's limit for one run), so that the page answers and stops in time.
constexpr double kLargestGridCheck = lab::kLargestCellUpdates / 20.0;

// The HTTP library compresses answers of the bare types
// "application/json" and "application/javascript" for every request that
// accepts brotli: 20 s for the plotting library, 50 to 400 ms for a
// picture's numbers, each time. On the loopback there is nothing to save,
// so the types name their charset, which the library does not compress.
constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kJavaScript = "application/javascript; charset=utf-8";

void answer(httplib::Response& res, int status, const nlohmann::json& body) {
  res.status = status;
  res.set_content(body.dump(), kJson);
}

void refuse(httplib::Response& res, int status, const std::string& message) {
  answer(res, status, {{"error", message}});
}

// The words of a request that are not the record's values.
bool requestWord(const std::string& name) {
  return name == "token" || name == "density_T" || name == "grid_m" || name == "free" || name == "background" ||
         name == "given_start";
}

// The request's NAME=VALUE pairs of the record; a name given twice is
// refused, whichever it is, rather than one of its values taken.
std::map<std::string, std::string> values(const httplib::Request& req) {
  std::map<std::string, std::string> out;
  for (const auto& [name, value] : req.params) {
    if (req.params.count(name) > 1)
      throw measured::DataError("\"" + measured::shownName(name) + "\" is given more than once");
    if (!requestWord(name)) out[name] = value;
  }
  return out;
}

// The API takes everything in its address: a POST's body (whose form
// fields the library would mix with the address's) is refused.
void requireNoBody(const httplib::Request& req) {
  if (!req.body.empty()) throw measured::DataError("the API takes no request body: the values go in the address");
}

// A number the request must carry, as the record's reader takes numbers.
double number(const httplib::Request& req, const std::string& name) {
  if (!req.has_param(name)) throw measured::DataError("the request must name " + name);
  const std::string text = req.get_param_value(name);
  double v = 0.0;
  if (!measured::parseNumber(text, v) || !std::isfinite(v))
    throw measured::DataError(name + ": \"" + measured::shownName(text) + "\" is not a finite number");
  return v;
}

}  // namespace

struct Server::Impl {
  Settings settings;
  httplib::Server http;
  int port = 0;
  std::string plotly;  // the library's text, read once
  FitJob fit;
  std::atomic<bool> served{false};  // serve() has returned
};

Server::Server(Settings settings) : impl_(std::make_unique<Impl>()) {
  impl_->settings = std::move(settings);
  if (impl_->settings.token.empty()) impl_->settings.token = randomToken();
  Impl& s = *impl_;
  std::ifstream library(s.settings.plotly, std::ios::binary);
  s.plotly.assign(std::istreambuf_iterator<char>(library), std::istreambuf_iterator<char>());
  s.http.set_payload_max_length(kLargestRequest);
  // The library's default lets a second server share a port it binds
  // (SO_REUSEPORT); a busy port must be refused instead, so only the
  // address's quick reuse after a stop is asked for.
  s.http.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const void*>(&yes), sizeof yes);
  });
  // Like a notebook server: a page or script elsewhere can neither reach
  // the API without the printed token nor through another host name (DNS
  // rebinding).
  s.http.set_pre_routing_handler([&s](const httplib::Request& req, httplib::Response& res) {
    const std::string host = req.get_header_value("Host"), port = std::to_string(s.port);
    const bool hostKnown =
        host == s.settings.address + ":" + port || host == "localhost:" + port || host == "127.0.0.1:" + port;
    // The browser asks for an icon by itself, without the token: none.
    if (req.path == "/favicon.ico") {
      res.status = 204;
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::string token = req.has_param("token") ? req.get_param_value("token") : req.get_header_value("X-Token");
    if (!hostKnown) {
      refuse(res, 403, "the Host \"" + measured::shownName(host) + "\" is not this server's");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (token != s.settings.token) {
      refuse(res, 403, "a request must carry the token of the address preisach-lab explore printed");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  s.http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const measured::DataError& e) {
      refuse(res, 400, measured::escapedControls(e.what()));
    } catch (const lab::ComputationError& e) {
      refuse(res, 422, measured::escapedControls(e.what()));
    } catch (const std::exception& e) {
      refuse(res, 500, measured::escapedControls(e.what()));
    }
  });
  // What the library refuses by itself (a request too large, a body
  // without its length) is answered with the reason too.
  s.http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    const std::string reason = res.status == 413   ? "the request is larger than 64 kB"
                               : res.status == 414 ? "the address is longer than the server takes"
                               : res.status == 404 ? "no such page or API"
                                                   : "the request cannot be read (HTTP " + std::to_string(res.status) +
                                                         ": a malformed request, a header too large, or a POST "
                                                         "without its Content-Length)";
    res.set_content(nlohmann::json{{"error", reason}}.dump(), kJson);
  });
  s.http.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content(kPage, "text/html"); });
  s.http.Get("/plotly.js", [&s](const httplib::Request&, httplib::Response& res) {
    if (s.plotly.empty()) return refuse(res, 404, "the plotting library " + s.settings.plotly + " is not installed");
    res.set_content(s.plotly, kJavaScript);
  });
  s.http.Get("/api/record", [&s](const httplib::Request&, httplib::Response& res) {
    nlohmann::json record = recordJson(s.settings.start, s.settings.data);
    record["save"] = !s.settings.out.empty();
    record["forc"] = !s.settings.forcDiagram.empty();
    answer(res, 200, record);
  });
  s.http.Get("/api/curves", [&s](const httplib::Request& req, httplib::Response& res) {
    const parameters::ParameterSet p = recordWith(s.settings.start, values(req));
    nlohmann::json curves = curvesJson(p, s.settings.tolerance);
    // The model at the measured points, where the record still takes them
    // (its Tc above their temperatures, its Ha_max beyond their fields).
    if (!s.settings.data.empty()) {
      try {
        curves["data_model"] = dataModelJson(p, s.settings.data, s.settings.tolerance);
      } catch (const measured::DataError& e) {
        curves["data_error"] = measured::escapedControls(e.what());
      }
    }
    answer(res, 200, curves);
  });
  s.http.Get("/api/grid", [&s](const httplib::Request& req, httplib::Response& res) {
    const double m = number(req, "grid_m");
    if (m != std::floor(m) || m < 3 || m > model::kLargestGridDivisions)
      throw measured::DataError("grid_m must be a whole number from 3 to " +
                                std::to_string(model::kLargestGridDivisions));
    answer(res, 200,
           gridCurvesJson(recordWith(s.settings.start, values(req)), static_cast<std::int32_t>(m), kLargestGridCheck));
  });
  s.http.Get("/api/density", [&s](const httplib::Request& req, httplib::Response& res) {
    answer(res, 200, densityJson(recordWith(s.settings.start, values(req)), number(req, "density_T"), kDensityPoints));
  });
  s.http.Get("/api/forc", [&s](const httplib::Request& req, httplib::Response& res) {
    nlohmann::json forc = {{"model", modelForcJson(recordWith(s.settings.start, values(req)), s.settings.tolerance)}};
    if (!s.settings.forcDiagram.empty())
      forc["measured"] = diagramJson(s.settings.forcDiagram), forc["file"] = measured::shownName(s.settings.forcFile);
    answer(res, 200, forc);
  });
  s.http.Post("/api/fit", [&s](const httplib::Request& req, httplib::Response& res) {
    requireNoBody(req);
    const parameters::ParameterSet p = recordWith(s.settings.start, values(req));
    const std::string free = req.has_param("free") ? req.get_param_value("free") : "";
    const std::string background = req.has_param("background") ? req.get_param_value("background") : "";
    const bool givenStart = req.has_param("given_start") && req.get_param_value("given_start") == "1";
    if (!s.fit.start(p, s.settings.data, free, background, givenStart))
      return refuse(res, 409, "a fit is running: stop it or wait for its end");
    answer(res, 202, {{"started", true}});
  });
  s.http.Get("/api/fit", [&s](const httplib::Request&, httplib::Response& res) { answer(res, 200, s.fit.status()); });
  s.http.Post("/api/fit/stop", [&s](const httplib::Request& req, httplib::Response& res) {
    requireNoBody(req);
    answer(res, 200, {{"stopping", s.fit.stop()}});
  });
  s.http.Post("/api/save", [&s](const httplib::Request& req, httplib::Response& res) {
    requireNoBody(req);
    if (s.settings.out.empty()) return refuse(res, 400, "no --out was given: the page writes nowhere");
    const parameters::ParameterSet p = recordWith(s.settings.start, values(req));
    // A record whose curves are not finite is refused (422) as the
    // pictures refuse it, before anything is written.
    curvesJson(p, s.settings.tolerance);
    lab::ResultSet results;
    results.add(s.settings.out, parameters::formatParameterRecord(p));
    results.commit();
    answer(res, 200, {{"saved", measured::shownName(s.settings.out)}});
  });
}

Server::~Server() = default;

bool Server::bind() {
  Impl& s = *impl_;
  if (s.settings.port != 0) {
    if (!s.http.bind_to_port(s.settings.address.c_str(), s.settings.port)) return false;
    s.port = s.settings.port;
    return true;
  }
  for (int port = kFirstPort; port < kFirstPort + kPortsTried; ++port)
    if (s.http.bind_to_port(s.settings.address.c_str(), port)) {
      s.port = port;
      return true;
    }
  return false;
}

int Server::port() const {
  return impl_->port;
}

std::string Server::url() const {
  return "http://" + impl_->settings.address + ":" + std::to_string(impl_->port) + "/?token=" + impl_->settings.token;
}

void Server::serve() {
  impl_->http.listen_after_bind();
  impl_->served.store(true);
}

void Server::stop() {
  // The library ignores a stop before its loop runs.
  while (!impl_->http.is_running() && !impl_->served.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  impl_->http.stop();
  // A fit running ends at its next iteration.
  impl_->fit.stop();
}

std::string randomToken() {
  std::random_device source;
  std::ostringstream token;
  for (int k = 0; k < 4; ++k) token << std::hex << std::setw(8) << std::setfill('0') << source();
  return token.str();
}

}  // namespace preisach::explore
