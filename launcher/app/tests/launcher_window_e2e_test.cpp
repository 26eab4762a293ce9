// The real launcher program on the screens people have: an X server alone,
// a compositing manager without a window manager, and a desktop with both
// (each test starts its own display, see x_desktop.h). The demo gateway
// serves on two fixed loopback ports. The tests check the window as a
// person sees it (place, size, bar, status line, shadow), the mouse on
// caption, bar and close button, the whole road from the version query to
// the started shell, the single-instance rule, and a compositor that stops
// and comes back. Status texts are checked through the log line the window
// writes with each failure text; what is on screen through its pixels.
// Screenshots go to the build tree (E2E_OUTPUT_DIR).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "support/wait_until.h"
#include "window_e2e_support.h"
#include "x_desktop.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::Child;
using e2e::Rgb;
using e2e::World;

namespace {

constexpr char kTitle[] = "launch.teacher";
constexpr char kLaunchFailed[] = "can not execute the app";
constexpr char kVersion[] = "1.0.0";

// Places in the skin, relative to the window.
constexpr int kBarLeft = 30, kBarTop = 244, kBarWidth = 540, kBarHeight = 32;
constexpr int kCloseX = 563, kCloseY = 15;

bool IsBlack(const Rgb& p) {
  return std::max({p.r, p.g, p.b}) < 30;
}
// White text on the skin's dark band or green bar.
bool IsTextInk(const Rgb& p) {
  return std::min({p.r, p.g, p.b}) > 170;
}

class LauncherWindow : public ::testing::TestWithParam<World> {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/launcher-window-e2e.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    suiteDir_ = pattern;
    // One package of the demo shell for every test that downloads.
    const fs::path folder = fs::path(suiteDir_) / "pkg" / kVersion;
    fs::create_directories(folder);
    fs::copy_file(DEMO_SHELL_PATH, folder / "tarkel.shell.exe");
    const std::string cmd = std::string("python3 ") + PACKAGE_BUILDER_SCRIPT + " " + folder.string() + " " +
                            suiteDir_ + "/package.zip --mkmanifest " + MKMANIFEST_PATH + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) suiteDir_.clear();
  }
  static void TearDownTestSuite() {
    if (!suiteDir_.empty()) fs::remove_all(suiteDir_);
  }

  void SetUp() override {
    for (const char* tool : {"Xvfb", "openbox", "xcompmgr", "xdotool", "import", "python3", "openssl"})
      if (!e2e::ToolAvailable(tool)) GTEST_SKIP() << tool << " is not installed";
    ASSERT_FALSE(suiteDir_.empty()) << "the demo package could not be built";
    dir_ = suiteDir_ + "/" + Slug();
    fs::create_directories(dir_ + "/data");
    fs::create_directories(dir_ + "/run");
    fs::permissions(dir_ + "/run", fs::perms::owner_all);
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
    setenv("DEMO_SHELL_RECORD", (dir_ + "/shell.jsonl").c_str(), 1);
    setenv("DEMO_SHELL_STAY_MS", "1000", 1);
    setenv("DEMO_SHELL_WINDOW", "0", 1);
    unsetenv("DEMO_SHELL_MODE");
    const std::string problem = desktop_.Start(GetParam(), dir_);
    ASSERT_TRUE(problem.empty()) << problem;
  }

  // "TestName_World", for file names.
  static std::string Slug() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
  }
  void Screenshot(const std::string& what) const {
    fs::create_directories(E2E_OUTPUT_DIR);
    EXPECT_TRUE(desktop_.SaveScreenshot(std::string(E2E_OUTPUT_DIR) + "/" + Slug() + "_" + what + ".png"));
  }

  void StartGateway(std::vector<std::string> extra) {
    std::vector<std::string> argv = {
        "python3",         DEMO_GATEWAY_SCRIPT,        "--primary-port", E2E_PRIMARY_PORT,
        "--fallback-port", E2E_FALLBACK_PORT,          "--version",      kVersion,
        "--package",       suiteDir_ + "/package.zip", "--ready-file",   dir_ + "/ready.json",
        "--request-log",   dir_ + "/requests.jsonl",   "--cert-dir",     suiteDir_};
    argv.insert(argv.end(), extra.begin(), extra.end());
    ASSERT_TRUE(gateway_.Start(argv, dir_ + "/gateway.log"));
    ASSERT_TRUE(e2e::WaitForText(dir_ + "/ready.json", "primary", 1, 20s))
        << e2e::ReadFile(dir_ + "/gateway.log");
  }
  void StartRefusingGateway() { StartGateway({"--primary-mode", "refuse", "--fallback-mode", "refuse"}); }

  // Starts the launcher and waits for its first frame; the geometry of it.
  e2e::Geometry StartLauncher(Child& launcher, const std::string& log) {
    EXPECT_TRUE(launcher.Start({LAUNCHER_E2E_EXE}, log));
    std::optional<std::string> id = e2e::WaitForWindow(kTitle, 15s);
    EXPECT_TRUE(id) << "no window titled " << kTitle << "; log:\n" << e2e::ReadFile(log);
    if (!id) return {};
    windowId_ = *id;
    EXPECT_TRUE(e2e::WaitForText(log, "window painted", 1, 10s));
    return e2e::WindowGeometry(*id).value_or(e2e::Geometry{});
  }
  std::string Log() const { return dir_ + "/launcher.log"; }
  // A launcher whose gateway refuses, once its first worker has failed.
  e2e::Geometry StartFailedLauncher(Child& launcher) {
    StartRefusingGateway();
    const e2e::Geometry w = StartLauncher(launcher, Log());
    EXPECT_TRUE(e2e::WaitForText(Log(), e2e::kNetworkFailedText, 1, 15s)) << e2e::ReadFile(Log());
    return w;
  }

  // Looks at the screen until `seen` holds for what is there.
  bool WaitForScreen(const std::function<bool()>& seen, std::chrono::milliseconds limit = 15s) {
    return test_env::WaitUntil(seen, limit, 50ms);
  }
  // Green pixels along a row of the bar, above its text.
  int BarFill(const e2e::Geometry& w) {
    int green = 0;
    for (const Rgb& p : desktop_.Grab(w.x + kBarLeft, w.y + kBarTop + 5, kBarWidth, 1))
      green += e2e::IsBarGreen(p) ? 1 : 0;
    return green;
  }
  bool BarHasText(const e2e::Geometry& w) {
    const std::vector<Rgb> area = desktop_.Grab(w.x + kBarLeft, w.y + kBarTop + 8, 120, 16);
    return std::any_of(area.begin(), area.end(), IsTextInk);
  }
  // The darkest rows of the shadow: the three under the window's bottom edge.
  std::vector<Rgb> BelowWindow(const e2e::Geometry& w) { return desktop_.Grab(w.x + 20, w.y + 300, 560, 3); }
  std::vector<Rgb> LeftOfWindow(const e2e::Geometry& w) { return desktop_.Grab(w.x - 4, w.y + 20, 4, 260); }
  bool ShadowShows(const e2e::Geometry& w) {
    const Rgb ground = desktop_.Grab(5, 5, 1, 1).at(0);
    const std::vector<Rgb> band = BelowWindow(w);
    return !band.empty() && std::all_of(band.begin(), band.end(),
                                        [&](const Rgb& p) { return !IsBlack(p) && p.g < ground.g - 15; });
  }
  // Only the empty screen there: no shadow, nothing black.
  bool Empty(const std::vector<Rgb>& area) {
    const Rgb ground = desktop_.Grab(5, 5, 1, 1).at(0);
    return !area.empty() && std::all_of(area.begin(), area.end(), [&](const Rgb& p) {
      return p.r == ground.r && p.g == ground.g && p.b == ground.b;
    });
  }
  bool NothingAround(const e2e::Geometry& w) { return Empty(BelowWindow(w)) && Empty(LeftOfWindow(w)); }
  bool BarFull(const e2e::Geometry& w) { return BarFill(w) >= 530; }

  void ClickBar(const e2e::Geometry& w) const { e2e::Click(w.x + 300, w.y + 260); }
  void ClickClose(const e2e::Geometry& w) const { e2e::Click(w.x + kCloseX, w.y + kCloseY); }
  void CloseAndWait(const e2e::Geometry& w, Child& launcher) {
    ClickClose(w);
    const std::optional<int> code = launcher.WaitExit(15s);
    ASSERT_TRUE(code) << "the close button did not end the launcher";
    EXPECT_EQ(*code, 0) << e2e::ReadFile(Log());
  }
  bool HasWindowManager() const { return GetParam() == World::kDesktop; }

  // Declared first, so the display outlives every program shown on it.
  e2e::XDesktop desktop_;
  static std::string suiteDir_;
  std::string dir_;
  std::string windowId_;
  Child gateway_;
};

