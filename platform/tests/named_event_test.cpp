#include "platform/named_event.h"

#include <fcntl.h>
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

// Each test uses a name of its own and removes its semaphores afterwards.
class NamedEventTest : public ::testing::Test {
 protected:
  ~NamedEventTest() override {
    for (int i = 0; i < NamedEvent::kNameCandidates; ++i) ::unlink(File(i).c_str());
  }
  std::string File(int candidate) const {
    return NamedEvent::SemaphoreFile(NamedEvent::SemaphoreName(name_, candidate));
  }
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

TEST_F(NamedEventTest, SetLeftFromAnEarlierRunDoesNotEndANewWaitAndTheWaiterLeavesNothing) {
  // A waiter killed before it could remove its event, which its shell set
  // later on.
  sem_t* earlier = ::sem_open(NamedEvent::SemaphoreName(name_).c_str(), O_CREAT | O_EXCL, 0600, 0);
  ASSERT_NE(earlier, SEM_FAILED);
  ::sem_post(earlier);
  ::sem_close(earlier);
  {
    NamedEvent waiter(name_, NamedEventMode::kCreateFresh);
    EXPECT_EQ(waiter.Wait(50), EventWaitResult::kTimeout);
  }
  EXPECT_FALSE(test_env::Exists(File(0))) << "the wait is over, the name must go";
  EXPECT_FALSE(NamedEvent(name_, NamedEventMode::kOpen).valid()) << "nobody waits: nothing to set";
}

// Anybody may create a file in /dev/shm under the name the user's event
// takes. A stranger's semaphore there, open to all and already set, must
// neither end the user's wait nor keep the user's shell from ending it.
TEST_F(NamedEventTest, AStrangersSemaphoreUnderOurNameNeitherEndsNorBlocksTheWait) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant a file owned by another user";
  test_env::WriteFile(File(0), std::string("\x01") + std::string(31, '\0'));  // a set semaphore
  ASSERT_EQ(::chown(File(0).c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(File(0).c_str(), 0666), 0);
  {
    NamedEvent waiter(name_, NamedEventMode::kCreateFresh);
    ASSERT_TRUE(waiter.valid());
    EXPECT_EQ(waiter.Wait(50), EventWaitResult::kTimeout) << "the stranger's count ended our wait";
    EXPECT_TRUE(test_env::Exists(File(1)));
    NamedEvent setter(name_, NamedEventMode::kOpen);
    EXPECT_TRUE(setter.Set());
    EXPECT_EQ(waiter.Wait(1000), EventWaitResult::kSignaled) << "our set did not reach our waiter";
  }
  EXPECT_FALSE(test_env::Exists(File(1)));
  EXPECT_TRUE(test_env::Exists(File(0))) << "the stranger's file is not ours to remove";
}

TEST_F(NamedEventTest, UnusableNamesGiveAnInvalidEventThatNeverSucceeds) {
  NamedEvent empty("", NamedEventMode::kCreateFresh);
  NamedEvent tooLong(std::string(300, 'e'), NamedEventMode::kCreateFresh);
  for (NamedEvent* event : {&empty, &tooLong}) {
    EXPECT_FALSE(event->valid());
    EXPECT_FALSE(event->Set());
    EXPECT_EQ(event->Wait(0), EventWaitResult::kFailed);
  }
  const std::string uid = std::to_string(::geteuid());
  EXPECT_EQ(NamedEvent::SemaphoreName("a/b\\c"), "/a.b.c-uid" + uid);
  EXPECT_EQ(NamedEvent::SemaphoreName("a", 2), "/a-uid" + uid + "-2");
}

}  // namespace
