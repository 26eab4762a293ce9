#include "launcher/instance_mutex.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "support/test_env.h"

#include <X11/Xlib.h>

namespace {

using test_env::CaptureStderr;

class InstanceMutexTest : public ::testing::Test {
 protected:
  test_env::TempDir runtime_;
  test_env::ScopedEnv env_{"XDG_RUNTIME_DIR", runtime_.path()};
};

TEST_F(InstanceMutexTest, SecondAcquireInAnotherProcessGetsNothing) {
  std::optional<InstanceMutexHandle> first = AcquireInstanceMutex(L"launch.teacher");
  ASSERT_TRUE(first);
  int status = test_env::RunInChild([] { return AcquireInstanceMutex(L"launch.teacher") ? 1 : 0; });
  EXPECT_EQ(status, 0);
  // Probing the shell's name does not disturb the launcher's own.
  EXPECT_TRUE(AcquireInstanceMutex(L"tarkel.shell"));
  first.reset();
  EXPECT_EQ(test_env::RunInChild([] { return AcquireInstanceMutex(L"launch.teacher") ? 0 : 1; }), 0);
}

TEST_F(InstanceMutexTest, ProbeAndCloseLeavesTheNameFree) {
  // Start-up takes the shell's mutex only to see whether the shell runs and
  // closes it at once; the shell must still be able to take it afterwards.
  { EXPECT_TRUE(AcquireInstanceMutex(L"tarkel.shell")); }
  EXPECT_EQ(test_env::RunInChild([] { return AcquireInstanceMutex(L"tarkel.shell") ? 0 : 1; }), 0);
}

TEST_F(InstanceMutexTest, NameTooLongForTheBufferGetsNothingAndSaysWhy) {
  std::string log = CaptureStderr([] { EXPECT_FALSE(AcquireInstanceMutex(std::wstring(300, L'n'))); });
  EXPECT_NE(log.find("mutex name too long"), std::string::npos);
}

TEST_F(InstanceMutexTest, RunningInstanceWindowIsRaisedAndLogged) {
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "DISPLAY is not set; run under scripts/with-display.sh";
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) GTEST_SKIP() << "cannot open DISPLAY";
  std::wstring name = L"launch.teacher-" + std::to_wstring(::getpid());
  std::string narrowName(name.begin(), name.end());
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 100, 0, 0, 0);
  XStoreName(display, window, narrowName.c_str());
  XSync(display, False);

  std::optional<InstanceMutexHandle> running = AcquireInstanceMutex(name);
  ASSERT_TRUE(running);
  std::string log = CaptureStderr([&] { EXPECT_FALSE(AcquireInstanceMutex(name)); });
  char expected[64];
  std::snprintf(expected, sizeof expected, "start exist item %p\n", reinterpret_cast<void*>(window));
  EXPECT_EQ(log, expected);
  XWindowAttributes attributes;
  XSync(display, False);
  ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
  EXPECT_EQ(attributes.map_state, IsViewable);

  // Without such a window nothing is raised and nothing is logged.
  XDestroyWindow(display, window);
  XSync(display, False);
  EXPECT_EQ(CaptureStderr([&] { EXPECT_FALSE(AcquireInstanceMutex(name)); }), "");
  XCloseDisplay(display);
}

}  // namespace