std::string LauncherWindow::suiteDir_;

std::string WorldParamName(const ::testing::TestParamInfo<World>& info) {
  return e2e::WorldName(info.param);
}

TEST_P(LauncherWindow, AppearsCentredWithItsTitleAndSizeIgnoresACaptionDoubleClickAndClosesByItsButton) {
  StartRefusingGateway();
  Child launcher;
  const e2e::Geometry w = StartLauncher(launcher, Log());
  const std::optional<e2e::Geometry> screen = e2e::ScreenSize();
  ASSERT_TRUE(screen);
  EXPECT_EQ(w.width, 600);
  EXPECT_EQ(w.height, 300);
  EXPECT_NEAR(w.x, (screen->width - 600) / 2.0, 1);
  EXPECT_NEAR(w.y, (screen->height - 300) / 2.0, 1);

  e2e::Click(w.x + 300, w.y + 50, 2);
  // The launcher has handled the double click once it handles the next
  // event: the close button lights up under the pointer. A window manager
  // has handled any request made meanwhile once it has activated the window.
  ASSERT_TRUE(e2e::Xdo("mousemove " + std::to_string(w.x + kCloseX) + " " + std::to_string(w.y + kCloseY)));
  EXPECT_TRUE(WaitForScreen([&] {
    const Rgb p = desktop_.Grab(w.x + 550, w.y + 8, 1, 1).at(0);
    return p.r > 180 && p.g < 140;
  })) << "the close button did not light up";
  if (HasWindowManager()) {
    EXPECT_TRUE(e2e::Xdo("windowactivate --sync " + windowId_));
  }
  const std::optional<e2e::Geometry> after = e2e::WindowGeometry(windowId_);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->width, 600) << "a caption double click must not maximise";
  EXPECT_EQ(after->height, 300);

  CloseAndWait(w, launcher);
}

