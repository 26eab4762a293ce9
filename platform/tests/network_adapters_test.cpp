#include "platform/network_adapters.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/test_env.h"

namespace {

using platform::ListNetworkAdapters;
using platform::NetworkAdapter;

// Writes one interface folder the way the kernel lays it out.
void addInterface(const test_env::TempDir& root, const std::string& name, int index, int type,
                  const std::string& address, const std::string& flags = "0x1003") {
  std::string folder = root / name;
  test_env::MakeDir(folder);
  test_env::WriteFile(folder + "/ifindex", std::to_string(index) + "\n");
  test_env::WriteFile(folder + "/type", std::to_string(type) + "\n");
  test_env::WriteFile(folder + "/address", address + "\n");
  test_env::WriteFile(folder + "/flags", flags + "\n");
}

TEST(ListNetworkAdapters, ReadsKernelLayoutInIndexOrder) {
  test_env::TempDir root;
  addInterface(root, "wlan0", 3, 1, "aa:bb:cc:dd:ee:0f");
  test_env::MakeDir(root / "wlan0/wireless");
  addInterface(root, "lo", 1, 772, "00:00:00:00:00:00", "0x9");
  addInterface(root, "enp1s0", 2, 1, "02:FC:00:00:00:01");
  ASSERT_EQ(::symlink("/sys/devices", (root / "enp1s0/device").c_str()), 0);
  addInterface(root, "ib0", 10, 32, "80:00:00:48:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0a:bc:de");

  std::vector<NetworkAdapter> adapters = ListNetworkAdapters(root.path());
  ASSERT_EQ(adapters.size(), 4u);
  EXPECT_EQ(adapters[0].name, "lo");
  EXPECT_TRUE(adapters[0].loopback);
  EXPECT_EQ(adapters[1].name, "enp1s0");
  EXPECT_EQ(adapters[1].address, (std::vector<uint8_t>{0x02, 0xfc, 0, 0, 0, 1}));
  EXPECT_TRUE(adapters[1].hardwareBacked);
  EXPECT_FALSE(adapters[1].wireless);
  EXPECT_TRUE(adapters[2].wireless);
  EXPECT_FALSE(adapters[2].hardwareBacked);
  EXPECT_EQ(adapters[3].hardwareType, 32);
  EXPECT_EQ(adapters[3].address.size(), 20u);
}

TEST(ListNetworkAdapters, MalformedEntriesNeverCrashOrInventAddresses) {
  test_env::TempDir root;
  addInterface(root, "a", 1, 1, "02:fc:00:00:00");      // five bytes
  addInterface(root, "b", 2, 1, "02:fc:00:00:00:0");    // odd digit count
  addInterface(root, "c", 3, 1, "02-fc-00-00-00-01");   // wrong separator
  addInterface(root, "d", 4, 1, "02:fc:00:00:00:01:");  // trailing separator
  addInterface(root, "e", 5, 1, "");
  test_env::MakeDir(root / "no-index");  // skipped entirely
  test_env::WriteFile(root / "stray-file", "x");

  std::vector<NetworkAdapter> adapters = ListNetworkAdapters(root.path());
  ASSERT_EQ(adapters.size(), 5u);
  EXPECT_EQ(adapters[0].address.size(), 5u);
  for (std::size_t i = 1; i < adapters.size(); ++i)
    EXPECT_TRUE(adapters[i].address.empty()) << adapters[i].name;
  EXPECT_TRUE(ListNetworkAdapters(root / "missing").empty());
}

TEST(ListNetworkAdapters, RealSystemListsLoopback) {
  std::vector<NetworkAdapter> adapters = ListNetworkAdapters();
  if (adapters.empty()) GTEST_SKIP() << "no /sys/class/net here";
  bool sawLoopback = false;
  for (std::size_t i = 0; i < adapters.size(); ++i) {
    if (adapters[i].name == "lo") sawLoopback = adapters[i].loopback;
    if (i > 0) {
      EXPECT_LT(adapters[i - 1].index, adapters[i].index);
    }
  }
  EXPECT_TRUE(sawLoopback);
}

}  // namespace
