// rastfx: the raster toolkit library. A Gaussian descreen filter of its own, the scaling of a
// value by one of three fixed factors, and wrappers that move a device-independent bitmap (DIB)
// into the imaging toolkit (platform/rastertk), let it resize or crop the bitmap and copy the
// result back.
//
// Every function is exported under its plain name and under its decorated standard-call name
// (_P_ImageDescreen@36, _P_GetDescreenParameter@8, _P_ConvertDIB2LToolsBitmapFormat@20,
// _P_Initlbitmap@24, _P_ImageDownSample@24, _P_FileDownSample@12, _P_SingleAutoCrop@24); nothing
// else leaves the library. The wrappers return the toolkit's result codes
// (platform/rastertk/rastertk.h: kRasterSuccess is 1, failures are negative); nothing throws.
//
// DIBs: a header (40 bytes, or one of Windows' larger ones) followed by its colour table (up to
// 8 bits per pixel) and, separately, the pixel rows, bottom-up and padded to 4 bytes. Refused:
//   header smaller than 40 or larger than 124 bytes (the largest Windows defines), planes
//   other than 1, more colours than the bit count holds           kRasterBadHeader (-5)
//   width or height not positive (top-down rows among them)         kRasterInvalidParameter (-3),
//                                                                  as the initialisation refuses it
//   bit counts other than 1, 4, 8, 24, 32                           kRasterBadBitCount (-6)
//   any compression (run-length, bit fields, ...)                   kRasterCompressed (-7)
//   an image size neither 0 nor rows x stride                       kRasterBadImageSize (-8)
#pragma once

#include <cstdint>

#include "platform/rastertk/rastertk.h"

extern "C" {

using RastfxDibHeader = platform::rastertk::DibHeader;
using RastfxBitmap = platform::rastertk::Bitmap;

// Blurs 8-, 24- or 32-bit rows in place (the padding stays). Any other depth, null rows, a zero
// side, or a sigma that is not a positive finite number change nothing. The three ignored words
// are kept for the callers' argument lists. Returns 0.
int32_t P_ImageDescreen(uint8_t* rows, uint32_t bitsPerPixel, uint32_t ignored1, uint32_t ignored2,
                        uint32_t width, uint32_t height, uint32_t ignored3, double sigma);

// value x 0.9/255 (type 1), x 0.3/133 (type 2), x 0.45/255 (type 3); 0.0 for any other type.
double P_GetDescreenParameter(uint32_t type, uint32_t value);

// Fills `bitmap` (output) from the DIB; values A and B are stored in it. The bitmap then holds
// toolkit pixels, released with the toolkit's FreeBitmap (ordinal 113).
int32_t P_ConvertDIB2LToolsBitmapFormat(const RastfxDibHeader* header, const uint8_t* rows,
                                        uint32_t valueA, uint32_t valueB, RastfxBitmap* bitmap);

// An empty bitmap of this geometry (no pixels held) with values A and B.
int32_t P_Initlbitmap(RastfxBitmap* bitmap, uint32_t valueA, uint32_t valueB, uint32_t width,
                      uint32_t height, uint32_t bitsPerPixel);

// Resizes the DIB to the new size and copies it back over `rows`, updating the header's width,
// height and image size. A result larger than the caller's image is refused (kRasterNoRoom) and
// any failure leaves rows and header as they were.
int32_t P_ImageDownSample(uint8_t* rows, RastfxDibHeader* header, uint32_t valueA, uint32_t valueB,
                          uint32_t width, uint32_t height);

// Loads a BMP, PNG or TIFF file, resizes it and saves it back under the same name in the format it
// was read in (format code 6); the file is replaced whole or not at all.
int32_t P_FileDownSample(const char* fileName, uint32_t width, uint32_t height);

// Crops a copy of the DIB to its content: `tolerance` (0..255) is how far a channel may differ from
// the top-left pixel's and still count as background, `margin` the pixels kept around the content.
// Both are plain values. The caller's DIB is not changed; the result says whether there was
// anything to crop (kRasterSuccess) or not (kRasterNothingToCrop).
int32_t P_SingleAutoCrop(const uint8_t* rows, const RastfxDibHeader* header, uint32_t valueA,
                         uint32_t valueB, uint32_t tolerance, uint32_t margin);

}  // extern "C"
