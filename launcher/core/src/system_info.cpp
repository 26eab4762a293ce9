#include "launcher/system_info.h"

#include <cstdio>

#include "platform/network_adapters.h"

namespace {

constexpr int kEthernetType = 1;  // ARPHRD_ETHER

bool isWiredEthernet(const platform::NetworkAdapter& adapter) {
  return adapter.hardwareType == kEthernetType && adapter.address.size() == 6 && !adapter.wireless &&
         !adapter.loopback;
}

}  // namespace

bool GetMacAddressString(std::string& out, const std::string& sysClassNet) {
  std::vector<platform::NetworkAdapter> adapters = platform::ListNetworkAdapters(sysClassNet);
  // Purely virtual links (bridges, tunnels, traffic shapers) also call
  // themselves Ethernet but often get a new random address at every boot;
  // an adapter backed by a device gives an id that stays. They are only a
  // fallback.
  const platform::NetworkAdapter* chosen = nullptr;
  for (const platform::NetworkAdapter& adapter : adapters) {
    if (!isWiredEthernet(adapter)) continue;
    if (adapter.hardwareBacked) {
      chosen = &adapter;
      break;
    }
    if (chosen == nullptr) chosen = &adapter;
  }
  if (chosen == nullptr) return false;
  const std::vector<uint8_t>& a = chosen->address;
  char text[13];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
  out = text;
  return true;
}

bool GetMacAddressString(std::string& out) {
  return GetMacAddressString(out, "/sys/class/net");
}
