#include "lab/gnuplot.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace preisach::lab {

namespace {

// A folder of our own below the system's temporary directory (mode 0700),
// removed with its contents at the end.
class PrivateFolder {
 public:
  PrivateFolder() {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "preisach-lab-XXXXXX").string();
    if (!error && mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~PrivateFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

bool writeWhole(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
  out.close();
  return static_cast<bool>(out);
}

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// Runs gnuplot in `folder` on `arguments` without a shell; gnuplot's own
// messages go to gnuplot.log there. The exit status, or -1.
int runInFolder(const std::string& folder, const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int log = open((folder + "/gnuplot.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (log < 0 || nothing < 0 || chdir(folder.c_str()) != 0) _exit(126);
    dup2(nothing, STDIN_FILENO);
    dup2(log, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool haveGnuplot() {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':'))
    if (!folder.empty() && access((folder + "/gnuplot").c_str(), X_OK) == 0) return true;
  return false;
}

std::string gnuplotQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

std::optional<std::string> drawPng(const std::string& script, const std::vector<GnuplotInput>& inputs) {
  if (!haveGnuplot()) {
    std::cerr << "note: gnuplot not found: no picture is drawn" << std::endl;
    return std::nullopt;
  }
  const PrivateFolder folder;
  if (folder.path().empty()) {
    std::cerr << "note: no temporary folder for gnuplot: no picture is drawn" << std::endl;
    return std::nullopt;
  }
  // Fixed names only: input1.txt, input2.txt, ..., picture.png.
  std::string assignments = "picture = 'picture.png'";
  bool ready = writeWhole(folder.path() + "/script.gp", script);
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const std::string name = "input" + std::to_string(k + 1) + ".txt";
    ready = ready && writeWhole(folder.path() + "/" + name, inputs[k].content);
    assignments += "; " + inputs[k].variable + " = " + gnuplotQuoted(name);
  }
  const int status = ready ? runInFolder(folder.path(), {"gnuplot", "-e", assignments, "script.gp"}) : -1;
  const std::string picture = status == 0 ? readWhole(folder.path() + "/picture.png") : std::string();
  if (picture.empty()) {
    std::cerr << "note: gnuplot failed (exit status " << status << "): no picture is drawn" << std::endl;
    return std::nullopt;
  }
  return picture;
}

}  // namespace preisach::lab
