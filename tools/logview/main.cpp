// logview: binds the abstract datagram socket the media library hands its
// log lines to, and prints every line it receives to standard output.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kDefaultName[] = "Brindle_LogView";
// A line is at most 4096 bytes with its NUL; a little more room lets an
// oversized datagram be noticed instead of silently cut.
constexpr size_t kMaxDatagram = 8192;

void usage(FILE* to) {
  std::fprintf(to,
               "usage: logview [--name NAME] [--count N]\n"
               "Prints the log lines the media library sends to the viewer.\n"
               "  --name NAME  abstract socket name to bind (default %s)\n"
               "  --count N    exit after N lines (default: run until interrupted)\n",
               kDefaultName);
}

struct Options {
  std::string name = kDefaultName;
  long count = -1;
};

bool parseArgs(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "logview: %s needs a value\n", arg.c_str());
      return false;
    }
    if (arg == "--name") {
      options.name = argv[++i];
    } else if (arg == "--count") {
      char* end = nullptr;
      options.count = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || options.count < 1) {
        std::fprintf(stderr, "logview: --count needs a positive number\n");
        return false;
      }
    } else {
      std::fprintf(stderr, "logview: unknown argument %s\n", arg.c_str());
      return false;
    }
  }
  return true;
}

int bindViewer(const std::string& name) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (name.empty() || name.size() > sizeof(address.sun_path) - 1) {
    std::fprintf(stderr, "logview: socket name must be 1 to %zu bytes\n", sizeof(address.sun_path) - 1);
    return -1;
  }
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    std::fprintf(stderr, "logview: socket: %s\n", std::strerror(errno));
    return -1;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    std::fprintf(stderr, "logview: cannot bind %s: %s\n", name.c_str(), std::strerror(errno));
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseArgs(argc, argv, options)) return 2;
  const int fd = bindViewer(options.name);
  if (fd < 0) return 1;
  static char datagram[kMaxDatagram];
  for (long received = 0; options.count < 0 || received < options.count;) {
    const ssize_t got = ::recv(fd, datagram, sizeof datagram, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "logview: receive failed: %s\n", std::strerror(errno));
      ::close(fd);
      return 1;
    }
    // The sender includes the terminating NUL; print up to it.
    const size_t length = strnlen(datagram, static_cast<size_t>(got));
    std::fwrite(datagram, 1, length, stdout);
    std::fflush(stdout);
    ++received;
  }
  ::close(fd);
  return 0;
}