TEST_P(LauncherWindow, ANetworkFailureTurnsTheBarIntoRetryAndAClickOnItRetries) {
  Child launcher;
  const e2e::Geometry w = StartFailedLauncher(launcher);
  ASSERT_FALSE(HasFailure());
  EXPECT_TRUE(WaitForScreen([&] { return BarFull(w) && BarHasText(w); }))
      << "after a failure the bar is full (less its rounded ends) and carries the retry text";
  const int queries = e2e::CountOf(e2e::ReadFile(Log()), "get version with url");

  ClickBar(w);
  ASSERT_TRUE(e2e::WaitForText(Log(), e2e::kNetworkFailedText, 2, 15s)) << "a click on the bar did not retry";
  EXPECT_EQ(e2e::CountOf(e2e::ReadFile(Log()), "get version with url"), 2 * queries);
  CloseAndWait(w, launcher);
}

TEST_P(LauncherWindow, DraggingTheCaptionMovesTheWindowAndItsShadow) {
  Child launcher;
  const e2e::Geometry w = StartFailedLauncher(launcher);
  ASSERT_FALSE(HasFailure());
  const e2e::Geometry to{w.x - 150, w.y - 200, w.width, w.height};
  const auto movedTo = [&](const e2e::Geometry& g) {
    const std::optional<e2e::Geometry> now = e2e::WindowGeometry(windowId_);
    return now && now->x == g.x && now->y == g.y;
  };
  const std::string from = std::to_string(w.x + 300) + " " + std::to_string(w.y + 50);
  ASSERT_TRUE(e2e::Xdo("mousemove " + from + " mousedown 1"));
  // Whoever moves the window (the window manager, or GTK without one) takes
  // the pointer some time after the press; it follows the motion it sees
  // from then on, so the pointer keeps stepping until the window is there.
  const auto dropAt = [&](int dx) {
    return "mousemove " + std::to_string(to.x + 300 + dx) + " " + std::to_string(to.y + 50);
  };
  bool arrived = false;
  for (auto end = std::chrono::steady_clock::now() + 15s;
       !arrived && std::chrono::steady_clock::now() < end;) {
    (void)e2e::Xdo(dropAt(1));
    (void)e2e::Xdo(dropAt(0));
    arrived = WaitForScreen([&] { return movedTo(to); }, 300ms);
  }
  ASSERT_TRUE(e2e::Xdo("mouseup 1"));
  ASSERT_TRUE(arrived) << "dragging the caption did not move the window";
  if (WorldHasCompositor(GetParam())) {
    EXPECT_TRUE(WaitForScreen([&] { return ShadowShows(to) && Empty(BelowWindow(w)); }))
        << "the shadow did not follow the window";
  }
  EXPECT_TRUE(movedTo(to)) << "the window moved on after the release";
  CloseAndWait(to, launcher);
}

