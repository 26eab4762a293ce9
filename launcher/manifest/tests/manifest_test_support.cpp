#include "manifest_test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace manifesttest {

void WriteFile(const std::string& path, const std::string& data) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    ::pclose(pipe);
  }
  return out;
}

std::string Md5sumOf(const std::string& path) {
  return Capture("md5sum '" + path + "'").substr(0, 32);
}

LogCapture::LogCapture() {
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK) != 0) std::abort();
  std::fflush(stderr);
  saved_ = ::dup(STDERR_FILENO);
  ::dup2(fds[1], STDERR_FILENO);
  ::close(fds[1]);
  readEnd_ = fds[0];
}

LogCapture::~LogCapture() {
  Text();
  ::dup2(saved_, STDERR_FILENO);
  ::close(saved_);
  ::close(readEnd_);
}

std::string LogCapture::Text() {
  char buffer[4096];
  ssize_t got;
  while ((got = ::read(readEnd_, buffer, sizeof buffer)) > 0)
    text_.append(buffer, static_cast<std::size_t>(got));
  return text_;
}

}  // namespace manifesttest
