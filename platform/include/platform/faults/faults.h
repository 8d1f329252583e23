// Fault switches of one host: the single place where its services and the devices on its buses
// are made to fail on purpose, so that every error path of the suite can be reached by a test.
//
// A service asks Check(point, subject) before each operation that can fail. Points are dotted
// names ("files.write"); a switch set on "files" covers every point under it, so a loop can fail
// the Nth file operation of any kind. The subject is what the operation works on (a host path,
// a block size), for the switches that match on it.
//
// Switches:
//  - FailNth(point, n): the nth check under `point`, counted from when the switch is set, fails
//    once; the switch then goes off.
//  - FailEvery(point): every check under `point` fails until cleared.
//  - FailMatching(point, text): every check under `point` whose subject contains `text` fails
//    until cleared.
// Each carries the error to report (0: the service's own error for that point).
//
// Threads: every member may be called from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/faults/device_faults.h"

namespace platform {

// The points the platform's services check.
namespace fault_point {
inline constexpr std::string_view kFileOpen = "files.open";      // opening a file
inline constexpr std::string_view kFileRead = "files.read";      // reading from a file
inline constexpr std::string_view kFileWrite = "files.write";    // writing to a file
inline constexpr std::string_view kFileSpace = "files.space";    // the disk is full on a write
inline constexpr std::string_view kFileSync = "files.fsync";     // flushing a file to the disk
inline constexpr std::string_view kFileRename = "files.rename";  // renaming or replacing a file
inline constexpr std::string_view kFileDelete = "files.delete";  // deleting a file
inline constexpr std::string_view kMemoryAllocate = "memory.allocate";  // work memory blocks
inline constexpr std::string_view kRegistryStore = "registry.store";    // a statement of the store
inline constexpr std::string_view kShellDde = "shell.dde";  // a DDE execute transaction
inline constexpr std::string_view kShellDdeConnect = "shell.connect";  // a DDE conversation
inline constexpr std::string_view kAspiAbort = "aspi.abort";  // an abort that stays pending
}  // namespace fault_point

class Faults {
 public:
  Faults() = default;
  Faults(const Faults&) = delete;
  Faults& operator=(const Faults&) = delete;

  void FailNth(std::string_view point, uint64_t n, int error = 0);
  void FailEvery(std::string_view point, int error = 0);
  void FailMatching(std::string_view point, std::string text, int error = 0);
  // Removes the switches set on exactly `point`; ClearAll removes every switch (device faults
  // included).
  void Clear(std::string_view point);
  void ClearAll();

  // Counts the check and answers whether the operation must fail: empty to go on, else the
  // error to report (0: the service's own).
  std::optional<int> Check(std::string_view point, std::string_view subject = {});
  // Checks made so far at `point` and every point under it (since the host was made).
  uint64_t Checks(std::string_view point) const;
  // Checks that failed because of a switch, likewise.
  uint64_t Failures(std::string_view point) const;

  // The faults of the device at `target` on the bus named `bus`, applied by that bus whatever
  // kind of device sits there (device_faults.h).
  DeviceFaults& Device(std::string_view bus, int target);

 private:
  enum class Kind { kNth, kEvery, kMatching };
  struct Switch {
    std::string point;
    Kind kind;
    uint64_t n = 0;  // kNth: checks to go before the failing one
    std::string text;
    int error = 0;
  };
  static bool Covers(std::string_view outer, std::string_view point);
  void Add(Switch s);

  mutable std::mutex mutex_;
  std::vector<Switch> switches_;
  std::map<std::string, uint64_t, std::less<>> checks_;
  std::map<std::string, uint64_t, std::less<>> failures_;
  std::map<std::pair<std::string, int>, std::unique_ptr<DeviceFaults>> devices_;
};

}  // namespace platform
