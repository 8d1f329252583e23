// Loading the toolkit's modules and their ordinals.
#include "toolkit_calls.h"

#include "platform/host/host.h"

namespace rastfx {
namespace {

template <class Fn>
bool Resolve(platform::Modules& modules, platform::ModuleHandle module, uint16_t ordinal, Fn* out) {
  *out = reinterpret_cast<Fn>(modules.GetProcAddress(module, platform::OrdinalName(ordinal)));
  return *out != nullptr;
}

}  // namespace

Toolkit::Toolkit() : modules_(platform::Host::Current().modules()) {
  // The toolkit is on every machine this library runs on: make sure its modules are there.
  rt::Install(platform::Host::Current());
  kernel_ = modules_.LoadLibrary(rt::kKernelModule);
  image_ = modules_.LoadLibrary(rt::kImageModule);
  file_ = modules_.LoadLibrary(rt::kFileModule);
  ok_ = kernel_ && image_ && file_ &&
        Resolve(modules_, kernel_, rt::kOrdinalInitBitmap, &init) &&
        Resolve(modules_, kernel_, rt::kOrdinalBitmapFromDib, &fromDib) &&
        Resolve(modules_, kernel_, rt::kOrdinalResizeBitmap, &resize) &&
        Resolve(modules_, kernel_, rt::kOrdinalExportDib, &exportDib) &&
        Resolve(modules_, kernel_, rt::kOrdinalResizeDib, &resizeDib) &&
        Resolve(modules_, kernel_, rt::kOrdinalFreeBitmap, &release) &&
        Resolve(modules_, image_, rt::kOrdinalAutoCrop, &crop) &&
        Resolve(modules_, file_, rt::kOrdinalLoadFile, &load) &&
        Resolve(modules_, file_, rt::kOrdinalSaveFile, &save);
}

Toolkit::~Toolkit() {
  for (platform::ModuleHandle m : {kernel_, image_, file_}) {
    if (m) modules_.FreeLibrary(m);
  }
}

}  // namespace rastfx
