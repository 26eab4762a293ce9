#include "local_server.h"

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace launcher_test {

namespace {
// Reads one line from fd, byte by byte, so nothing after it is consumed.
std::string ReadLine(int fd) {
  std::string line;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}
}  // namespace

LocalServer::LocalServer(const std::vector<std::string>& extra_args) {
  // Tests talk to 127.0.0.1 directly; a proxy from the environment would
  // send them elsewhere.
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
    unsetenv(name);
  int to_child[2], from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
  std::vector<std::string> args = {"python3", LOCAL_SERVER_SCRIPT};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, to_child[1]);
  posix_spawn_file_actions_addclose(&actions, from_child[0]);
  const int rc = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(to_child[0]);
  close(from_child[1]);
  stdin_fd_ = to_child[1];
  if (rc != 0) {
    pid_ = -1;
    close(from_child[0]);
    return;
  }
  const std::string line = ReadLine(from_child[0]);
  close(from_child[0]);
  std::sscanf(line.c_str(), "ready %d %d", &http_port_, &https_port_);
}

LocalServer::~LocalServer() {
  if (stdin_fd_ >= 0) close(stdin_fd_);
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::string LocalServer::HttpUrl(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(http_port_) + path;
}

std::string LocalServer::HttpsUrl(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(https_port_) + path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace launcher_test
