// A host for one test on a machine description of the test's own (or the default machine),
// with the Windows version preset the case names, a virtual clock and a scripted user
// interface whose surprises fail the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "machine.h"
#include "platform/aspi/aspi_service.h"
#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/ui/scripted_ui.h"
#include "scancore/scan_core.h"
#include "test_host.h"

namespace scancore::testing {

// Where the tests' scanning application lives.
inline constexpr const char* kBase = "C:\\TOVELINK";

// The test host, on the emulated machine, with the scanning application living in kBase.
class ScannerHost {
 public:
  // `machine` empty: the default machine.
  explicit ScannerHost(const std::string& version = "win98", const std::string& machine = "")
      : host_({.version = version, .machine = machine, .applicationFolder = kBase}) {}

  platform::Host& host() { return host_.host(); }
  platform::ScriptedUi& ui() { return host_.ui(); }
  emulator::Machine& machine() { return emulator::Machine::Attach(host()); }
  emulator::ScsiScanner& scanner(const char* name) {
    emulator::ScsiScanner* s = machine().Scanner(name);
    EXPECT_NE(s, nullptr) << name;
    return *s;
  }
  // The faults of the bus target where the scanner `name` sits.
  platform::DeviceFaults& faults(const char* name) { return machine().Faults(name); }
  platform::AspiService& aspi() { return *host().Find<platform::AspiService>(); }
  uint64_t now() { return host().clock().NowMs(); }

  void WriteFile(const std::string& windowsPath, const std::string& content) {
    host_.WriteFile(windowsPath, content);
  }

 private:
  platform::testing::TestHost host_;
};

// One SCSI adapter with the given "targetN=device" lines and device sections.
inline std::string OneAdapter(const std::string& targets, const std::string& devices,
                              const std::string& identifier = "hba0 scsi") {
  return "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\nidentifier=" + identifier + "\n" +
         targets + devices;
}

inline std::string Device(const std::string& name, const std::string& model, int optical = 600,
                          const std::string& extra = "") {
  return "[" + name + "]\nmodel=" + model + "\noptical=" + std::to_string(optical) + "\n" + extra;
}

}  // namespace scancore::testing

// The class CScanCore befriends, in the global namespace as the friend declaration names it.
// The private stages, for the cases that pin them down one by one.
class ScanCoreTestPeer {
 public:
  static int FindScanner(CScanCore& core, CInterface* t, DEVICEINFO* table, unsigned char& n) {
    return core.FindScanner(t, table, n);
  }
  static int DownloadFirmware(CScanCore& core, CInterface& t, unsigned char id, const char* vp) {
    return core.DownloadFirmware(t, id, vp);
  }
  static int CheckSupportOEM(CScanCore& core) { return core.CheckSupportOEM(); }
  static int CheckSupportSTISCSI(CScanCore& core) { return core.CheckSupportSTISCSI(); }
  static int WaitDeviceReady(CScanCore& core, unsigned long ms) { return core.WaitDeviceReady(ms); }
  static int DoHostShading(CScanCore& core, uint8_t* buffer, unsigned long size) {
    return core.DoHostShading(buffer, size);
  }
  static uint16_t Swap(uint16_t v) { return CScanCore::SwapValue(v); }
  static uint32_t Swap(uint32_t v) { return CScanCore::SwapValue(v); }
  // Puts `transport` in place of the bound one (for a transport that records what it sends).
  static void Rebind(CScanCore& core, std::shared_ptr<CInterface> transport) {
    core.transport_ = std::move(transport);
  }
  static int RecomposeData(CScanCore& core, uint8_t* raw, uint8_t* out, unsigned long count) {
    return core.RecomposeData(raw, out, count);
  }
  static uint8_t LastLptRank(const CScanCore& core) { return core.lastLptRank_; }
};

