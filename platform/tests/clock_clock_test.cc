#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock/clock.h"
#include "platform/clock/event.h"
#include "platform/system/system.h"

namespace platform {
namespace {

TEST(ClockTest, VirtualPollingLoopTakesNoRealTime) {
  VirtualClock clock;
  auto realStart = std::chrono::steady_clock::now();
  const uint64_t start = clock.NowMs();
  int polls = 0;
  while (clock.NowMs() - start < 5000) {
    ++polls;
    clock.SleepMs(250);
  }
  auto real = std::chrono::steady_clock::now() - realStart;
  EXPECT_TRUE(polls == 20 || polls == 21) << polls;
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(real).count(), 50);
  EXPECT_EQ(clock.NowMs(), 5000u);
}

TEST(ClockTest, RealClockSleeps) {
  RealClock clock;
  uint64_t t0 = clock.NowMs();
  clock.SleepMs(20);
  EXPECT_GE(clock.NowMs() - t0, 20u);
}

// Each event kind, on each clock, set from another thread while the first waits.
void CheckEventsAcrossThreads(Clock& clock) {
  Event autoEvent(clock, Event::Reset::kAuto);
  Event manualEvent(clock, Event::Reset::kManual);
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    autoEvent.Set();
    manualEvent.Set();
  });
  EXPECT_EQ(autoEvent.Wait(kInfinite), WaitResult::kSignaled);
  setter.join();
  EXPECT_FALSE(autoEvent.IsSet());  // an auto-reset event lets one waiter through
  EXPECT_EQ(autoEvent.Wait(0), WaitResult::kTimeout);
  EXPECT_EQ(manualEvent.Wait(1000), WaitResult::kSignaled);
  EXPECT_EQ(manualEvent.Wait(1000), WaitResult::kSignaled);  // stays set
  manualEvent.ResetEvent();
  uint64_t t0 = clock.NowMs();
  EXPECT_EQ(manualEvent.Wait(30), WaitResult::kTimeout);
  EXPECT_GE(clock.NowMs() - t0, 30u);
}

TEST(EventTest, AutoAndManualResetOnRealClock) {
  RealClock clock;
  CheckEventsAcrossThreads(clock);
}

TEST(EventTest, AutoAndManualResetOnVirtualClock) {
  VirtualClock clock;
  CheckEventsAcrossThreads(clock);
  // A long timeout runs out at once in virtual time.
  Event never(clock, Event::Reset::kAuto);
  auto realStart = std::chrono::steady_clock::now();
  EXPECT_EQ(never.Wait(30000), WaitResult::kTimeout);
  EXPECT_GE(clock.NowMs(), 30030u);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(5));
}

TEST(EventTest, OneSetReleasesOneAutoWaiter) {
  VirtualClock clock;
  Event e(clock, Event::Reset::kAuto);
  std::atomic<int> released{0};
  std::thread a([&] { if (e.Wait(kInfinite) == WaitResult::kSignaled) ++released; });
  std::thread b([&] { if (e.Wait(kInfinite) == WaitResult::kSignaled) ++released; });
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  e.Set();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(released.load(), 1);
  e.Set();
  a.join();
  b.join();
  EXPECT_EQ(released.load(), 2);
}

TEST(SystemTest, PresetsGiveTheVersionRecordsOfTheirTime) {
  struct Case {
    const char* name;
    uint32_t platform, major, minor, build;
    const char* csd;
  } cases[] = {
      {"win95", kPlatformWin32Windows, 4, 0, 0x040003B6, ""},
      {"win95-osr2", kPlatformWin32Windows, 4, 0, 0x04000457, " B"},
      {"WIN98", kPlatformWin32Windows, 4, 10, 0x040A07CE, " "},
      {"nt4", kPlatformWin32Nt, 4, 0, 1381, "Service Pack 6"},
      {"win2000", kPlatformWin32Nt, 5, 0, 2195, "Service Pack 4"},
  };
  for (const Case& c : cases) {
    auto v = ParseVersionPreset(c.name);
    ASSERT_TRUE(v) << c.name;
    VersionRecord r = VersionRecordFor(*v);
    EXPECT_EQ(r.platformId, c.platform) << c.name;
    EXPECT_EQ(r.major, c.major) << c.name;
    EXPECT_EQ(r.minor, c.minor) << c.name;
    EXPECT_EQ(r.build, c.build) << c.name;
    EXPECT_EQ(r.servicePack, c.csd) << c.name;
  }
  EXPECT_FALSE(ParseVersionPreset("winxp"));
}

TEST(SystemTest, RestartAndPrivilegeRequestsAreRecordedNotActedOn) {
  SystemInfo sys(WindowsVersion::kNt4, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32");
  EXPECT_TRUE(sys.IsNt());
  EXPECT_FALSE(sys.RestartRequested());
  EXPECT_TRUE(sys.RequestPrivilege("SeShutdownPrivilege"));
  EXPECT_TRUE(sys.RequestRestart("EWX_REBOOT"));
  ASSERT_EQ(sys.Requests().size(), 2u);
  EXPECT_EQ(sys.Requests()[0].kind, SystemRequest::Kind::kPrivilege);
  EXPECT_EQ(sys.Requests()[0].detail, "SeShutdownPrivilege");
  EXPECT_TRUE(sys.RestartRequested());
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

// The waiter may destroy the event as soon as it is released; Set must not touch it after.
TEST(EventTest, WaiterMayDestroyTheEventOnceReleased) {
  VirtualClock clock;
  for (int round = 0; round < 200; ++round) {
    auto* event = new Event(clock, Event::Reset::kAuto);
    std::thread setter([event] { event->Set(); });
    event->Wait(kInfinite);
    delete event;
    setter.join();
  }
}

}  // namespace
}  // namespace platform
