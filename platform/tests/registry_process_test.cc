// The store shared between processes: visibility, concurrent writers, and a writer killed
// before it commits. Children are forked before the parent opens the store, so that no SQLite
// state crosses fork(), and leave with _exit().
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "registry_test_support.h"

namespace platform {
namespace {

using regtest::RegistryTest;

// Writes `count` values named prefix0.. one call (one transaction) each.
int WriteMany(const std::filesystem::path& file, const std::string& prefix, int count) {
  Registry reg(file);
  RegKey key = 0;
  if (reg.CreateKey(kHkeyLocalMachine, "Software\\Shared", &key) != kErrorSuccess) return 2;
  for (int i = 0; i < count; ++i) {
    if (reg.SetDword(key, prefix + std::to_string(i), static_cast<uint32_t>(i)) != kErrorSuccess) {
      return 3;
    }
  }
  return 0;
}

// Two processes taking turns through a pair of pipes. The child is forked before the parent
// opens the store, so no SQLite state is carried across fork().
class Turns {
 public:
  Turns() {
    if (pipe(toChild_) != 0 || pipe(toParent_) != 0) ADD_FAILURE() << "no pipes";
  }
  ~Turns() {
    for (int fd : {toChild_[0], toChild_[1], toParent_[0], toParent_[1]}) close(fd);
  }
  void TellChild() { (void)!write(toChild_[1], "x", 1); }
  void TellParent() { (void)!write(toParent_[1], "x", 1); }
  bool ChildWaits() { return Wait(toChild_[0]); }
  bool ParentWaits() { return Wait(toParent_[0]); }

