#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "fitting/model_curves.h"
#include "history/forc_distribution.h"
#include "parameters/parameters.h"

namespace preisach::explore {

// What the page serves: the starting record, the measured datasets, where
// Save writes (empty: nowhere), and where it listens.
struct Settings {
  parameters::ParameterSet start;
  std::vector<fitting::Dataset> data;
  std::string out;
  std::string address = "127.0.0.1";
  int port = 0;              // 0: the first free port from 8765 on
  std::string plotly;        // the plotting library's file, served as /plotly.js
  std::string token;         // every request carries it; empty: a random one
  double tolerance = 1e-10;  // the continuum's, for every curve
  // A measured FORC file's processed diagram, and the file's name; empty
  // when none was given.
  std::vector<std::vector<history::ForcValue>> forcDiagram;
  std::string forcFile;
};

// The local web server of `preisach-lab explore`. Every request must name
// the token (query "token" or header "X-Token") and a Host of this address
// and port, else 403; answers are JSON ({"error": ...} with 400 for a
// request it cannot use, 422 for a record whose curves are not finite).
// The record's values travel as query parameters NAME=VALUE (parameter
// names of the file); the routes:
//   GET  /                 the page;  GET /plotly.js  the plotting library
//   GET  /api/record       the record's parameters and the measured data
//   GET  /api/curves       ZFC/FC, separate integrals and loop (continuum)
//   GET  /api/grid         the same on the program's grid at grid_m
//   GET  /api/density      the density at density_T (K) and the band limits
//   GET  /api/forc         the model's FORC distribution, and the measured
//                          diagram of --forc
//   POST /api/fit          starts a fit of free (and background); 409 while
//                          one runs
//   GET  /api/fit          its state, progress lines and result
//   POST /api/fit/stop     ends it at the point it reached
//   POST /api/save         writes the record to `out` atomically
class Server {
 public:
  explicit Server(Settings settings);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds the address and port (or, for port 0, the first free one from
  // 8765 on); false when it cannot. The port it took.
  bool bind();
  int port() const;
  // The address a browser opens: with the token.
  std::string url() const;
  // Serves until stop() (from another thread or a signal's watcher).
  void serve();
  // Ends serve(), waiting first for it to have begun listening, so that a
  // stop that comes early is not lost.
  void stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// 32 hexadecimal digits from the system's random source.
std::string randomToken();

}  // namespace preisach::explore
