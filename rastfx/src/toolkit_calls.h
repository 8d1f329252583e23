// The toolkit as the library reaches it: its three modules loaded by name from the current host
// for the length of one call, and their operations looked up by ordinal.
#pragma once

#include <cstdint>

#include "platform/modules/modules.h"
#include "platform/rastertk/rastertk.h"

namespace rastfx {

namespace rt = platform::rastertk;

class Toolkit {
 public:
  // Loads the modules; ok() is false when a module or an ordinal is missing.
  Toolkit();
  ~Toolkit();
  Toolkit(const Toolkit&) = delete;
  Toolkit& operator=(const Toolkit&) = delete;
  bool ok() const { return ok_; }

  rt::InitBitmapFn init = nullptr;
  rt::BitmapFromDibFn fromDib = nullptr;
  rt::ResizeBitmapFn resize = nullptr;
  rt::ExportDibFn exportDib = nullptr;
  rt::ResizeDibFn resizeDib = nullptr;
  rt::FreeBitmapFn release = nullptr;
  rt::AutoCropFn crop = nullptr;
  rt::LoadFileFn load = nullptr;
  rt::SaveFileFn save = nullptr;

 private:
  platform::Modules& modules_;
  platform::ModuleHandle kernel_ = 0, image_ = 0, file_ = 0;
  bool ok_ = false;
};

// A temporary toolkit bitmap, released on every path out of the call that made it.
class TempBitmap {
 public:
  explicit TempBitmap(const Toolkit& toolkit) : toolkit_(toolkit), bitmap_{} {}
  ~TempBitmap() { toolkit_.release(&bitmap_); }
  TempBitmap(const TempBitmap&) = delete;
  TempBitmap& operator=(const TempBitmap&) = delete;
  rt::Bitmap* get() { return &bitmap_; }
  rt::Bitmap* operator->() { return &bitmap_; }

 private:
  const Toolkit& toolkit_;
  rt::Bitmap bitmap_;
};

}  // namespace rastfx
