// The emulated USB scanner behind the kernel driver: a default control pipe, bulk IN 0x81 and
// bulk OUT 0x02 (64-byte packets) and interrupt IN 0x83 (8-byte packets, interval 10).
//
// Registers, read and written by vendor requests 0x04 (several bytes) and 0x0C (one byte) with
// the register address in the value field:
//   0x00 0x01  identity "KV"        0x02  firmware version (0x12)    0x03  model (0x01)
//   0x10-0x11  scan width in pixels, little-endian (1024)
//   0x12-0x13  scan lines, little-endian (1024)
//   0x20       control: 1 starts a scan of width x lines gray bytes on bulk IN, 0 stops it
//   0x21       status: bit 0 scanning, bit 1 button held
//   0x30       button presses so far (modulo 256)
// Other addresses are plain storage; a transfer past address 0xFF stalls. Vendor request 0x01
// (IN) answers the 8-byte identity "KVX-S100"; other requests stall.
//
// Bulk IN delivers the scan's lines (the test chart in gray, sampled to the geometry) while a
// scan runs and NAKs otherwise; the last byte ends the scan and raises a scan-done event.
// Bulk OUT takes any data (kept for tests). The interrupt pipe delivers event packets of 8 bytes:
// type (1 button, 2 scan done), the button state, a 16-bit sequence number, 4 zero bytes; up to
// 16 wait, older ones are dropped.
//
// Hostile descriptors for tests: SetDescriptors replaces the device and configuration
// descriptor bytes the device answers with.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/usb/usb_device.h"

namespace emulator {

inline constexpr uint16_t kKvxVendorId = 0x1A2B;
inline constexpr uint16_t kKvxProductId = 0x0C01;

class KvxScanner final : public platform::UsbDevice {
 public:
  KvxScanner(uint16_t width = 1024, uint16_t lines = 1024);

  std::string HardwareId() const override;
  platform::UsbResult Control(const platform::UsbSetup& setup, std::span<uint8_t> data) override;
  platform::UsbResult Transfer(uint8_t address, std::span<uint8_t> data) override;
  void Configure(uint8_t configuration) override;

  // The test's hand on the device.
  void PressButton();
  void SetDescriptors(std::vector<uint8_t> device, std::vector<uint8_t> configuration);
  std::vector<uint8_t> Received() const;  // bulk OUT data so far (the last 16 MiB)
  uint8_t Register(uint8_t address) const;
  uint8_t configuration() const;
  int deconfigurations() const;                         // SET_CONFIGURATION 0 so far
  std::vector<platform::UsbSetup> Setups() const;       // control transfers so far
  std::vector<uint32_t> Transfers(uint8_t address) const;  // lengths asked on an endpoint
  // The gray byte at column x of line y of a scan with this geometry.
  static uint8_t ChartByte(uint32_t x, uint32_t y, uint32_t width, uint32_t lines);

  static std::vector<uint8_t> DefaultDeviceDescriptor();
  static std::vector<uint8_t> DefaultConfiguration();

 private:
  platform::UsbResult Registers(const platform::UsbSetup& setup, std::span<uint8_t> data);
  platform::UsbResult Descriptor(const platform::UsbSetup& setup, std::span<uint8_t> data);
  void StartScan();
  void QueueEvent(uint8_t type);
  uint32_t FillScan(std::span<uint8_t> data);

  mutable std::mutex mutex_;
  std::array<uint8_t, 256> registers_{};
  std::vector<uint8_t> deviceDescriptor_;
  std::vector<uint8_t> configurationDescriptor_;
  uint8_t configuration_ = 0;
  bool scanning_ = false;
  uint64_t scanPosition_ = 0, scanBytes_ = 0;
  uint32_t scanWidth_ = 0, scanLines_ = 0;
  std::vector<uint8_t> line_;
  std::vector<uint16_t> columns_;  // the chart column of each pixel
  int64_t lineY_ = -1;             // the chart row line_ holds
  std::deque<std::array<uint8_t, 8>> events_;
  uint16_t sequence_ = 0;
  std::vector<uint8_t> received_;
  int deconfigurations_ = 0;
  std::vector<platform::UsbSetup> setups_;
  std::vector<std::pair<uint8_t, uint32_t>> transfers_;
};

}  // namespace emulator
