// A small SCSI device and request-block helpers for the ASPI layer's tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "platform/aspi/aspi.h"
#include "platform/aspi/aspi_service.h"
#include "platform/clock/event.h"
#include "platform/modules/modules.h"
#include "platform/devices/scsi.h"
#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/ui/scripted_ui.h"
#include "platform/system/system.h"
#include "platform/files/winpath.h"
#include "test_host.h"

namespace platform::aspi_test {

// Answers INQUIRY with its name, keeps what WRITE(6) sends and gives it back on READ(6); any
// other opcode is an illegal request. `next` replaces the outcome of every command while set.
class FakeDevice : public ScsiDevice {
 public:
  explicit FakeDevice(std::string name = "FAKE    DEVICE") : name_(std::move(name)) {}

  ScsiOutcome Execute(const ScsiCommand& command) override {
    ++commands;
    if (next) return *next;
    switch (command.cdb[0]) {
      case 0x00: return ScsiOutcome::Good();
      case 0x12: return Inquiry(command);
      case 0x0A:
        stored.assign(command.data, command.data + command.length);
        return ScsiOutcome::Good(command.length);
      case 0x08: {
        const uint32_t n = std::min<uint32_t>(command.length, static_cast<uint32_t>(stored.size()));
        std::memcpy(command.data, stored.data(), n);
        return ScsiOutcome::Good(n);
      }
      default:
        return ScsiOutcome::Check(kSenseIllegalRequest, 0x20, 0x00);
    }
  }

  std::atomic<int> commands{0};
  std::vector<uint8_t> stored;
  std::optional<ScsiOutcome> next;

 private:
  ScsiOutcome Inquiry(const ScsiCommand& command) {
    std::vector<uint8_t> data(36, ' ');
    data[0] = 0x06;  // scanner
    std::memcpy(&data[8], name_.data(), std::min<size_t>(name_.size(), 24));
    const uint32_t n = std::min<uint32_t>({command.length, command.cdb[4], 36});
    std::memcpy(command.data, data.data(), n);
    return ScsiOutcome::Good(n);
  }
  std::string name_;
};

inline SRB_ExecSCSICmd ExecBlock(uint8_t ha, uint8_t target, std::initializer_list<uint8_t> cdb,
                                 uint8_t direction = 0, uint8_t* buffer = nullptr,
                                 uint32_t length = 0, Event* event = nullptr) {
  SRB_ExecSCSICmd srb;
  std::memset(&srb, 0, sizeof srb);
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = ha;
  srb.SRB_Target = target;
  srb.SRB_Flags = static_cast<uint8_t>(direction | (event ? SRB_EVENT_NOTIFY : 0));
  srb.SRB_BufLen = length;
  srb.SRB_BufPointer = buffer;
  srb.SRB_SenseLen = kSenseLength;
  srb.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
  std::copy(cdb.begin(), cdb.end(), srb.CDBByte);
  srb.SRB_PostProc = event;
  return srb;
}

// A test host with no hardware, so that each test builds the buses it needs.
class BareHost {
 public:
  BareHost() : host_({.hardware = NoHardware()}) {}

  Host& host() { return host_.host(); }
  void WriteFile(std::string_view windowsPath, std::string_view content) {
    SplitPath parts = SplitWindowsPath(windowsPath);
    ASSERT_TRUE(host().files().CreateDirectories(parts.drive + parts.directory));
    ASSERT_TRUE(host().files().WriteFileAtomic(windowsPath, content));
  }

 private:
  testing::TestHost host_;
};

// A bare host with the ASPI layers attached.
class AspiTest : public ::testing::Test {
 protected:
  explicit AspiTest(WindowsVersion version = WindowsVersion::kWin98)
      : aspi_(AttachAspi(host_.host())) {
    host_.host().system().SetVersion(version);
  }

  std::shared_ptr<ScsiAdapter> AddAdapter(AdapterKind kind, ScsiAdapter::Completion completion,
                                          std::string identifier = "plain") {
    HostAdapterInfo info;
    info.identifier = std::move(identifier);
    auto adapter = std::make_shared<ScsiAdapter>(info, completion);
    aspi_.AddAdapter(kind, adapter);
    return adapter;
  }

  Event MakeEvent() { return Event(host_.host().clock(), Event::Reset::kAuto); }

  // The entry points of a module, looked up as a deliverable looks them up.
  struct Entries {
    GetASPI32SupportInfoFn support = nullptr;
    SendASPI32CommandFn send = nullptr;
  };
  Entries Load(std::string_view module) {
    Modules& modules = host_.host().modules();
    ModuleHandle handle = modules.LoadLibrary(module);
    EXPECT_NE(handle, 0u) << module;
    return {modules.GetProc<uint32_t()>(handle, "GetASPI32SupportInfo"),
            modules.GetProc<uint32_t(void*)>(handle, "SendASPI32Command")};
  }
  // Sends through the ASPI module's export, as the scanner library does.
  uint32_t Send(void* srb) {
    if (!winAspi_.send) winAspi_ = Load("wnaspi32.dll");
    return winAspi_.send(srb);
  }

  BareHost host_;
  AspiService& aspi_;
  Entries winAspi_;
};

}  // namespace platform::aspi_test
