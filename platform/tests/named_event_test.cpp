#include "platform/named_event.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace platform {
namespace {

std::string UniqueName(const char* tag) { return std::string("kit-test-") + tag + "-" + std::to_string(getpid()); }

TEST(NamedEventAcrossProcesses, SetInAnotherProcessWakesTheWaiter) {
  std::string name = UniqueName("cross");
  auto event = NamedEvent::Create(name);
  ASSERT_TRUE(event);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    usleep(100 * 1000);
    auto opened = NamedEvent::Open(name);
    _exit(opened && opened->Set() ? 0 : 1);
  }
  EXPECT_EQ(event->Wait(5000), NamedEvent::WaitResult::Signaled);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(NamedEventAutoReset, WaitTimesOutWithoutSetAndConsumesASet) {
  auto event = NamedEvent::Create(UniqueName("reset"));
  ASSERT_TRUE(event);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(event->Wait(150), NamedEvent::WaitResult::TimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
  // Two sets before a wait are one set: the event does not count.
  EXPECT_TRUE(event->Set());
  EXPECT_TRUE(event->Set());
  EXPECT_EQ(event->Wait(1000), NamedEvent::WaitResult::Signaled);
  EXPECT_EQ(event->Wait(50), NamedEvent::WaitResult::TimedOut);
}

TEST(NamedEventStaleCount, LeftoverSetFromEarlierRunDoesNotSatisfyNewWait) {
  std::string name = UniqueName("stale");
  // An earlier run's shell set the event, and the name was never removed.
  sem_t* leftover = sem_open(NamedEvent::SystemName(name).c_str(), O_CREAT, 0600, 3);
  ASSERT_NE(leftover, SEM_FAILED);
  sem_close(leftover);
  auto event = NamedEvent::Create(name);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->Wait(50), NamedEvent::WaitResult::TimedOut);
}

TEST(NamedEventNames, OpenWithoutCreatorAndUnusableNamesFail) {
  EXPECT_FALSE(NamedEvent::Open(UniqueName("absent")));
  EXPECT_FALSE(NamedEvent::Create(""));
  EXPECT_FALSE(NamedEvent::Create("a/b"));
  EXPECT_FALSE(NamedEvent::Create(std::string(300, 'x')));
}

TEST(NamedEventLifetime, CreatorRemovesTheNameWhenItLetsGo) {
  std::string name = UniqueName("gone");
  NamedEvent::Create(name).reset();
  EXPECT_FALSE(NamedEvent::Open(name));
}

}  // namespace
}  // namespace platform
