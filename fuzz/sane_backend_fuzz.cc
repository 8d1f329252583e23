// A front end gone wrong: the backend's entry points called in any order with any values (option
// indexes and actions, words, strings without an end, null and short buffers, cancels at any
// point) on a machine of a flatbed and a film scanner. Every call returns; nothing is touched
// outside the buffers handed in; sane_exit cleans up whatever was left open.
//
// Input: one byte per call choosing it, followed by its operands.
#include <sane/sane.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "backend_host.h"
#include "entry_points.h"
#include "scratch_folder.h"

namespace {

constexpr const char* kMachine =
    "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\nidentifier=hba0 scsi\nmaxtransfer=0x10000\n"
    "target2=flatbed\ntarget5=film\n"
    "[flatbed]\nmodel=Color   FlatbedScanner_4\noptical=600\nadbits=10\ndelays=8,16\nscanstart=0\n"
    "[film]\nmodel=Color   FlatbedScanner_9\noptical=1200\nadbits=12\nholder=2,0x11,0x22,0x33\n"
    "scanstart=0\n";

constexpr int kMaxOpens = 2;
// A device list searches the whole bus as an open does: one list an input, which the input can
// still place before, between or after its opens and scans.
constexpr int kMaxLists = 1;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  int32_t Word() {
    int32_t w = 0;
    for (int i = 0; i < 4; ++i) w = static_cast<int32_t>(static_cast<uint32_t>(w) << 8 | Byte());
    return w;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A host root and a SANE configuration folder naming it, made once for the process.
void PrepareOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  // In memory, as the scanning library writes its settings there.
  const auto folder = ScratchFolder("sane-backend-fuzz");
  std::filesystem::create_directories(folder / "root");
  std::ofstream(folder / "root" / "machine.ini") << kMachine;
  std::ofstream(folder / "scansuite.conf") << "root " << (folder / "root").string() << "\n";
  ::setenv("SANE_CONFIG_DIR", folder.c_str(), 1);
  sanebackend::SetHostSettings({.virtualClock = true, .keepHost = true, .bandLines = 64});
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(ScratchFolder("sane-backend-fuzz"), ec);
  });
}

// A value for an option: a word, a fixed-point millimetre figure, a string (possibly without an
// end within the option's size), or a whole array.
std::vector<uint8_t> ValueFor(Input& in, const SANE_Option_Descriptor* d) {
  const size_t size = d ? static_cast<size_t>(std::max<SANE_Int>(d->size, 4)) : 4;
  std::vector<uint8_t> value(size, 0);
  switch (in.Byte() % 4) {
    case 0: {
      const SANE_Word w = in.Byte();
      std::memcpy(value.data(), &w, sizeof w);
      break;
    }
    case 1: {
      const SANE_Word w = in.Word();
      std::memcpy(value.data(), &w, sizeof w);
      break;
    }
    case 2: {
      const SANE_Word w = SANE_FIX(in.Byte() * 1.5);
      std::memcpy(value.data(), &w, sizeof w);
      break;
    }
    default:
      for (auto& b : value) b = in.Byte();
      break;
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PrepareOnce();
  Input in(data, size);
  if (sane_scansuite_init(nullptr, nullptr) != SANE_STATUS_GOOD) return 0;
  std::vector<SANE_Handle> handles;
  auto pick = [&]() -> SANE_Handle {
    const uint8_t b = in.Byte();
    if (handles.empty() || b == 255) return reinterpret_cast<SANE_Handle>(uintptr_t{b} + 1);  // stray
    return handles[b % handles.size()];
  };
  // Made once: a fresh 70 KB buffer an input is a page-faulting allocation under the sanitizer.
  static std::vector<SANE_Byte> buffer(70000);
  int opens = 0;
  int lists = 0;
  for (int calls = 0; calls < 64 && !in.Empty(); ++calls) {
    switch (in.Byte() % 12) {
      case 0: {
        const char* names[] = {"0:2", "0:5", "", "9:9", nullptr};
        const char* name = names[in.Byte() % 5];
        // Every open searches the whole bus first, and costs more than all other calls of an
        // input together: a few opens an input reach both scanners and the names that fail.
        if (++opens > kMaxOpens) break;
        SANE_Handle h = nullptr;
        if (sane_scansuite_open(name, &h) == SANE_STATUS_GOOD) handles.push_back(h);
        break;
      }
      case 1: {
        SANE_Handle h = pick();
        sane_scansuite_close(h);
        std::erase(handles, h);
        break;
      }
      case 2: {
        SANE_Handle h = pick();
        const SANE_Int option = static_cast<int8_t>(in.Byte());
        const SANE_Option_Descriptor* d = sane_scansuite_get_option_descriptor(h, option);
        std::vector<uint8_t> value = ValueFor(in, d);
        const uint8_t how = in.Byte();
        SANE_Int info = 0;
        sane_scansuite_control_option(h, option, static_cast<SANE_Action>(how % 3),
                                      how & 0x80 ? nullptr : value.data(), how & 0x40 ? nullptr : &info);
        break;
      }
      case 3: {
        SANE_Parameters p;
        sane_scansuite_get_parameters(pick(), in.Byte() & 1 ? nullptr : &p);
        break;
      }
      case 4:
        sane_scansuite_start(pick());
        break;
      case 5:
      case 6: {
        SANE_Handle h = pick();
        const uint8_t how = in.Byte();
        const SANE_Int length = how & 0x80 ? static_cast<SANE_Int>(in.Word() % 70001) : how;
        SANE_Int got = 0;
        for (int i = 0; i < (how & 7) + 1; ++i) {
          sane_scansuite_read(h, how & 0x40 ? nullptr : buffer.data(), length, how & 0x20 ? nullptr : &got);
        }
        break;
      }
      case 7:
        sane_scansuite_cancel(pick());
        break;
      case 8:
        sane_scansuite_set_io_mode(pick(), in.Byte() & 1);
        break;
      case 9: {
        SANE_Int fd;
        sane_scansuite_get_select_fd(pick(), in.Byte() & 1 ? nullptr : &fd);
        break;
      }
      case 10: {
        if (++lists > kMaxLists) break;
        const SANE_Device** list = nullptr;
        sane_scansuite_get_devices(in.Byte() & 1 ? nullptr : &list, SANE_FALSE);
        break;
      }
      default:
        sane_scansuite_get_option_descriptor(pick(), static_cast<int8_t>(in.Byte()));
        break;
    }
  }
  sane_scansuite_exit();
  return 0;
}
