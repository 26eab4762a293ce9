#pragma once
// Small helpers shared by the platform and launcher tests: a scratch folder
// that cleans up after itself, scoped environment changes, and running a
// piece of a test in a child process (as an unprivileged user when needed).
#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace test_env {

class TempDir {
 public:
  TempDir() {
    std::string pattern = "/tmp/kit-test-XXXXXX";
    char* made = ::mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    path_ = pattern;
  }
  ~TempDir() {
    // Undo read-only modes a test may have set, then remove everything.
    std::string command = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << "could not clean " << path_;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // The folder for the wide-character file interfaces (the path is ASCII).
  std::wstring wide() const { return std::wstring(path_.begin(), path_.end()); }

 private:
  std::string path_;
};

// Sets (or, with nullopt, unsets) one variable until the scope ends.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
  ASSERT_TRUE(out.good()) << path;
}

inline std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

// The names in a folder (dot names included, "." and ".." not), sorted.
inline std::vector<std::string> ListNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline void MakeDir(const std::string& path) {
  ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
}

// Runs body in a forked child and returns its exit status (body's return
// value, or 99 when it crashed). With asUnprivileged the child first drops to
// the "nobody" user so that folder permissions apply even when the tests run
// as root; files the child must reach have to be accessible to it.
inline int RunInChild(const std::function<int()>& body, bool asUnprivileged = false) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (asUnprivileged && ::geteuid() == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(98);
    }
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

// Runs body in a forked child as user uid (group uid, no other groups; no
// account is needed) and returns its exit status, 99 when it crashed and 98
// when the user could not be taken. The caller must be root.
inline int RunAsUser(uid_t uid, const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(98);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

// Runs fn with standard error redirected into a pipe and returns what it
// wrote (fn must write less than a pipe holds).
template <typename Fn>
std::string CaptureStderr(Fn fn) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  int saved = ::dup(STDERR_FILENO);
  ::dup2(fds[1], STDERR_FILENO);
  ::close(fds[1]);
  fn();
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  return out;
}

}  // namespace test_env
