#include "explore/server.h"

#include <httplib.h>

#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <random>
#include <sstream>

#include "explore/api.h"
#include "explore/page.h"
#include "lab/result_set.h"
#include "measured/data_error.h"
#include "measured/text_cells.h"

namespace preisach::explore {

namespace {

// The first port tried when none is given, and how many after it.
constexpr int kFirstPort = 8765;
constexpr int kPortsTried = 100;
// No request of the page is larger.
constexpr std::size_t kLargestRequest = 64 * 1024;

void answer(httplib::Response& res, int status, const nlohmann::json& body) {
  res.status = status;
  res.set_content(body.dump(), "application/json");
}

void refuse(httplib::Response& res, int status, const std::string& message) {
  answer(res, status, {{"error", message}});
}

// The request's NAME=VALUE pairs, the token left out.
std::map<std::string, std::string> values(const httplib::Request& req) {
  std::map<std::string, std::string> out;
  for (const auto& [name, value] : req.params)
    if (name != "token") out[name] = value;
  return out;
}

}  // namespace

struct Server::Impl {
  Settings settings;
  httplib::Server http;
  int port = 0;
  std::string plotly;  // the library's text, read once
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
  s.http.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content(kPage, "text/html"); });
  s.http.Get("/plotly.js", [&s](const httplib::Request&, httplib::Response& res) {
    if (s.plotly.empty()) return refuse(res, 404, "the plotting library " + s.settings.plotly + " is not installed");
    res.set_content(s.plotly, "application/javascript");
  });
  s.http.Get("/api/record", [&s](const httplib::Request&, httplib::Response& res) {
    nlohmann::json record = recordJson(s.settings.start, s.settings.data);
    record["save"] = !s.settings.out.empty();
    answer(res, 200, record);
  });
  s.http.Get("/api/curves", [&s](const httplib::Request& req, httplib::Response& res) {
    answer(res, 200, curvesJson(recordWith(s.settings.start, values(req)), s.settings.tolerance));
  });
  s.http.Post("/api/save", [&s](const httplib::Request& req, httplib::Response& res) {
    if (s.settings.out.empty()) return refuse(res, 400, "no --out was given: the page writes nowhere");
    const parameters::ParameterSet p = recordWith(s.settings.start, values(req));
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
}

void Server::stop() {
  impl_->http.stop();
}

std::string randomToken() {
  std::random_device source;
  std::ostringstream token;
  for (int k = 0; k < 4; ++k) token << std::hex << std::setw(8) << std::setfill('0') << source();
  return token.str();
}

}  // namespace preisach::explore
