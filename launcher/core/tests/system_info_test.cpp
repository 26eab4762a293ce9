#include "launcher/system_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>

#include "support/test_env.h"

namespace {

using test_env::TempDir;

struct Interface {
  std::string name;
  int index;
  int type;
  std::string address;
  bool wireless = false;
  bool device = false;
};

void write(const TempDir& root, const Interface& i) {
  std::string folder = root / i.name;
  test_env::MakeDir(folder);
  test_env::WriteFile(folder + "/ifindex", std::to_string(i.index) + "\n");
  test_env::WriteFile(folder + "/type", std::to_string(i.type) + "\n");
  test_env::WriteFile(folder + "/address", i.address + "\n");
  test_env::WriteFile(folder + "/flags", i.type == 772 ? "0x9\n" : "0x1003\n");
  if (i.wireless) test_env::MakeDir(folder + "/wireless");
  if (i.device) {
    ASSERT_EQ(::symlink("/sys/devices", (folder + "/device").c_str()), 0);
  }
}

TEST(GetMacAddressString, FirstWiredDeviceAsTwelveUpperCaseDigits) {
  TempDir root;
  write(root, {"lo", 1, 772, "00:00:00:00:00:00"});
  write(root, {"wlp2s0", 2, 1, "11:22:33:44:55:66", /*wireless=*/true, /*device=*/true});
  write(root, {"zz9", 3, 1, "0a:1b:2c:3d:4e:5f", false, true});
  write(root, {"aa0", 4, 1, "ff:ff:ff:ff:ff:01", false, true});  // later index, earlier name
  std::string out = "old";
  EXPECT_TRUE(GetMacAddressString(out, root.path()));
  EXPECT_EQ(out, "0A1B2C3D4E5F");
}

TEST(GetMacAddressString, VirtualLinksOnlyWhenNoDeviceBackedAdapter) {
  TempDir root;
  write(root, {"ifb0", 2, 1, "46:5f:1a:25:a0:e9"});
  write(root, {"eth0", 4, 1, "02:fc:00:00:00:01", false, true});
  std::string out;
  EXPECT_TRUE(GetMacAddressString(out, root.path()));
  EXPECT_EQ(out, "02FC00000001");

  TempDir virtualOnly;
  write(virtualOnly, {"br0", 5, 1, "46:5f:1a:25:a0:e9"});
  EXPECT_TRUE(GetMacAddressString(out, virtualOnly.path()));
  EXPECT_EQ(out, "465F1A25A0E9");
}

TEST(GetMacAddressString, NoWiredEthernetLeavesOutputUntouched) {
  TempDir root;
  write(root, {"lo", 1, 772, "00:00:00:00:00:00"});
  write(root, {"wlan0", 2, 1, "11:22:33:44:55:66", true, true});
  write(root, {"ib0", 3, 32, "80:00:00:48:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0a:bc:de", false, true});
  write(root, {"tun0", 4, 65534, ""});
  write(root, {"odd0", 5, 1, "02:fc:00:00:00", false, true});  // five bytes
  std::string out = "unchanged";
  EXPECT_FALSE(GetMacAddressString(out, root.path()));
  EXPECT_EQ(out, "unchanged");
  EXPECT_FALSE(GetMacAddressString(out, root / "missing"));
  EXPECT_EQ(out, "unchanged");
}

TEST(GetMacAddressString, RealSystemGivesWellFormedIdOrNothing) {
  std::string out = "unchanged";
  if (!GetMacAddressString(out)) {
    EXPECT_EQ(out, "unchanged");
    GTEST_SKIP() << "this machine has no wired Ethernet adapter";
  }
  ASSERT_EQ(out.size(), 12u);
  for (char c : out) EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(c)) && !std::islower(c)) << out;
}

}  // namespace
