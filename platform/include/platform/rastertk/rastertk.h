// The raster toolkit: the imaging kernel, image and file modules that the raster toolkit library
// (rastfx) imports by ordinal. It is a shared library of its own beside the platform, so that the
// platform takes on no image dependency; Install() registers its three modules with a host.
//
// Modules and ordinals (every operation returns one of the result codes below unless it says
// otherwise; none throws):
//   LTKRN90N.DLL 134  InitBitmap(bitmap, width, height, bitsPerPixel): an empty bitmap of that
//                     geometry, holding no pixels yet. The record is written whole (output only).
//                113  FreeBitmap(bitmap): releases the pixels a bitmap holds and empties it;
//                     an empty bitmap is released as well. (This ordinal is ours.)
//                110  BitmapFromDib(bitmap, header, rows): the pixels of a packed-row DIB; the
//                     colour table follows the header in memory. Replaces what the bitmap held.
//                198  ResizeBitmap(bitmap, width, height): area averaging for reductions, bilinear
//                     for enlargements; palette images (1 and 4 bits always, 8 bits unless the
//                     colour table is the grey ramp) by nearest neighbour on their indices, with
//                     their colour table kept. On failure the bitmap is unchanged.
//                111  ExportDib(bitmap): a movable global block (the host's work memory) holding
//                     the 40-byte header, the colour table and the rows; 0 on failure.
//                114  ResizeDib(bitmap, header, rows, width, height): what InitBitmap,
//                     BitmapFromDib and ResizeBitmap make of the DIB one after the other, with their
//                     codes in that order, but read straight from the caller's rows: no copy of the
//                     source is made or kept. The record is written whole. (This ordinal is ours.)
//   LTIMG90N.DLL 126  AutoCropBitmap(bitmap, tolerance, margin): crops to the smallest rectangle
//                     holding every pixel whose colour differs from the top-left pixel's in some
//                     channel by more than `tolerance` (0..255), widened by `margin` pixels on
//                     each side within the image. Both are plain 32-bit values. A uniform image is
//                     left whole and gives kRasterNothingToCrop.
//   LTFIL90N.DLL 101  LoadBitmapFile(fileName, bitmap, bitsPerPixel, order): reads a BMP, PNG or
//                     TIFF file (told apart by content) through the host's files; a BMP file
//                     with top-down rows (negative height) is read the right way up. bitsPerPixel 0
//                     keeps the file's own depth; order 1 is the DIB's bottom-up row order. The
//                     record is written whole (output only).
//                103  SaveBitmapFile(fileName, bitmap, format, bitsPerPixel, quality): writes the
//                     file atomically: the old file stays whole until the new one replaces it.
//                     bitsPerPixel must be the bitmap's; quality must be 0.
//
// Pixels are kept as a DIB keeps them: rows bottom-up, each padded to a multiple of 4 bytes, colour
// pixels in blue, green, red (and a fourth byte) order, 1 and 4 bits with the leftmost pixel in the
// high bits. Depths: 1, 4 and 8 bits with a colour table, 24 and 32 bits without.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {
class Host;
}

