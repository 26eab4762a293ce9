#include "platform/named_event.h"

#include <gtest/gtest.h>
#include <semaphore.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/test_env.h"

namespace {

using platform::EventWaitResult;
using platform::NamedEvent;
using platform::NamedEventMode;

// Each test uses a name of its own and removes the semaphore afterwards.
class NamedEventTest : public ::testing::Test {
 protected:
  ~NamedEventTest() override { ::sem_unlink(NamedEvent::SemaphoreName(name_).c_str()); }
  std::string name_ = "luanch.test-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(NamedEventTest, SetFromAnotherProcessEndsTheWait) {
  NamedEvent waiter(name_, NamedEventMode::kCreateFresh);
  ASSERT_TRUE(waiter.valid());
  std::string name = name_;
  pid_t child = ::fork();
  if (child == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    NamedEvent setter(name, NamedEventMode::kOpen);
    ::_exit(setter.Set() ? 0 : 1);
  }
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(waiter.Wait(10000), EventWaitResult::kSignaled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
}

TEST_F(NamedEventTest, WaitTimesOutAndResetsAfterOneSet) {
  NamedEvent waiter(name_, NamedEventMode::kCreateFresh);
  EXPECT_EQ(waiter.Wait(50), EventWaitResult::kTimeout);
  NamedEvent setter(name_, NamedEventMode::kOpen);
  EXPECT_TRUE(setter.Set());
  EXPECT_TRUE(setter.Set());  // still one set, not two
  EXPECT_EQ(waiter.Wait(0), EventWaitResult::kSignaled);
  EXPECT_EQ(waiter.Wait(20), EventWaitResult::kTimeout);
}

TEST_F(NamedEventTest, SetLeftFromAnEarlierRunDoesNotEndANewWait) {
  {
    // An earlier shell set the event after its launcher had stopped waiting.
    NamedEvent earlier(name_, NamedEventMode::kOpen);
    ASSERT_TRUE(earlier.Set());
  }
  NamedEvent waiter(name_, NamedEventMode::kCreateFresh);
  EXPECT_EQ(waiter.Wait(50), EventWaitResult::kTimeout);
}

TEST_F(NamedEventTest, UnusableNamesGiveAnInvalidEventThatNeverSucceeds) {
  NamedEvent empty("", NamedEventMode::kCreateFresh);
  NamedEvent tooLong(std::string(300, 'e'), NamedEventMode::kCreateFresh);
  for (NamedEvent* event : {&empty, &tooLong}) {
    EXPECT_FALSE(event->valid());
    EXPECT_FALSE(event->Set());
    EXPECT_EQ(event->Wait(0), EventWaitResult::kFailed);
  }
  EXPECT_EQ(NamedEvent::SemaphoreName("a/b\\c"), "/a.b.c");
}

}  // namespace
