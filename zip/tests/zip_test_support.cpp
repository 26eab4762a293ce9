#include "zip_test_support.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace ziptest {

const std::string& Fixtures() {
  static const std::string folder = ZIP_FIXTURES;
  return folder;
}

std::string Fixture(const std::string& name) {
  return Fixtures() + "/" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::string text = ReadFile(path);
  return std::vector<unsigned char>(text.begin(), text.end());
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

int RunShell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> ListTree(const std::string& root) {
  std::vector<std::string> out;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(item.path(), root).string();
    if (item.is_symlink())
      relative += "@";
    else if (item.is_directory())
      relative += "/";
    out.push_back(relative);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace ziptest
