// Kills a writer at random instants and checks what it leaves: a child process runs one write
// that takes the store from one state to the other, the parent kills it with SIGKILL after a
// random delay, and a check in the parent (a fresh object over the same files) must find exactly
// the old state or the new one. The delays are drawn from a seeded generator; the seed is
// printed, and SCANSUITE_KILL_SEED sets it to replay a run.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace crash {

struct KillReport {
  int kills = 0;          // writers killed before they finished
  int completed = 0;      // writers that finished before the kill
  int torn = 0;           // checks that found neither state
  std::string firstTear;  // what the first such check found
};

inline uint32_t KillSeed() {
  if (const char* s = std::getenv("SCANSUITE_KILL_SEED")) return static_cast<uint32_t>(std::strtoul(s, nullptr, 10));
  return static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

// How long one whole write takes in a child, in microseconds (at least 1): the middle of five
// timings, as one write slowed by the machine's load would stretch every delay past the write,
// and the writers would finish instead of being killed.
inline int TimeOneWrite(const std::function<void(bool toNew)>& write) {
  std::vector<int> took;
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
      write(true);
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    took.push_back(std::max<int>(
        1, static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count())));
  }
  std::nth_element(took.begin(), took.begin() + 2, took.end());
  return took[2];
}

// Runs rounds until `kills` writers were killed before finishing (at most 4 x `kills` rounds).
// Round i runs write(i % 2 == 0) in a child, killed after a delay drawn from [0, the time one
// whole write takes], then check() in the parent: empty when the store holds one of the two
// states, else a description of what it holds.
inline KillReport RunKills(const char* store, int kills,
                           const std::function<void(bool toNew)>& write,
                           const std::function<std::string()>& check) {
  const uint32_t seed = KillSeed();
  const int maxDelayUs = TimeOneWrite(write);
  std::printf("kill harness (%s): seed %u, a write takes %d us\n", store, seed, maxDelayUs);
  std::fflush(stdout);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay(0, maxDelayUs);
  KillReport report;
  for (int i = 0; report.kills < kills && i < 4 * kills; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      write(i % 2 == 0);
      ::_exit(0);
    }
    ::usleep(static_cast<useconds_t>(delay(random)));
    const bool killed = ::kill(child, SIGKILL) == 0;
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) ++report.kills;
    else if (killed || WIFEXITED(status)) ++report.completed;
    const std::string found = check();
    if (!found.empty()) {
      if (report.torn++ == 0) report.firstTear = "round " + std::to_string(i) + ": " + found;
    }
  }
  return report;
}

}  // namespace crash
