/*
 * imgfilt: raster operations for scanned gray and colour images.
 *
 * Every image argument is a block of lines in memory owned by the caller; the library never keeps
 * a pointer to it after a call returns and frees only what it allocated itself.
 *
 * Rasters
 *   gray   1 byte per pixel, 0 = black, 255 = white
 *   colour 3 bytes per pixel, channels in the caller's order, all processed alike
 *   A line occupies `lineBytes` bytes; only the first width x bytes-per-pixel bytes of a line are
 *   read or written. `lineBytes` smaller than that is refused with IMGFILT_OUT_OF_RANGE.
 *   `orientation` 1 means bottom-up storage: the top image line is the last line in memory. Any
 *   other value means top-down. Image coordinates always count y from the top image line.
 *
 * Band protocol of the neighbourhood filters (blur, sharpen, unsharp mask, median)
 *   Each output pixel is computed from a 3 x 3 window (blur levels 2 and 3: 3 lines by 5 pixels).
 *   An image may be passed in horizontal bands, top band first, with `bandState`:
 *     0 first band, 1 middle band, 2 last band, 3 a band that is both first and last;
 *     4 no banding: the whole image, or the `region` of it, in one call.
 *   With states 0 to 3 the caller owns `lineBuffer`, two lines of `lineBytes` bytes, and passes
 *   the same buffer for every band of the image; it carries the band's last two lines to the next
 *   call. A first band writes `lines` - 1 output lines, later bands write `lines` lines, the first
 *   of which is centred on the previous band's last line; over the whole image the last line is
 *   consumed and never written. The line above the image repeats its top line; columns beyond the
 *   left and right edges repeat the edge column.
 *   With state 4 the filter needs no line buffer, processes exactly the lines and columns of the
 *   region (null means the whole image), repeats the region's edge lines and columns instead of
 *   reading outside it, and leaves destination pixels outside the region untouched. The region
 *   is normalised (corners ordered, clipped, or replaced by the whole image when it lies entirely
 *   outside) and the normalised values are written back.
 *   `source` and `destination` may be the same buffer.
 *
 * Threads: the filters keep no state between calls beyond the caller's line buffer. Each scaling
 * function keeps the state of one banded image for the whole process (the gray and the colour
 * function separately); call it from one thread at a time.
 */
#ifndef IMGFILT_IMGFILT_H_
#define IMGFILT_IMGFILT_H_

#include <stdint.h>

/* The library was designed for the standard calling convention of 32-bit Windows; everywhere
 * else the platform's default convention is the only one. */
#if defined(_WIN32) && !defined(_WIN64)
#define IMGFILT_CALL __stdcall
#else
#define IMGFILT_CALL
#endif

#if defined(_WIN32)
#if defined(IMGFILT_BUILDING)
#define IMGFILT_API __declspec(dllexport)
#else
#define IMGFILT_API __declspec(dllimport)
#endif
#else
#define IMGFILT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A rectangle in image coordinates, all four edges inclusive. */
typedef struct ImageRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} ImageRect;

/* Result codes. */
enum {
  IMGFILT_OK = 0,
  IMGFILT_REGION_TOO_SMALL = 8, /* the normalised region is narrower or shorter than 2 */
  IMGFILT_ZERO_SIZE = 9,        /* a size argument is zero */
  IMGFILT_NO_MEMORY = 10,       /* a work buffer could not be allocated; nothing was written */
  IMGFILT_NULL_POINTER = 11,    /* a required pointer is null */
  IMGFILT_NOTHING_TO_DO = 12,   /* scaling to the same size */
  IMGFILT_OUT_OF_RANGE = 13     /* band state, line bytes or band sequence out of range */
};

/* Band states. */
enum {
  IMGFILT_BAND_FIRST = 0,
  IMGFILT_BAND_MIDDLE = 1,
  IMGFILT_BAND_LAST = 2,
  IMGFILT_BAND_ONLY = 3,
  IMGFILT_BAND_NONE = 4
};

/*
 * Smoothing. level 2: 3 x 5 kernel weighted (2 3 2) down and (1 2 3 2 1) across, / 63;
 * level 3: 3 x 5 box, / 15; any other level: 3 x 3 box, / 9. The 3 x 5 kernels need a width of at
 * least 3 pixels; a narrower image or region is left unwritten and the call returns 0.
 * Checks, in order: 11 null source or destination; 9 zero lineBytes, width or lines; 13 bandState
 * above 4 or lineBytes too small; 11 null lineBuffer with bandState 0 to 3; 8 region too small.
 */
IMGFILT_API uint8_t IMGFILT_CALL BlurGray(const uint8_t* source, uint8_t* destination,
                                          uint32_t lineBytes, uint32_t width, uint32_t lines,
                                          uint8_t orientation, uint8_t level, uint8_t bandState,
                                          uint8_t* lineBuffer, ImageRect* region);
IMGFILT_API uint8_t IMGFILT_CALL BlurColor(const uint8_t* source, uint8_t* destination,
                                           uint32_t lineBytes, uint32_t width, uint32_t lines,
                                           uint8_t orientation, uint8_t level, uint8_t bandState,
                                           uint8_t* lineBuffer, ImageRect* region);

