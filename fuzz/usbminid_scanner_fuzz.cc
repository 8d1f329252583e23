// A hostile USB scanner behind the minidriver's port, through the self test: the input decides,
// for every packet the engine sends and every reply it reads, whether the write fails and how
// long and what the reply is. The first byte chooses what follows the input: a scanner that
// stops answering, or one that answers sensibly for a while (its bits 1 to 3 choose how many
// reads: from a few, through the engine's set-up and calibration, to the first lines of the
// page) and then stops. Either way the run ends soon after the input does, as a whole page of
// 1,150 lines costs a hundred times what the replies the input shaped do. No crash, no hang;
// every failure ends in the diagnostic record, never as an exception out of the component.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/devices/device_paths.h"
#include "platform/profile/profile.h"
#include "platform/ui/scripted_ui.h"
#include "platform/ui/ui_constants.h"
#include "scratch_folder.h"
#include "server_state.h"
#include "test_host.h"
#include "usd_component.h"

namespace {

using namespace platform;

class HostileScanner final : public StatelessDevice {
 public:
  void Reset(const uint8_t* data, size_t size) {
    std::lock_guard lock(mutex_);
    playAlong_ = size > 0 && (data[0] & 1) ? kPlayAlongReads[(data[0] >> 1) % std::size(kPlayAlongReads)] : 0;
    data_ = size ? data + 1 : data;
    size_ = size ? size - 1 : 0;
    last_ = {};
  }

  IoStatus Write(std::span<const uint8_t> packet) override {
    std::lock_guard lock(mutex_);
    if (Next(0) % 16 == 15) return {kErrorInvalidParameter, 0};
    if (packet.size() == 8) std::copy(packet.begin(), packet.end(), last_.begin());
    return {kErrorSuccess, static_cast<uint32_t>(packet.size())};
  }

  IoStatus Read(std::span<uint8_t> buffer) override {
    std::lock_guard lock(mutex_);
    if (size_ == 0) {
      if (playAlong_ == 0) return {kErrorInvalidFunction, 0};
      --playAlong_;
    }
    const uint8_t op = Next(0);
    size_t n = buffer.size();
    switch (op % 8) {
      case 5: n = n ? Next(0) % n : 0; break;                         // short
      case 6: return {kErrorInvalidFunction, 0};                      // fails
      case 7: n = n + 1 + Next(0) % 4; break;                         // says it moved more
      default: break;
    }
    const size_t fill = std::min(n, buffer.size());
    size_t i = 0;
    for (; i < fill && size_; ++i) buffer[i] = Next(0);
    if (i < fill && (last_[0] == 0x21 || last_[0] == 0x25)) buffer[i++] = Sensible();
    if (i < fill) std::memcpy(buffer.data() + i, Pattern().data(), std::min(fill - i, Pattern().size()));
    return {kErrorSuccess, static_cast<uint32_t>(n)};
  }

 private:
  uint8_t Next(uint8_t otherwise) {
    if (size_ == 0) return otherwise;
    --size_;
    return *data_++;
  }
  // What a healthy scanner would answer to the last register read or carriage move.
  uint8_t Sensible() const {
    if (last_[0] == 0x21) return last_[1] == 0 ? 0xA5 : last_[1] == 2 ? 0x02 : 0x00;
    return 0x01;
  }
  // The lines of a healthy scanner: a ramp, longer than any line.
  static const std::vector<uint8_t>& Pattern() {
    static const std::vector<uint8_t> ramp = [] {
      std::vector<uint8_t> v(4096);
      for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(20 + i % 200);
      return v;
    }();
    return ramp;
  }

  // Reads after the input: the engine's start takes about 5, its calibration about 155 more,
  // and each line of the page one (200 reach some 40 lines into the page).
  static constexpr int kPlayAlongReads[] = {1, 3, 6, 12, 30, 80, 160, 200};

  std::mutex mutex_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  int playAlong_ = 0;
  std::array<uint8_t, 8> last_{};
};

class Control final : public sti::IStiDeviceControl {
 public:
  com::HRESULT QueryInterface(const com::IID&, void**) override { return com::E_NOINTERFACE; }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  com::HRESULT Initialize(uint32_t, uint32_t, const char16_t*, uint32_t) override { return com::S_OK; }
  com::HRESULT RawReadData(void*, uint32_t*, void*) override { return com::E_NOTIMPL; }
  com::HRESULT RawWriteData(const void*, uint32_t, void*) override { return com::E_NOTIMPL; }
  com::HRESULT RawReadCommand(void*, uint32_t*, void*) override { return com::E_NOTIMPL; }
  com::HRESULT RawWriteCommand(const void*, uint32_t, void*) override { return com::E_NOTIMPL; }
  com::HRESULT RawDeviceControl(uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t*) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT GetLastError(uint32_t*) override { return com::E_NOTIMPL; }
  com::HRESULT GetMyDevicePortName(char16_t* buffer, uint32_t chars) override {
    const std::u16string name = u"\\\\.\\qusbdrv000";
    name.copy(buffer, name.size());
    buffer[name.size()] = 0;
    return com::S_OK;
  }
  com::HRESULT GetMyDeviceHandle(sti::Handle*) override { return com::E_NOTIMPL; }
  com::HRESULT GetMyDeviceOpenMode(uint32_t* mode) override {
    *mode = sti::STI_DEVICE_CREATE_STATUS;
    return com::S_OK;
  }
  com::HRESULT WriteToErrorLog(uint32_t, const char16_t*, uint32_t) override { return com::S_OK; }
};

struct Fixture {
  // The engine reads its settings file at every start: from memory rather than a disk.
  bool inMemory = (TempFoldersInMemory(), true);
  std::shared_ptr<HostileScanner> scanner = std::make_shared<HostileScanner>();
  testing::TestHost host{{.hardware = [this](Host& h) { h.devices().Register("qusbdrv000", scanner); }}};
  Fixture() {
    host.ui().ExpectMessageBox("Scanner is fine.", IDOK, 0);
    // The settings file as installed, with the engine's own value for the level: every start
    // reads ten keys from it, and a file that is not there is looked for through its folder on
    // every key.
    const std::string settings = usbminid::ServerState::ModuleFolder() + "TMDS.INI";
    if (!host.host().profiles().WriteString("A4CIS", "KLevel", "250", settings)) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  fixture.scanner->Reset(data, size);
  com::IClassFactory* factory = nullptr;
  if (usbminid::GetClassObject(usbminid::CLSID_UsbMiniDriver, com::IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)) != com::S_OK) {
    std::abort();
  }
  com::IUnknown* unknown = nullptr;
  factory->CreateInstance(nullptr, com::IID_IUnknown, reinterpret_cast<void**>(&unknown));
  factory->Release();
  auto* component = static_cast<usbminid::CUsdComponent*>(unknown);
  Control control;
  component->usd()->Initialize(&control, 2, 0);
  sti::STI_DIAG diag;
  const com::HRESULT hr = component->usd()->Diagnostic(&diag);
  // The self test reports in its record: S_OK, and a vendor error exactly when it failed.
  if (hr != com::S_OK) std::abort();
  if ((diag.sErrorInfo.dwVendorError != 0) != !component->lastTestFailure().empty()) std::abort();
  unknown->Release();
  if (usbminid::CanUnloadNow() != com::S_OK) std::abort();
  // The prompt's record goes with the input, so that every input frees what it allocated and
  // the fuzzer need not run it again to look for a leak.
  fixture.host.ui().Reset();
  fixture.host.ui().ExpectMessageBox("Scanner is fine.", IDOK, 0);
  return 0;
}
