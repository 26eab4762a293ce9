// A network attacker against the real program, built like the demo's
// launcher with gateway pins and a package key, and the demo gateway on
// loopback: a gateway without a pinned key is never believed (URL test and
// update road), and a package is installed only with a valid signature,
// whatever MD5 the reply vouches for. Without the two settings every attack
// below ends with the attacker's shell running.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "window_e2e_support.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::Child;

namespace {

constexpr char kVersion[] = "1.0.0";
constexpr int kPinMismatch = 90;  // CURLE_SSL_PINNEDPUBKEYNOTMATCH

enum class Certificate { kPinned, kForeign };

class UpdateRoadTrust : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/launcher-trust-e2e.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    suiteDir_ = pattern;
    // The vendor's package, signed with the build's package key, and the
    // attacker's: a shell of their own beside a payload, unsigned.
    const bool built =
        BuildPackage("genuine", {}, "--sign " + std::string(LOCAL_KEYS_DIR) + "/package-signing.key") &&
        BuildPackage("evil", {"payload.txt"}, "");
    if (!built) suiteDir_.clear();
  }
  static void TearDownTestSuite() {
    if (!suiteDir_.empty()) fs::remove_all(suiteDir_);
  }

  static bool BuildPackage(const std::string& name, const std::vector<std::string>& extras,
                           const std::string& options) {
    const fs::path folder = fs::path(suiteDir_) / name / kVersion;
    fs::create_directories(folder);
    fs::copy_file(DEMO_SHELL_PATH, folder / "tarkel.shell.exe");
    for (const std::string& extra : extras) std::ofstream(folder / extra) << "not from the vendor\n";
    const std::string cmd = std::string("python3 ") + PACKAGE_BUILDER_SCRIPT + " " + folder.string() + " " +
                            Package(name) + " --mkmanifest " + MKMANIFEST_PATH + " " + options +
                            " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
  }
  static std::string Package(const std::string& name) { return suiteDir_ + "/" + name + ".zip"; }

  void SetUp() override {
    for (const char* tool : {"python3", "openssl"})
      if (!e2e::ToolAvailable(tool)) GTEST_SKIP() << tool << " is not installed";
    ASSERT_FALSE(suiteDir_.empty()) << "the test packages could not be built";
    dir_ = suiteDir_ + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(dir_ + "/run");
    fs::permissions(dir_ + "/run", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
    setenv("DEMO_SHELL_STAY_MS", "0", 1);
    setenv("DEMO_SHELL_WINDOW", "0", 1);
    unsetenv("DEMO_SHELL_MODE");
    NewRound("first");
  }

  // A fresh data folder and shell record for the next launcher run.
  void NewRound(const std::string& name) {
    round_ = dir_ + "/" + name;
    fs::create_directories(round_ + "/data");
    setenv("XDG_DATA_HOME", (round_ + "/data").c_str(), 1);
    setenv("DEMO_SHELL_RECORD", (round_ + "/shell.jsonl").c_str(), 1);
  }

  // The demo gateway on the fixed ports, holding the certificate the build
  // pins or one of its own. extra: more demo_gateway.py switches.
  void StartGateway(Child& gateway, Certificate certificate, std::vector<std::string> extra,
                    const std::string& name = "gateway") {
    const std::string certDir =
        certificate == Certificate::kPinned ? LOCAL_KEYS_DIR : round_ + "/foreign-cert";
    fs::create_directories(certDir);
    std::vector<std::string> argv = {"python3",         DEMO_GATEWAY_SCRIPT,
                                     "--primary-port",  TRUST_PRIMARY_PORT,
                                     "--fallback-port", TRUST_FALLBACK_PORT,
                                     "--version",       kVersion,
                                     "--ready-file",    round_ + "/" + name + ".json",
                                     "--request-log",   round_ + "/requests.jsonl",
                                     "--cert-dir",      certDir};
    argv.insert(argv.end(), extra.begin(), extra.end());
    ASSERT_TRUE(gateway.Start(argv, round_ + "/" + name + ".log"));
    ASSERT_TRUE(e2e::WaitForText(round_ + "/" + name + ".json", "primary", 1, 20s))
        << e2e::ReadFile(round_ + "/" + name + ".log");
  }

  // Runs the launcher until its log holds `until`; the log.
  std::string RunLauncherUntil(const std::string& until) {
    Child launcher;
    EXPECT_TRUE(launcher.Start({LAUNCHER_SECURED_EXE}, round_ + "/launcher.log"));
    EXPECT_TRUE(e2e::WaitForText(round_ + "/launcher.log", until, 1, 30s))
        << "no '" << until << "'; log:\n"
        << e2e::ReadFile(round_ + "/launcher.log");
    return e2e::ReadFile(round_ + "/launcher.log");
  }
  int PackageRequests() { return e2e::CountOf(e2e::ReadFile(round_ + "/requests.jsonl"), "/pkg/"); }
  bool ShellRan() { return fs::exists(round_ + "/shell.jsonl"); }

  void RequireDisplay() {
    if (std::getenv("DISPLAY") == nullptr)
      GTEST_SKIP() << "no DISPLAY: the launcher window needs an X server";
  }

  static std::string suiteDir_;
  std::string dir_;
  std::string round_;
};