TEST_P(LauncherWindow, ASecondLauncherExitsAndRaisesTheFirst) {
  StartRefusingGateway();
  Child first;
  StartLauncher(first, Log());
  Child second;
  ASSERT_TRUE(second.Start({LAUNCHER_E2E_EXE}, dir_ + "/second.log"));
  const std::optional<int> code = second.WaitExit(10s);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0);
  const std::string log = e2e::ReadFile(dir_ + "/second.log");
  EXPECT_NE(log.find("start exist item"), std::string::npos) << log;
  EXPECT_NE(log.find("already have launch.teacher, exit"), std::string::npos) << log;
  EXPECT_TRUE(first.Running());
}

TEST_P(LauncherWindow, TheBarFillsDuringADownloadThenTheShellStartsAndTheWindowCloses) {
  const auto size = fs::file_size(suiteDir_ + "/package.zip");
  // The gateway stops after each third of the package until the test lets
  // it go on, so the bar is read while the download surely runs, however
  // late a loaded machine paints.
  const std::string hold = dir_ + "/hold";
  StartGateway({"--routes", "slow", "--slow-route", "slow", "--slow-rate", std::to_string(size / 3 + 1),
                "--slow-hold", hold});
  Child launcher;
  const e2e::Geometry w = StartLauncher(launcher, Log());
  ASSERT_TRUE(e2e::WaitForText(Log(), "download with url", 1, 15s)) << e2e::ReadFile(Log());
  const auto fillAbove = [&](int floor) {
    int fill = 0;
    WaitForScreen([&] { return (fill = BarFill(w)) > floor; });
    return fill;
  };
  const auto goOn = [&](int third) { std::ofstream(hold + "." + std::to_string(third)).put('\n'); };
  const int early = fillAbove(0);
  goOn(1);
  const int later = fillAbove(early);
  EXPECT_GT(early, 0);
  EXPECT_GT(later, early) << "the bar grows with the download";
  EXPECT_LT(later, 540);
  EXPECT_EQ(e2e::CountOf(e2e::ReadFile(Log()), "done with exe"), 0) << "the bar was read after the download";
  goOn(2);

  const std::optional<int> code = launcher.WaitExit(30s);
  ASSERT_TRUE(code) << "the window did not close after the shell started";
  EXPECT_EQ(*code, 0) << e2e::ReadFile(Log());
  const std::string log = e2e::ReadFile(Log());
  EXPECT_NE(log.find("done with exe"), std::string::npos) << log;
  EXPECT_TRUE(fs::exists(dir_ + "/shell.jsonl")) << "the shell never ran";
}

