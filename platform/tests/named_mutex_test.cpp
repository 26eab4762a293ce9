#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_env.h"

namespace {

using platform::NamedMutex;
using platform::NamedMutexState;

class NamedMutexTest : public ::testing::Test {
 protected:
  test_env::TempDir runtime_;
  test_env::ScopedEnv env_{"XDG_RUNTIME_DIR", runtime_.path()};
};

// A second process that holds the mutex until told to go.
class Holder {
 public:
  explicit Holder(const std::string& name) {
    int ready[2], release[2];
    EXPECT_EQ(::pipe(ready), 0);
    EXPECT_EQ(::pipe(release), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      // Our copy of the release end would keep the read below from ever
      // seeing the parent close it.
      ::close(release[1]);
      ::close(ready[0]);
      NamedMutex mutex(name);
      char state = mutex.held() ? 'A' : 'E';
      (void)!::write(ready[1], &state, 1);
      char go;
      (void)!::read(release[0], &go, 1);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    EXPECT_EQ(::read(ready[0], &state_, 1), 1);
    ::close(ready[0]);
  }
  ~Holder() { Finish(); }
  char state() const { return state_; }
  void Finish() {
    if (pid_ <= 0) return;
    ::close(release_);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  void Kill() {
    ::kill(pid_, SIGKILL);
    Finish();
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  char state_ = '?';
};

TEST_F(NamedMutexTest, OtherProcessSeesAlreadyExistsUntilHolderLetsGo) {
  Holder holder("Global\\tarkel.shell");
  ASSERT_EQ(holder.state(), 'A');
  {
    NamedMutex second("Global\\tarkel.shell");
    EXPECT_EQ(second.state(), NamedMutexState::kAlreadyExists);
  }
  holder.Finish();
  NamedMutex third("Global\\tarkel.shell");
  EXPECT_EQ(third.state(), NamedMutexState::kAcquired);
}

TEST_F(NamedMutexTest, CrashedHolderDoesNotBlockANewStart) {
  Holder holder("Global\\launch.teacher");
  ASSERT_EQ(holder.state(), 'A');
  holder.Kill();
  EXPECT_TRUE(NamedMutex("Global\\launch.teacher").held());
}

TEST_F(NamedMutexTest, SameProcessSecondCreateAndReleaseAndMove) {
  NamedMutex first("Global\\launch.teacher");
  ASSERT_TRUE(first.held());
  EXPECT_EQ(NamedMutex("Global\\launch.teacher").state(), NamedMutexState::kAlreadyExists);
  // A different name is independent.
  EXPECT_TRUE(NamedMutex("Global\\tarkel.shell").held());

  NamedMutex moved(std::move(first));
  EXPECT_TRUE(moved.held());
  EXPECT_FALSE(first.held());  // NOLINT(bugprone-use-after-move): moved-from state is defined
  EXPECT_EQ(NamedMutex("Global\\launch.teacher").state(), NamedMutexState::kAlreadyExists);
  moved.Release();
  EXPECT_TRUE(NamedMutex("Global\\launch.teacher").held());
}

TEST_F(NamedMutexTest, HolderIsNotInheritedByStartedPrograms) {
  NamedMutex mutex("Global\\launch.teacher");
  ASSERT_TRUE(mutex.held());
  // A program started while the launcher holds its mutex must not keep it
  // alive after the launcher ends: the descriptor closes on exec.
  std::string lockPath = NamedMutex::LockFilePath("Global\\launch.teacher");
  std::string command = "ls -l /proc/self/fd | grep -c -- '" + lockPath + "' >/dev/null";
  EXPECT_NE(std::system(command.c_str()), 0);
}

TEST_F(NamedMutexTest, NamesStayInsideTheLockFolder) {
  std::string path = NamedMutex::LockFilePath("Global\\../../etc/x");
  EXPECT_EQ(path.rfind(runtime_.path() + "/", 0), 0u);
  EXPECT_EQ(path.find('/', runtime_.path().size() + 1), std::string::npos) << path;
  EXPECT_TRUE(NamedMutex("Global\\../../etc/x").held());
}

TEST_F(NamedMutexTest, PlantedLinkOrUnusableNameFailsWithoutTouchingAnything) {
  test_env::TempDir elsewhere;
  std::string victim = elsewhere / "victim";
  test_env::WriteFile(victim, "keep");
  ASSERT_EQ(::symlink(victim.c_str(), NamedMutex::LockFilePath("Global\\trap").c_str()), 0);
  EXPECT_EQ(NamedMutex("Global\\trap").state(), NamedMutexState::kFailed);
  EXPECT_EQ(test_env::ReadFile(victim), "keep");

  EXPECT_EQ(NamedMutex("").state(), NamedMutexState::kFailed);
  EXPECT_EQ(NamedMutex(std::string(300, 'n')).state(), NamedMutexState::kFailed);
}

// As another user, with no runtime folder of its own, the locks must go to
// a folder in /tmp that is that user's alone; whatever a stranger (or a
// link) puts under that folder's name is refused and nothing is made
// through it.
TEST_F(NamedMutexTest, WithoutAPrivateRuntimeFolderLocksLiveInTheUsersOwnFolderInTmp) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as other users";
  const uid_t user = 200000 + static_cast<uid_t>(::getpid() % 100000);
  const std::string own = "/tmp/kitlock-" + std::to_string(user);
  test_env::TempDir elsewhere;
  ASSERT_EQ(::chown(elsewhere.path().c_str(), user, user), 0);
  // The runtime folder is the user's, but others may look into it.
  ASSERT_EQ(::chown(runtime_.path().c_str(), user, user), 0);
  ASSERT_EQ(::chmod(runtime_.path().c_str(), 0755), 0);
  auto lockAsUser = [&] {
    return test_env::RunAsUser(user, [] {
      NamedMutex mutex("Global\\launch.teacher");
      return mutex.held() ? 0 : mutex.state() == NamedMutexState::kFailed ? 1 : 2;
    });
  };
  EXPECT_EQ(lockAsUser(), 0);
  struct stat info;
  ASSERT_EQ(::lstat(own.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode) && info.st_uid == user && (info.st_mode & 0777) == 0700);
  EXPECT_TRUE(test_env::Exists(own + "/.kitlock.Global.launch.teacher"));

  ASSERT_EQ(std::system(("rm -rf " + own).c_str()), 0);
  ASSERT_EQ(::symlink(elsewhere.path().c_str(), own.c_str()), 0);
  EXPECT_EQ(lockAsUser(), 1) << "a link in the folder's place was followed";
  ASSERT_EQ(::unlink(own.c_str()), 0);
  ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
  ASSERT_EQ(::chown(own.c_str(), user + 1, user + 1), 0);
  EXPECT_EQ(lockAsUser(), 1) << "a stranger's folder was used";
  EXPECT_NE(std::system(("find " + elsewhere.path() + " " + own + " -mindepth 1 | grep -q .").c_str()), 0)
      << "something was made through the link or in the stranger's folder";

  // Once the runtime folder is private, it is the one used.
  ASSERT_EQ(::chmod(runtime_.path().c_str(), 0700), 0);
  EXPECT_EQ(lockAsUser(), 0);
  EXPECT_TRUE(test_env::Exists(runtime_ / ".kitlock.Global.launch.teacher"));
  ASSERT_EQ(std::system(("rm -rf " + own).c_str()), 0);
}

}  // namespace
