// Complement of every byte of a raster, whatever its pixel format.
#include "imgfilt.h"
#include "point_ops.h"
#include "raster.h"

extern "C" IMGFILT_API uint8_t IMGFILT_CALL InvertImg(const uint8_t* source, uint8_t* destination,
                                                      uint32_t lineBytes, uint32_t lines,
                                                      uint8_t /*orientation*/) {
  if (source == nullptr || destination == nullptr) return imgfilt::kNullPointer;
  if (lineBytes == 0 || lines == 0) return imgfilt::kZeroSize;
  // Padding is inverted too, so the raster is one run of bytes in either storage order.
  imgfilt::InvertBytesFast(source, destination, size_t{lineBytes} * lines);
  return imgfilt::kOk;
}
