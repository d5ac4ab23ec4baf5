#include "explore/explore_command.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <iostream>
#include <thread>

#include "explore/api.h"
#include "explore/server.h"
#include "lab/fit_command.h"
#include "lab/lab_files.h"
#include "lab/result_set.h"
#include "measured/data_error.h"
#include "measured/text_cells.h"
#include "parameters/data_directory.h"

extern char** environ;

namespace preisach::explore {

namespace {

// The desktop's browser on the address, if it has one; nothing when not.
void openBrowser(const std::string& url) {
  const char* argv[] = {"xdg-open", url.c_str(), nullptr};
  pid_t child = 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (posix_spawnp(&child, "xdg-open", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0)
    std::cerr << "preisach-lab explore: no browser could be opened; open the address above" << std::endl;
  posix_spawn_file_actions_destroy(&actions);
}

}  // namespace

void addExploreCommand(CLI::App& app, ExploreArguments& a) {
  CLI::App* explore = app.add_subcommand(
      "explore",
      "The model live in a browser beside measured data (temperatures in K, fields in Oe, moments in emu): a local "
      "web server on 127.0.0.1 whose address, with its token, is printed on standard output; Ctrl-C stops it");
  explore->add_option("--params", a.data.params, "the parameter file the page starts from")
      ->default_val(parameters::dataFilePath(parameters::kParameterFileName));
  lab::addDataOptions(explore, a.data);
  explore->add_option("--forc", a.forc,
                      "measured FORCs (PMC MicroMag text, as forc --measured takes it): their diagram (SF = 3) "
                      "beside the model's FORC distribution");
  explore->add_option("--out", a.out, "the file the page's Save writes the record to (the page cannot choose one)");
  explore->add_option("--port", a.port, "the port; without it the first free one from 8765 on")
      ->check(CLI::Range(1, 65535));
  explore
      ->add_option("--address", a.address,
                   "the address to listen on: 127.0.0.1 (this machine only) unless another is given, with a "
                   "warning")
      ->capture_default_str();
  explore->add_flag("--no-browser", a.noBrowser, "print the address only; do not open a browser");
  explore->callback([&a] { a.chosen = true; });
}

int runExplore(const ExploreArguments& a) {
  Settings settings;
  const lab::FitArguments& data = a.data;
  settings.start = lab::readParameters(data.params);
  if (!data.zfcfc.empty() || !data.zfc.empty() || !data.fc.empty() || !data.loop.empty())
    settings.data = lab::readFitData(data, settings.start);
  if (!a.forc.empty()) {
    settings.forcDiagram = readForcDiagram(a.forc);
    settings.forcFile = a.forc;
  }
  settings.out = a.out;
  if (!a.out.empty()) {
    lab::requireWritableFolderOf(a.out);
    std::vector<lab::NamedFile> inputs = lab::fitInputs(data);
    if (!a.forc.empty()) inputs.push_back({"--forc", a.forc});
    lab::requireSeparateFiles(inputs, {{"--out", a.out}});
  }
  // An IPv4 address: the printed address and the Host check are written
  // for one.
  in_addr parsed{};
  if (a.address != "localhost" && inet_pton(AF_INET, a.address.c_str(), &parsed) != 1)
    throw measured::DataError("--address \"" + measured::shownName(a.address) +
                              "\" is not an IPv4 address such as 127.0.0.1");
  settings.address = a.address;
  settings.port = a.port;
  settings.plotly = PREISACH_PLOTLY_JS;
  if (a.address != "127.0.0.1" && a.address != "localhost")
    std::cerr << "preisach-lab explore: warning: listening on " << measured::shownName(a.address)
              << ": anyone who can reach it and has the token can use the page" << std::endl;
  // SIGINT and SIGTERM are taken by one thread, which stops the server: the
  // serving threads never see them.
  sigset_t stopping;
  sigemptyset(&stopping);
  sigaddset(&stopping, SIGINT);
  sigaddset(&stopping, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
  Server server(settings);
  if (!server.bind())
    throw measured::DataError(
        "cannot listen on " + measured::shownName(a.address) +
        (a.port != 0 ? " --port " + std::to_string(a.port) + ": the port is in use or not allowed"
                     : " at any port from 8765 to 8864: give a free one with --port") +
        (a.address != "127.0.0.1" && a.address != "localhost" ? ", or the address is not this machine's" : ""));
  std::cout << server.url() << std::endl;
  std::cerr << "preisach-lab explore: serving " << server.url() << " (Ctrl-C stops)" << std::endl;
  if (!a.noBrowser) openBrowser(server.url());
  std::thread watcher([&server, stopping] {
    int signal = 0;
    sigwait(&stopping, &signal);
    server.stop();
  });
  server.serve();
  watcher.join();
  std::cerr << "preisach-lab explore: stopped" << std::endl;
  return 0;
}

}  // namespace preisach::explore
