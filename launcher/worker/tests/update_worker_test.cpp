// The whole update road against a real HTTPS gateway on loopback, real
// packages and a real started shell.
#include <gtest/gtest.h>

#include <fstream>

#include "launcher/update_worker.h"
#include "worker_fixture.h"

namespace worker_test {
namespace {

std::vector<std::string> Bases(const std::vector<std::string>& requests) {
  std::vector<std::string> bases;
  for (const std::string& r : requests)
    if (r.find("/public/versions/shell/teacher?tm=") != std::string::npos)
      bases.push_back(r.substr(0, r.find(' ')));
  return bases;
}

TEST_F(WorkerTest, FreshInstallDownloadsUnpacksChecksAndStartsTheShell) {
  fs::path package = BuildPackage({{"plugins/x.so", "plugin"}});
  DemoGateway gateway(root_, {"--package", package.string()});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
  EXPECT_TRUE(fs::exists(VersionFolder() / "md5.json"));
  EXPECT_TRUE(fs::exists(VersionFolder() / "plugins" / "x.so"));
  EXPECT_FALSE(fs::exists(VersionFolder().string() + ".unpacking"));
  std::vector<int> progress = sink_->Progress();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
  EXPECT_NE(ShellRecord().find("\"cwd\":\"" + VersionFolder().string() + "\""), std::string::npos);
  EXPECT_EQ(Bases(gateway.Requests()), std::vector<std::string>{"primary"});
}

TEST_F(WorkerTest, InstalledVersionStartsWithoutDownloadEvenWithoutUrls) {
  fs::path package = BuildPackage();
  {
    DemoGateway gateway(root_, {"--package", package.string()});
    ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
  }
  sink_ = std::make_shared<RecordingSink>();
  DemoGateway gateway(root_, {"--package", package.string(), "--routes", ""});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
  EXPECT_TRUE(gateway.PackageRequests().empty());
}

TEST_F(WorkerTest, SixFailingQueriesAlternateGatewaysAndReportNetworkFailure) {
  DemoGateway gateway(root_, {"--primary-mode", "http-500", "--fallback-mode", "http-500"});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_FAILED, FailNetwork);
  EXPECT_EQ(Bases(gateway.Requests()),
            (std::vector<std::string>{"primary", "fallback", "primary", "fallback", "primary", "fallback"}));
}

TEST_F(WorkerTest, UnparsableAndRefusedRepliesMoveOnToTheOtherGateway) {
  fs::path package = BuildPackage();
  DemoGateway gateway(root_, {"--package", package.string(), "--primary-mode", "invalid-json"});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
  EXPECT_EQ(Bases(gateway.Requests()), (std::vector<std::string>{"primary", "fallback"}));
}

TEST_F(WorkerTest, EmptyVersionEndsTheQueryAtOnce) {
  DemoGateway gateway(root_, {"--primary-mode", "empty-version"});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_FAILED, FailNetwork);
  EXPECT_EQ(Bases(gateway.Requests()).size(), 1u);
}

TEST_F(WorkerTest, VersionThatIsNotAPlainNameIsRefusedAndNothingIsTouched) {
  fs::path package = BuildPackage();
  fs::create_directories(root_ / "data" / "keep");
  DemoGateway gateway(root_, {"--package", package.string(), "--version", "../../keep"});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_FAILED, FailNetwork);
  EXPECT_TRUE(fs::exists(root_ / "data" / "keep"));
  EXPECT_TRUE(gateway.PackageRequests().empty());
}

TEST_F(WorkerTest, MissingVersionWithoutUrlsIsANetworkFailure) {
  DemoGateway gateway(root_, {"--routes", ""});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_FAILED, FailNetwork);
}

TEST_F(WorkerTest, BadMd5OnFirstUrlFallsOverToTheNextInListOrder) {
  fs::path package = BuildPackage();
  DemoGateway gateway(root_, {"--package", package.string(), "--routes", "a,b,a,b", "--bad-md5-route", "a"});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
  EXPECT_EQ(gateway.PackageRequests(), (std::vector<std::string>{"/pkg/a/1.0.0.zip", "/pkg/b/1.0.0.zip"}));
}

TEST_F(WorkerTest, DownloadBudgetIsThreePassesOverTheDeduplicatedList) {
  fs::path package = BuildPackage();
  DemoGateway gateway(root_, {"--package", package.string(), "--routes", "a,b,a,b", "--bad-md5-route", "a",
                              "--missing-route", "b"});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_FAILED, FailDownload);
  std::vector<std::string> order;
  for (const std::string& r : gateway.PackageRequests()) order.push_back(r.substr(5, 1));
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "a", "b", "a", "b"}));
}

TEST_F(WorkerTest, UpperCaseMd5MatchesAndRedirectsAreFollowed) {
  fs::path package = BuildPackage();
  std::string md5;
  {
    DemoGateway probe(root_, {"--package", package.string()});
    md5 = probe.Md5();
  }
  for (char& c : md5) c = static_cast<char>(toupper(c));
  DemoGateway gateway(root_, {"--package", package.string(), "--md5", md5, "--routes", "redirect:a"});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
}

TEST_F(WorkerTest, EmptyMd5AcceptsTheFirstDownloadAndDamageShowsAsCheckCode4) {
  fs::path package = BuildPackage({{"data.txt", "lesson data"}}, "data.txt");
  DemoGateway gateway(root_, {"--package", package.string(), "--md5", ""});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_FAILED, FailFileCheck, 4);
  EXPECT_EQ(gateway.PackageRequests().size(), 1u);
}

TEST_F(WorkerTest, CorruptPackageIsAnUnzipFailure) {
  fs::path package = root_ / "not-a-zip.zip";
  std::ofstream(package) << "this is no zip archive";
  DemoGateway gateway(root_, {"--package", package.string()});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_FAILED, FailUnzip);
  EXPECT_FALSE(fs::exists(VersionFolder()));
}

TEST_F(WorkerTest, ShellThatNeverSignalsIsALaunchFailure) {
  fs::path package = BuildPackage();
  DemoGateway gateway(root_, {"--package", package.string()});
  setenv("DEMO_SHELL_MODE", "never-signal", 1);
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_FAILED, FailLaunch);
}

TEST_F(WorkerTest, LowDiskResetsTheDataFolderBeforeDownloading) {
  fs::path package = BuildPackage();
  fs::create_directories(VersionFolder("0.9.0"));
  std::ofstream(DataFolder() / "config.json") << "{}";
  DemoGateway gateway(root_, {"--package", package.string()});
  ExpectSingleReport(RunWorker([](const std::string&) { return std::optional<std::uint64_t>(); }),
                     WM_LAUNCHER_LAUNCHED, 0);
  EXPECT_FALSE(fs::exists(VersionFolder("0.9.0")));
  EXPECT_TRUE(fs::exists(DataFolder() / "config.json"));
}

TEST(VersionQueryUrl, CarriesTimeAndMachineIdOnlyWhenKnown) {
  EXPECT_EQ(VersionQueryUrl("https://gw", -5, ""), "https://gw/public/versions/shell/teacher?tm=-5");
  EXPECT_EQ(VersionQueryUrl("https://gw", 1700000000, "0A1B2C3D4E5F"),
            "https://gw/public/versions/shell/teacher?tm=1700000000&id=0A1B2C3D4E5F");
}

}  // namespace
}  // namespace worker_test