/*
 * Laplacian sharpening P + (8P - the eight neighbours) / q, with q = 8 for level 2, 5 for level 3
 * and 11 for any other level (computed as ((q + 9)P - S9) / q over the window sum S9, truncated).
 * Checks as for blur.
 */
IMGFILT_API uint8_t IMGFILT_CALL SharpenGray(const uint8_t* source, uint8_t* destination,
                                             uint32_t lineBytes, uint32_t width, uint32_t lines,
                                             uint8_t orientation, uint8_t level, uint8_t bandState,
                                             uint8_t* lineBuffer, ImageRect* region);
IMGFILT_API uint8_t IMGFILT_CALL SharpenColor(const uint8_t* source, uint8_t* destination,
                                              uint32_t lineBytes, uint32_t width, uint32_t lines,
                                              uint8_t orientation, uint8_t level,
                                              uint8_t bandState, uint8_t* lineBuffer,
                                              ImageRect* region);

/*
 * Unsharp mask P + ((s (P - (L + R + U + P + D) / 5)) >> 4). The strength byte gives s: 1..100
 * as they are; 0 and 101..128 mean 15; 129..228 mean half of (strength - 128); 229..255 mean 7.
 * Checks as for blur.
 */
IMGFILT_API uint8_t IMGFILT_CALL UnsharpmaskGray(const uint8_t* source, uint8_t* destination,
                                                 uint32_t lineBytes, uint32_t width,
                                                 uint32_t lines, uint8_t orientation,
                                                 uint8_t strength, uint8_t bandState,
                                                 uint8_t* lineBuffer, ImageRect* region);
IMGFILT_API uint8_t IMGFILT_CALL UnsharpmaskColor(const uint8_t* source, uint8_t* destination,
                                                  uint32_t lineBytes, uint32_t width,
                                                  uint32_t lines, uint8_t orientation,
                                                  uint8_t strength, uint8_t bandState,
                                                  uint8_t* lineBuffer, ImageRect* region);

/* Median of the 3 x 3 window, per channel for colour. Checks as for blur. */
IMGFILT_API uint8_t IMGFILT_CALL MedianGray(const uint8_t* source, uint8_t* destination,
                                            uint32_t lineBytes, uint32_t width, uint32_t lines,
                                            uint8_t orientation, uint8_t bandState,
                                            uint8_t* lineBuffer, ImageRect* region);
IMGFILT_API uint8_t IMGFILT_CALL MedianColor(const uint8_t* source, uint8_t* destination,
                                             uint32_t lineBytes, uint32_t width, uint32_t lines,
                                             uint8_t orientation, uint8_t bandState,
                                             uint8_t* lineBuffer, ImageRect* region);

/*
 * Resizes an image delivered in bands to targetWidth x targetHeight pixels. Enlargement
 * interpolates two neighbours with 7-bit weights; reduction averages a window as wide as the
 * ratio. `lines` is this band's line count, `totalLines` and `targetHeight` the source and result
 * line counts of the whole image. Band states 0 to 3 as for the filters (above 3 counts as 3).
 *
 * Each band writes N = floor(targetHeight (done + lines) / totalLines)
 *                    - floor(targetHeight done / totalLines)
 * lines of outLineBytes bytes, `done` being the source lines of earlier bands; source lines
 * beyond totalLines are ignored, so the bands of an image write exactly targetHeight lines.
 *
 * `lineBuffer` (one line of lineBytes bytes) is read on every band after the first when the
 * height changes: the caller puts the previous band's last source line there. It is never
 * written. The source is only read; it may be the same buffer as the destination.
 *
 * The state of an image lives from its first band (0 or 3) to its last (2 or 3); a new first band
 * discards any unfinished image.
 *
 * Returns 0; 11 null source or destination, or null lineBuffer when a later band needs it;
 * 9 a zero size (lineBytes, width, lines, outLineBytes, totalLines, targetWidth,
 * targetHeight); 13 lineBytes or outLineBytes too small for its width, or a band 1 or 2 without
 * a first band or with a geometry other than the first band's; 12 if width and height both stay
 * the same (nothing is written); 10 if a work buffer or table cannot be allocated (nothing is
 * written, and a first band leaves no image in progress).
 */
IMGFILT_API uint8_t IMGFILT_CALL ScalingGray(const uint8_t* source, uint8_t* destination,
                                             uint32_t lineBytes, uint32_t width, uint32_t lines,
                                             uint32_t totalLines, uint32_t outLineBytes,
                                             uint32_t targetWidth, uint32_t targetHeight,
                                             uint8_t orientation, uint8_t bandState,
                                             const uint8_t* lineBuffer);
IMGFILT_API uint8_t IMGFILT_CALL ScalingColor(const uint8_t* source, uint8_t* destination,
                                              uint32_t lineBytes, uint32_t width, uint32_t lines,
                                              uint32_t totalLines, uint32_t outLineBytes,
                                              uint32_t targetWidth, uint32_t targetHeight,
                                              uint8_t orientation, uint8_t bandState,
                                              const uint8_t* lineBuffer);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* IMGFILT_IMGFILT_H_ */