std::string UpdateRoadTrust::suiteDir_;

TEST_F(UpdateRoadTrust, TheUrlTestCountsAGatewayWithoutAPinnedKeyAsAnError) {
  // The primary holds the pinned key; the fallback port is the attacker's.
  Child primary, fallback;
  StartGateway(primary, Certificate::kPinned, {"--package", Package("genuine"), "--fallback-mode", "refuse"},
               "primary");
  StartGateway(fallback, Certificate::kForeign, {"--package", Package("evil"), "--primary-mode", "refuse"},
               "fallback");
  Child launcher;
  const std::string log = round_ + "/urltest.log";
  ASSERT_TRUE(launcher.Start(
      {"sh", "-c", std::string("cd ") + round_ + " && exec " + LAUNCHER_SECURED_EXE + " UrlTest"},
      round_ + "/launcher.log"));
  ASSERT_EQ(launcher.WaitExit(30s), 0);
  const std::string block = std::regex_replace(e2e::ReadFile(log), std::regex("\\?tm=-?[0-9]+"), "");
  const std::string query = "/public/versions/shell/teacher";
  EXPECT_NE(
      block.find("[0] got fist response from https://127.0.0.1:" + std::string(TRUST_PRIMARY_PORT) + query),
      std::string::npos)
      << block;
  EXPECT_NE(block.find("[1] UrlError https://127.0.0.1:" + std::string(TRUST_FALLBACK_PORT) + query),
            std::string::npos)
      << block;
  EXPECT_NE(block.find("done TestVerUrl: 0 dismatch,1 error\n"), std::string::npos) << block;
}

TEST_F(UpdateRoadTrust, OnlyThePinnedGatewayIsBelievedAndItsSignedPackageStarts) {
  RequireDisplay();
  {
    // The attacker replays the vendor's own signed reply and package: only
    // the pin can tell, and every query fails, so nothing is fetched.
    Child gateway;
    StartGateway(gateway, Certificate::kForeign, {"--package", Package("genuine")});
    const std::string log = RunLauncherUntil(e2e::kNetworkFailedText);
    EXPECT_EQ(e2e::CountOf(log, "getVersion error " + std::to_string(kPinMismatch) + ","), 6) << log;
    EXPECT_EQ(e2e::CountOf(log, "HttpResponse"), 0) << log;
    EXPECT_EQ(PackageRequests(), 0);
    EXPECT_FALSE(ShellRan());
  }
  NewRound("pinned");
  Child gateway;
  StartGateway(gateway, Certificate::kPinned, {"--package", Package("genuine")});
  // The launcher closes by itself once the shell says it is up. (It logs
  // "done with exe" just before it starts the shell: a test that stopped it
  // at that line could stop it before the start.)
  Child launcher;
  ASSERT_TRUE(launcher.Start({LAUNCHER_SECURED_EXE}, round_ + "/launcher.log"));
  const std::optional<int> code = launcher.WaitExit(60s);
  const std::string log = e2e::ReadFile(round_ + "/launcher.log");
  ASSERT_TRUE(code) << "the launcher did not close after the shell started:\n" << log;
  EXPECT_EQ(*code, 0) << log;
  EXPECT_EQ(e2e::CountOf(log, "getVersion error"), 0) << log;
  EXPECT_EQ(PackageRequests(), 1);
  EXPECT_NE(e2e::ReadFile(round_ + "/shell.jsonl").find("--CliMode=teacher"), std::string::npos) << log;
}

TEST_F(UpdateRoadTrust, ForgedPackagesAreRefusedWhateverMd5TheReplyGives) {
  RequireDisplay();
  std::string genuineSignature = e2e::ReadFile(Package("genuine") + ".sig");
  genuineSignature.erase(genuineSignature.find_last_not_of("\n") + 1);
  struct Forgery {
    const char* name;
    std::vector<std::string> gatewayArgs;  // the evil package, its true MD5 unless said
    const char* refusal;                   // the log line that refuses it
    int downloads;
  };
  const std::vector<Forgery> forgeries = {
      {"unsigned", {}, "** package can't be verified: the reply has no valid signature", 0},
      {"signature-of-another-package", {"--signature", genuineSignature}, "** bad signature on url", 3},
      {"no-md5-no-signature", {"--md5", ""}, "** package can't be verified: the reply has no md5", 0},
  };
  for (const Forgery& forgery : forgeries) {
    SCOPED_TRACE(forgery.name);
    NewRound(forgery.name);
    Child gateway;
    std::vector<std::string> args = {"--package", Package("evil")};
    args.insert(args.end(), forgery.gatewayArgs.begin(), forgery.gatewayArgs.end());
    StartGateway(gateway, Certificate::kPinned, args);
    const std::string log = RunLauncherUntil(e2e::kDownloadFailedText);
    EXPECT_EQ(e2e::CountOf(log, forgery.refusal), forgery.downloads == 0 ? 1 : forgery.downloads) << log;
    EXPECT_EQ(PackageRequests(), forgery.downloads);
    EXPECT_EQ(e2e::CountOf(log, "begin unzip"), 0) << log;
    EXPECT_FALSE(fs::exists(round_ + "/data/tarkel.shell/bin/" + kVersion));
    EXPECT_FALSE(ShellRan());
  }
}

}  // namespace