TEST_P(LauncherWindow, AfterAFailedLaunchTheBarReadsFixItAndAClickResetsTheDataFolderFirst) {
  setenv("DEMO_SHELL_MODE", "crash", 1);
  StartGateway({});
  Child launcher;
  const e2e::Geometry w = StartLauncher(launcher, Log());
  ASSERT_TRUE(e2e::WaitForText(Log(), kLaunchFailed, 1, 20s)) << e2e::ReadFile(Log());
  EXPECT_TRUE(WaitForScreen([&] { return BarHasText(w); }));
  const std::string installed = dir_ + "/data/tarkel.shell/bin/" + kVersion;
  EXPECT_TRUE(fs::exists(installed));

  ClickBar(w);
  ASSERT_TRUE(e2e::WaitForText(Log(), "get version with url", 2, 15s)) << e2e::ReadFile(Log());
  const std::string log = e2e::ReadFile(Log());
  const auto fix = log.find("FixDirApp");
  ASSERT_NE(fix, std::string::npos) << log;
  EXPECT_GT(fix, log.find(kLaunchFailed));
  EXPECT_LT(fix, log.rfind("get version with url")) << "the reset comes before the new worker";
  CloseAndWait(w, launcher);
}

INSTANTIATE_TEST_SUITE_P(Worlds, LauncherWindow, ::testing::Values(World::kPlainX, World::kDesktop),
                         WorldParamName);

// A compositing manager that stops (a full-screen game, a crash) and comes
// back: the shadow must go cleanly and return, never leaving black pixels
// around the window or over it.
class LauncherUnderACompositor : public LauncherWindow {};

TEST_P(LauncherUnderACompositor, TheShadowGoesWhenCompositingStopsAndReturnsWhenItResumes) {
  Child launcher;
  const e2e::Geometry w = StartFailedLauncher(launcher);
  ASSERT_FALSE(HasFailure());
  EXPECT_TRUE(WaitForScreen([&] { return BarFull(w) && ShadowShows(w); })) << "no shadow under the window";
  Screenshot("composited");

  ASSERT_TRUE(desktop_.StopCompositor());
  EXPECT_TRUE(WaitForScreen([&] { return BarFull(w) && NothingAround(w); }))
      << "without a compositor the shadow must be gone, not black, and the window must show";
  Screenshot("stopped");

  ASSERT_TRUE(desktop_.StartCompositor());
  EXPECT_TRUE(WaitForScreen([&] { return BarFull(w) && ShadowShows(w); })) << "the shadow did not come back";
  Screenshot("resumed");
  CloseAndWait(w, launcher);
}

INSTANTIATE_TEST_SUITE_P(Worlds, LauncherUnderACompositor,
                         ::testing::Values(World::kCompositorOnly, World::kDesktop), WorldParamName);

// Two users of one machine, each running the real launcher as themselves
// (setpriv) without a runtime folder, so their locks live in /tmp. User B
// plants what a machine-wide naming would let them: a lock file where the
// launcher's lock used to be, and a semaphore under the name of A's started
// event, open to all and already set. Neither may stop A's start or fake
// A's shell signal, A's runs must leave nothing that keeps B out, and a
// link B puts in place of A's lock folder is refused without a write
// through it. One world is enough: the names do not depend on the desktop.
class LauncherForTwoUsers : public LauncherWindow {};