namespace platform::rastertk {

inline constexpr char kKernelModule[] = "LTKRN90N.DLL";
inline constexpr char kImageModule[] = "LTIMG90N.dll";
inline constexpr char kFileModule[] = "LTFIL90N.DLL";

inline constexpr uint16_t kOrdinalInitBitmap = 134;
inline constexpr uint16_t kOrdinalBitmapFromDib = 110;
inline constexpr uint16_t kOrdinalResizeBitmap = 198;
inline constexpr uint16_t kOrdinalExportDib = 111;
inline constexpr uint16_t kOrdinalFreeBitmap = 113;
inline constexpr uint16_t kOrdinalResizeDib = 114;
inline constexpr uint16_t kOrdinalAutoCrop = 126;
inline constexpr uint16_t kOrdinalLoadFile = 101;
inline constexpr uint16_t kOrdinalSaveFile = 103;

// Result codes.
inline constexpr int32_t kRasterSuccess = 1;
inline constexpr int32_t kRasterFailure = -1;            // an unexpected internal failure
inline constexpr int32_t kRasterNoMemory = -2;           // memory for pixels or the export
inline constexpr int32_t kRasterInvalidParameter = -3;   // null pointer, size 0, bad value
inline constexpr int32_t kRasterNoBitmap = -4;           // the record holds no live bitmap
inline constexpr int32_t kRasterBadHeader = -5;          // header size below 40 or above 124,
                                                         // width or height not positive (top-down),
                                                         // planes not 1, more colours than 2^bits
inline constexpr int32_t kRasterBadBitCount = -6;        // bits per pixel not 1, 4, 8, 24 or 32
inline constexpr int32_t kRasterCompressed = -7;         // any compression (only BI_RGB is read)
inline constexpr int32_t kRasterBadImageSize = -8;       // image size not 0 and not rows x stride
inline constexpr int32_t kRasterTooLarge = -9;           // more than kMaxImageBytes of pixels
inline constexpr int32_t kRasterNoRoom = -10;            // a result larger than the room given
inline constexpr int32_t kRasterFileNotFound = -11;
inline constexpr int32_t kRasterFileRead = -12;          // the file exists but cannot be read
inline constexpr int32_t kRasterFileFormat = -13;        // not a BMP, PNG or TIFF we can read
inline constexpr int32_t kRasterFileWrite = -14;
inline constexpr int32_t kRasterBadFormatCode = -15;     // a save format or depth we do not write
inline constexpr int32_t kRasterNothingToCrop = -16;

// Save formats. kFormatAsLoaded writes the format the bitmap was read from (BMP for a bitmap that
// came from no file), so a file saved back under its own name stays what its name says.
inline constexpr int32_t kFormatBmp = 1;
inline constexpr int32_t kFormatPng = 2;
inline constexpr int32_t kFormatTiff = 3;
inline constexpr int32_t kFormatAsLoaded = 6;

// The most pixel bytes one bitmap holds (a 600-dpi A4 colour page needs about 105 MB).
inline constexpr uint64_t kMaxImageBytes = 512ull << 20;

// BITMAPINFOHEADER as Windows lays it out (40 bytes, little-endian).
#pragma pack(push, 1)
struct DibHeader {
  uint32_t size;           // 40 or more
  int32_t width;
  int32_t height;          // positive: bottom-up rows
  uint16_t planes;         // 1
  uint16_t bitCount;
  uint32_t compression;    // 0 (BI_RGB)
  uint32_t sizeImage;      // 0 or rows x stride
  int32_t xPelsPerMeter;
  int32_t yPelsPerMeter;
  uint32_t clrUsed;        // 0: 2^bitCount entries for 8 bits or less
  uint32_t clrImportant;
};
#pragma pack(pop)
static_assert(sizeof(DibHeader) == 40);

// The toolkit's bitmap record. Callers own the record; the pixels belong to the toolkit and are
// reached through `handle`, which the toolkit checks against its live bitmaps on every call.
struct Bitmap {
  uint32_t structSize;     // sizeof(Bitmap) once initialised
  int32_t width;
  int32_t height;
  int32_t bitsPerPixel;
  uint32_t bytesPerLine;   // stride: rows padded to 4 bytes
  uint32_t imageSize;      // bytesPerLine x height
  uint32_t valueA;         // two caller values, stored and never read by the toolkit
  uint32_t valueB;
  uint32_t colorCount;     // colour table entries (2^bitsPerPixel up to 8 bits, else 0)
  int32_t sourceFormat;    // kFormat* of the file it was read from; 0 for none
  uint64_t handle;         // 0 while the bitmap holds no pixels
  uint8_t reserved[88];
};
static_assert(sizeof(Bitmap) == 136, "the toolkit's bitmap record is 136 bytes");

using InitBitmapFn = int32_t (*)(Bitmap* bitmap, int32_t width, int32_t height, int32_t bitsPerPixel);
using FreeBitmapFn = int32_t (*)(Bitmap* bitmap);
using BitmapFromDibFn = int32_t (*)(Bitmap* bitmap, const DibHeader* header, const uint8_t* rows);
using ResizeBitmapFn = int32_t (*)(Bitmap* bitmap, int32_t width, int32_t height);
using ResizeDibFn = int32_t (*)(Bitmap* bitmap, const DibHeader* header, const uint8_t* rows,
                                int32_t width, int32_t height);
using ExportDibFn = uintptr_t (*)(Bitmap* bitmap);  // an Hglobal
using AutoCropFn = int32_t (*)(Bitmap* bitmap, uint32_t tolerance, uint32_t margin);
using LoadFileFn = int32_t (*)(const char* fileName, Bitmap* bitmap, int32_t bitsPerPixel, int32_t order);
using SaveFileFn = int32_t (*)(const char* fileName, Bitmap* bitmap, int32_t format,
                               int32_t bitsPerPixel, int32_t quality);

// The row stride of a DIB: width x bits rounded up to 32 bits; 0 when it would not fit 32 bits.
uint64_t DibStride(int64_t width, int bitsPerPixel);

// Registers the three modules with the host's modules (once per host; later calls do nothing).
void Install(Host& host);
// Bitmaps holding pixels in this host's toolkit: what was initialised or loaded and not freed.
size_t LiveBitmaps(Host& host);

}  // namespace platform::rastertk
