#pragma once
// Starts tests/local_server.py as a child process and waits until it listens.
// The child lives as long as this object; it also ends by itself when our end
// of its stdin closes, so a crashed test leaves no server behind.

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/test_env.h"

namespace launcher_test {

class LocalServer {
 public:
  // extra_args are passed to the script (e.g. fixed ports, a version body).
  explicit LocalServer(const std::vector<std::string>& extra_args = {});
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  bool ready() const { return http_port_ > 0 || https_port_ > 0; }
  std::string HttpUrl(const std::string& path) const;
  std::string HttpsUrl(const std::string& path) const;

 private:
  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  int http_port_ = -1;
  int https_port_ = -1;
};

using ScratchDir = test_env::TempDir;

std::string ReadFile(const std::string& path);

}  // namespace launcher_test
