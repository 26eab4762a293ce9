#include "platform/network_adapters.h"

#include <dirent.h>
#include <net/if.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>

#include "platform/unique_fd.h"

namespace platform {
namespace {

constexpr int kLoopbackType = 772;  // ARPHRD_LOOPBACK

std::optional<std::string> readFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return line;
}

std::optional<long> readNumber(const std::string& path) {
  std::optional<std::string> text = readFirstLine(path);
  if (!text || text->empty()) return std::nullopt;
  char* end = nullptr;
  long value = std::strtol(text->c_str(), &end, 0);  // "flags" is hexadecimal with 0x
  if (end == text->c_str()) return std::nullopt;
  return value;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "02:fc:00:00:00:01" -> bytes; anything malformed gives no address.
std::vector<uint8_t> parseAddress(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 3) {
    if (i + 2 > text.size()) return {};
    int high = hexDigit(text[i]), low = hexDigit(text[i + 1]);
    if (high < 0 || low < 0) return {};
    if (i + 2 < text.size() && (text[i + 2] != ':' || i + 3 == text.size())) return {};
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return bytes;
}

bool exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

std::optional<NetworkAdapter> readAdapter(const std::string& folder, const std::string& name) {
  NetworkAdapter adapter;
  adapter.name = name;
  std::optional<long> index = readNumber(folder + "/ifindex");
  std::optional<long> type = readNumber(folder + "/type");
  if (!index || !type) return std::nullopt;
  adapter.index = static_cast<int>(*index);
  adapter.hardwareType = static_cast<int>(*type);
  if (std::optional<std::string> address = readFirstLine(folder + "/address")) {
    adapter.address = parseAddress(*address);
  }
  // Wireless drivers expose either the wireless extensions folder or a
  // link to their radio (phy80211).
  adapter.wireless = exists(folder + "/wireless") || exists(folder + "/phy80211");
  std::optional<long> flags = readNumber(folder + "/flags");
  adapter.loopback = adapter.hardwareType == kLoopbackType || (flags && (*flags & IFF_LOOPBACK) != 0);
  adapter.hardwareBacked = exists(folder + "/device");
  return adapter;
}

}  // namespace

std::vector<NetworkAdapter> ListNetworkAdapters(const std::string& sysClassNet) {
  std::vector<NetworkAdapter> adapters;
  UniqueFolderStream dir(::opendir(sysClassNet.c_str()));
  if (!dir) return adapters;
  while (const dirent* entry = ::readdir(dir.get())) {
    std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    if (std::optional<NetworkAdapter> adapter = readAdapter(sysClassNet + "/" + name, name)) {
      adapters.push_back(std::move(*adapter));
    }
  }
  std::sort(adapters.begin(), adapters.end(),
            [](const NetworkAdapter& a, const NetworkAdapter& b) { return a.index < b.index; });
  return adapters;
}

}  // namespace platform