 private:
  static bool Wait(int fd) {
    char byte;
    return read(fd, &byte, 1) == 1;
  }
  int toChild_[2] = {-1, -1};
  int toParent_[2] = {-1, -1};
};

int Finish(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(RegistryTest, ChangesOfOneProcessAreSeenByAnother) {
  Turns turns;
  pid_t pid = fork();
  if (pid == 0) {
    if (!turns.ChildWaits()) _exit(9);
    Registry child(file());
    RegKey k = 0;
    if (child.OpenKey(kHkeyLocalMachine, "software\\shared", &k) != kErrorSuccess) _exit(2);
    if (child.SetString(k, "FromChild", "hello") != kErrorSuccess) _exit(3);
    turns.TellParent();
    if (!turns.ChildWaits()) _exit(9);
    std::string text;
    uint32_t n = 0;
    if (child.GetString(k, "FromChild", &text) != kErrorFileNotFound) _exit(4);
    _exit(child.GetDword(k, "FromParent", &n) == kErrorSuccess && n == 42 ? 0 : 5);
  }
  RegKey key = Create("Software\\Shared");
  turns.TellChild();
  ASSERT_TRUE(turns.ParentWaits());
  std::string text;
  EXPECT_EQ(reg().GetString(key, "FromChild", &text), kErrorSuccess);  // no reopen needed
  EXPECT_EQ(text, "hello");
  ASSERT_EQ(reg().SetDword(key, "FromParent", 42), kErrorSuccess);
  ASSERT_EQ(reg().DeleteValue(key, "FromChild"), kErrorSuccess);
  turns.TellChild();
  EXPECT_EQ(Finish(pid), 0);
}

TEST_F(RegistryTest, AWriterWaitsForAnotherProcesssTransaction) {
  Turns turns;
  pid_t pid = fork();
  if (pid == 0) {
    if (!turns.ChildWaits()) _exit(9);
    Registry child(file());
    turns.TellParent();
    // Blocks until the parent commits, then goes through.
    _exit(child.SetDword(kHkeyLocalMachine, "Child", 2) == kErrorSuccess ? 0 : 2);
  }
  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(kHkeyLocalMachine, "Parent", 1), kErrorSuccess);
  turns.TellChild();
  ASSERT_TRUE(turns.ParentWaits());
  usleep(300 * 1000);
  uint32_t n = 0;
  EXPECT_EQ(reg().GetDword(kHkeyLocalMachine, "Child", &n), kErrorFileNotFound);
  ASSERT_EQ(reg().CommitTransaction(), kErrorSuccess);
  EXPECT_EQ(Finish(pid), 0);
  EXPECT_EQ(reg().GetDword(kHkeyLocalMachine, "Child", &n), kErrorSuccess);
  EXPECT_EQ(reg().GetDword(kHkeyLocalMachine, "Parent", &n), kErrorSuccess);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kEach = 1000;
  // Both start on a missing file, so they also race to create the store.
  pid_t first = fork();
  if (first == 0) _exit(WriteMany(file(), "A", kEach));
  pid_t second = fork();
  if (second == 0) _exit(WriteMany(file(), "B", kEach));
  EXPECT_EQ(Finish(first), 0);
  EXPECT_EQ(Finish(second), 0);
  RegKey key = 0;
  ASSERT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\Shared", &key), kErrorSuccess);
  std::vector<RegValue> values;
  ASSERT_EQ(reg().ListValues(key, &values), kErrorSuccess);
  EXPECT_EQ(values.size(), 2u * kEach);
  for (const char* prefix : {"A", "B"}) {
    for (int i = 0; i < kEach; i += 97) {
      uint32_t n = 0;
      EXPECT_EQ(reg().GetDword(key, prefix + std::to_string(i), &n), kErrorSuccess);
      EXPECT_EQ(n, static_cast<uint32_t>(i));
    }
  }
}

// A child opens a transaction, changes the store and tells the parent through a pipe; then it
// dies without committing, by _exit or by SIGKILL.
void KillMidTransaction(const std::filesystem::path& file, bool sigkill) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t pid = fork();
  if (pid == 0) {
    Registry reg(file);
    RegKey key = 0;
    reg.BeginTransaction();
    reg.CreateKey(kHkeyLocalMachine, "Software\\Crash", &key);
    reg.SetDword(key, "State", 2);
    for (int i = 0; i < 2000; ++i) reg.SetDword(key, "Extra" + std::to_string(i), i);
    reg.DeleteTree(kHkeyLocalMachine, "Software\\Crash\\Sub");
    (void)!write(ready[1], "x", 1);
    if (!sigkill) _exit(0);
    pause();
    _exit(1);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  if (sigkill) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  close(ready[0]);
  close(ready[1]);
}

TEST_F(RegistryTest, AProcessKilledMidTransactionLeavesTheOldData) {
  for (bool sigkill : {true, false}) {
    SCOPED_TRACE(sigkill ? "SIGKILL" : "_exit");
    {
      Registry setup(file());
      RegKey key = 0;
      ASSERT_EQ(setup.CreateKey(kHkeyLocalMachine, "Software\\Crash\\Sub", &key), kErrorSuccess);
      ASSERT_EQ(setup.OpenKey(kHkeyLocalMachine, "Software\\Crash", &key), kErrorSuccess);
      ASSERT_EQ(setup.SetDword(key, "State", 1), kErrorSuccess);
    }
    KillMidTransaction(file(), sigkill);

    Registry after(file());
    ASSERT_EQ(after.OpenError(), "");
    RegKey key = 0;
    uint32_t n = 0;
    ASSERT_EQ(after.OpenKey(kHkeyLocalMachine, "Software\\Crash", &key), kErrorSuccess);
    EXPECT_EQ(after.GetDword(key, "State", &n), kErrorSuccess);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(after.GetDword(key, "Extra0", &n), kErrorFileNotFound);
    EXPECT_EQ(after.OpenKey(key, "Sub", &key), kErrorSuccess);
    // And the store takes writes again: the dead writer's lock is gone.
    EXPECT_EQ(after.SetDword(key, "Writable", 1), kErrorSuccess);
  }
}

}  // namespace
}  // namespace platform
