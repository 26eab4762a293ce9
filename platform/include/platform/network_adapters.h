#pragma once
// The machine's network interfaces as the kernel lists them.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct NetworkAdapter {
  std::string name;
  int index = 0;                 // interface index; the list is sorted by it
  int hardwareType = 0;          // ARPHRD_* value: 1 Ethernet, 772 loopback
  std::vector<uint8_t> address;  // hardware address bytes
  bool wireless = false;
  bool loopback = false;
  bool hardwareBacked = false;  // a device (not a purely virtual link) sits under it
};

// Reads every interface below sysClassNet (/sys/class/net on a real system;
// tests point it at a folder of their own). Unreadable entries are skipped.
std::vector<NetworkAdapter> ListNetworkAdapters(const std::string& sysClassNet = "/sys/class/net");

}  // namespace platform