TEST_P(LauncherForTwoUsers, CanNeitherBlockNorFakeEachOthersStart) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the launcher as two users (setpriv)";
  if (!e2e::ToolAvailable("setpriv")) GTEST_SKIP() << "setpriv is not installed";
  const uid_t a = 300000 + static_cast<uid_t>(::getpid() % 50000) * 2;
  const uid_t b = a + 1;
  struct Planted {
    std::vector<std::string> paths;
    ~Planted() {
      for (const std::string& path : paths) fs::remove_all(path);
    }
  } planted;
  const std::string lockA = "/tmp/kitlock-" + std::to_string(a);
  const std::string lockB = "/tmp/kitlock-" + std::to_string(b);
  // The name the platform layer gives user A's event "luanch.teacher".
  const std::string semaphoreA = "/dev/shm/sem.luanch.teacher-uid" + std::to_string(a);
  const std::string oldLock = "/tmp/.kitlock.Global.launch.teacher";
  planted.paths = {lockA, lockB, semaphoreA};
  fs::permissions(suiteDir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  auto home = [&](uid_t user) { return dir_ + "/home-" + std::to_string(user); };
  for (uid_t user : {a, b}) {
    fs::create_directories(home(user) + "/data");
    ASSERT_EQ(::chown(home(user).c_str(), user, user), 0);
    ASSERT_EQ(::chown((home(user) + "/data").c_str(), user, user), 0);
  }
  auto plantAsB = [&](const std::string& path, const std::string& content, mode_t mode) {
    std::ofstream(path, std::ios::binary) << content;
    ASSERT_EQ(::chown(path.c_str(), b, b), 0);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
  };
  plantAsB(semaphoreA, std::string("\x01") + std::string(31, '\0'), 0666);  // a set semaphore
  if (!fs::exists(oldLock)) {
    plantAsB(oldLock, "", 0600);
    planted.paths.push_back(oldLock);
  }
  auto run = [&](Child& launcher, uid_t user, const char* shellMode, const std::string& log) {
    const std::string id = std::to_string(user);
    return launcher.Start({"setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "env", "-u",
                           "XDG_RUNTIME_DIR", "HOME=" + home(user), "XDG_DATA_HOME=" + home(user) + "/data",
                           "DEMO_SHELL_RECORD=" + home(user) + "/shell.jsonl", "DEMO_SHELL_STAY_MS=0",
                           std::string("DEMO_SHELL_MODE=") + shellMode, LAUNCHER_E2E_EXE},
                          log);
  };
  StartGateway({});

  {
    // A's shell never signals: the stranger's count must not pass for it.
    Child launcher;
    ASSERT_TRUE(run(launcher, a, "never-signal", dir_ + "/a1.log"));
    EXPECT_TRUE(e2e::WaitForText(dir_ + "/a1.log", kLaunchFailed, 1, 40s)) << e2e::ReadFile(dir_ + "/a1.log");
  }
  for (uid_t user : {a, b}) {
    const std::string log = dir_ + "/run-" + std::to_string(user) + ".log";
    Child launcher;
    ASSERT_TRUE(run(launcher, user, "normal", log));
    const std::optional<int> code = launcher.WaitExit(40s);
    ASSERT_TRUE(code) << "user " << user << "'s launcher did not finish:\n" << e2e::ReadFile(log);
    EXPECT_NE(e2e::ReadFile(log).find("done with exe"), std::string::npos) << e2e::ReadFile(log);
    EXPECT_NE(e2e::ReadFile(home(user) + "/shell.jsonl").find(home(user) + "/data/tarkel.shell/bin/"),
              std::string::npos);
    struct stat info;
    const std::string lock = user == a ? lockA : lockB;
    ASSERT_EQ(::lstat(lock.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode) && info.st_uid == user && (info.st_mode & 0777) == 0700) << lock;
  }
  // Each wait removed its semaphore; only the stranger's stays.
  for (const auto& entry : fs::directory_iterator("/dev/shm")) {
    const std::string name = entry.path().string();
    if (name.rfind("/dev/shm/sem.luanch.teacher-uid", 0) != 0 || name == semaphoreA) continue;
    EXPECT_EQ(name.find(std::to_string(a)), std::string::npos) << name;
    EXPECT_EQ(name.find(std::to_string(b)), std::string::npos) << name;
  }

  // B puts a link to a folder of theirs where A's lock folder goes.
  fs::remove_all(lockA);
  const std::string trap = home(b) + "/trap";
  fs::create_directories(trap);
  fs::permissions(trap, fs::perms::all);
  ASSERT_EQ(::symlink(trap.c_str(), lockA.c_str()), 0);
  ASSERT_EQ(::lchown(lockA.c_str(), b, b), 0);
  Child launcher;
  ASSERT_TRUE(run(launcher, a, "normal", dir_ + "/a3.log"));
  const std::optional<int> code = launcher.WaitExit(20s);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0);
  EXPECT_NE(e2e::ReadFile(dir_ + "/a3.log").find("can't create mutex"), std::string::npos)
      << e2e::ReadFile(dir_ + "/a3.log");
  EXPECT_TRUE(fs::is_empty(trap)) << "a lock was made through the link";
}

INSTANTIATE_TEST_SUITE_P(Worlds, LauncherForTwoUsers, ::testing::Values(World::kPlainX), WorldParamName);

}  // namespace
