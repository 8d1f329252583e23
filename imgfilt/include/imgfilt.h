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

/*
 * Rotation.
 *
 * Angles are degrees; a positive angle turns the image clockwise (y grows downwards): source
 * pixel (x, y) goes to (x cos a - y sin a + offX, x sin a + y cos a + offY). An angle is brought
 * into [0, 360] and rounded to tenths of a degree; NaN and infinities count as 0. The quarter
 * turns map (x, y) of a W x H source to: 90 (H - 1 - y, x) in H x W; 180 (W - 1 - x, H - 1 - y);
 * 270 (y, W - 1 - x) in H x W; 0 and 360 (x, y).
 *
 * Size queries write the destination size of an arbitrary rotation (the bounding box of the
 * turned pixel centres) or of a cropped rotation (the largest upright rectangle whose every
 * pixel lies over source pixels). Return 0; 11 a null out-pointer; 9 a zero size (0 x 0 written);
 * 13 when the size does not fit 32 bits (0 x 0 written).
 */
IMGFILT_API uint8_t IMGFILT_CALL GetRotateSize(uint32_t width, uint32_t height,
                                               uint32_t* newWidth, uint32_t* newHeight,
                                               float angle);
IMGFILT_API uint8_t IMGFILT_CALL GetRotateSmallSize(uint32_t width, uint32_t height,
                                                    uint32_t* newWidth, uint32_t* newHeight,
                                                    float angle);

/*
 * Banded rotations. `lines` is this band's line count, `totalLines` the source height, the
 * destination holds the whole result (destLineBytes per line). Each function keeps the count of
 * source lines received for one image (gray and colour, quarter, arbitrary and cropped apart):
 * band state 0, 3 or 4 starts an image, 1 and 2 continue it with the geometry of its first band.
 * Orientation 1 means source and destination are both bottom-up; source lines beyond totalLines
 * are ignored.
 *
 * Rotation90: `angle` must be 0, 90, 180, 270 or 360. Each band's pixels are copied to their
 * places in the destination.
 * Rotation / RotationSmall: bilinear interpolation (double precision, truncated) of every
 * destination pixel whose inverse image lies within the source; the first band paints the whole
 * destination white (255) first. A pixel belongs to the band that delivers the lower of the two
 * source lines it interpolates (the only one when it lies on a line), so any split into bands
 * gives the result of one band. `lineBuffer` (one line of lineBytes bytes) carries the previous
 * band's last line: the function fills it at the end of every band with state 0 or 1 and reads it
 * in bands 1 and 2; states 3 and 4 do not use it. Quarter-turn angles are handed to Rotation90.
 * Source, destination and lineBuffer must not overlap.
 *
 * Returns 0; 11 null source, destination or a needed lineBuffer; 9 zero lineBytes, width, lines
 * or totalLines; 13 angle not a quarter turn (Rotation90), lineBytes or destLineBytes too small,
 * a band 1 or 2 without a first band or with other geometry; 10 no work memory.
 */
IMGFILT_API uint8_t IMGFILT_CALL Rotation90Gray(const uint8_t* source, uint8_t* destination,
                                                uint32_t lineBytes, uint32_t width,
                                                uint32_t lines, uint32_t totalLines,
                                                uint32_t destLineBytes, int32_t angle,
                                                uint8_t orientation, uint8_t bandState);
IMGFILT_API uint8_t IMGFILT_CALL Rotation90Color(const uint8_t* source, uint8_t* destination,
                                                 uint32_t lineBytes, uint32_t width,
                                                 uint32_t lines, uint32_t totalLines,
                                                 uint32_t destLineBytes, int32_t angle,
                                                 uint8_t orientation, uint8_t bandState);
IMGFILT_API uint8_t IMGFILT_CALL RotationGray(const uint8_t* source, uint8_t* destination,
                                              uint32_t lineBytes, uint32_t width, uint32_t lines,
                                              uint32_t totalLines, uint32_t destLineBytes,
                                              float angle, uint8_t orientation,
                                              uint8_t bandState, uint8_t* lineBuffer);
IMGFILT_API uint8_t IMGFILT_CALL RotationColor(const uint8_t* source, uint8_t* destination,
                                               uint32_t lineBytes, uint32_t width, uint32_t lines,
                                               uint32_t totalLines, uint32_t destLineBytes,
                                               float angle, uint8_t orientation,
                                               uint8_t bandState, uint8_t* lineBuffer);
IMGFILT_API uint8_t IMGFILT_CALL RotationSmallGray(const uint8_t* source, uint8_t* destination,
                                                   uint32_t lineBytes, uint32_t width,
                                                   uint32_t lines, uint32_t totalLines,
                                                   uint32_t destLineBytes, float angle,
                                                   uint8_t orientation, uint8_t bandState,
                                                   uint8_t* lineBuffer);
IMGFILT_API uint8_t IMGFILT_CALL RotationSmallColor(const uint8_t* source, uint8_t* destination,
                                                    uint32_t lineBytes, uint32_t width,
                                                    uint32_t lines, uint32_t totalLines,
                                                    uint32_t destLineBytes, float angle,
                                                    uint8_t orientation, uint8_t bandState,
                                                    uint8_t* lineBuffer);

/*
 * Band copiers: one band of a source image turned by a quarter turn into a whole destination.
 * sourceGeometry: low 16 bits width in pixels, high 16 bits source bytes per line;
 * destGeometry: low 16 bits destination width, high 16 bits destination bytes per line; `lines`
 * and `destHeight`: low 16 bits; `firstLine`: the band's first line in the source image; `angle`
 * 90, 180 or 270 (anything else copies unrotated). The source height is taken from the
 * destination (its width for 90, its height for 180). The DIB variants hold band and destination
 * bottom-up. Pixels that would land outside the destination are not written. Returns the band
 * lines copied: `lines`, or 0 for a null pointer or a bytes-per-line too small for its width.
 */
IMGFILT_API uint32_t IMGFILT_CALL RotateGrayBandImg(const uint8_t* band, uint8_t* destination,
                                                    uint32_t unused, uint32_t sourceGeometry,
                                                    uint32_t lines, uint32_t destGeometry,
                                                    uint32_t destHeight, uint32_t firstLine,
                                                    uint32_t angle);
IMGFILT_API uint32_t IMGFILT_CALL RotateGrayDIBBandImg(const uint8_t* band, uint8_t* destination,
                                                       uint32_t unused, uint32_t sourceGeometry,
                                                       uint32_t lines, uint32_t destGeometry,
                                                       uint32_t destHeight, uint32_t firstLine,
                                                       uint32_t angle);
IMGFILT_API uint32_t IMGFILT_CALL RotateBandImg(const uint8_t* band, uint8_t* destination,
                                                uint32_t unused, uint32_t sourceGeometry,
                                                uint32_t lines, uint32_t destGeometry,
                                                uint32_t destHeight, uint32_t firstLine,
                                                uint32_t angle);
IMGFILT_API uint32_t IMGFILT_CALL RotateDIBBandImg(const uint8_t* band, uint8_t* destination,
                                                   uint32_t unused, uint32_t sourceGeometry,
                                                   uint32_t lines, uint32_t destGeometry,
                                                   uint32_t destHeight, uint32_t firstLine,
                                                   uint32_t angle);

/*
 * Skew of a document brighter than its background (pixels at or above `threshold`), measured
 * from the empty corners of the region (null: the whole image; corners ordered and clipped to
 * the image). Returns the turn in degrees, in [0, 360), that RotationGray/Color needs to set the
 * document upright (0 when no corner gives a clean edge). RotateAngleColor looks at the first
 * byte of each pixel.
 */
IMGFILT_API double IMGFILT_CALL RotateAngleGray(const uint8_t* image, uint32_t lineBytes,
                                                uint32_t width, uint32_t height,
                                                uint8_t orientation, uint8_t threshold,
                                                ImageRect* region);
IMGFILT_API double IMGFILT_CALL RotateAngleColor(const uint8_t* image, uint32_t lineBytes,
                                                 uint32_t width, uint32_t height,
                                                 uint8_t orientation, uint8_t threshold,
                                                 ImageRect* region);

/*
 * Automatic analyses of preview scans. Inputs are colour (3 bytes a pixel) unless the name ends
 * in Gray. A `region` has its corners put in order and is clipped to the image (null: the whole
 * image); nothing outside the caller's raster is read.
 *
 * AutoCropColor: the document, brighter than a dark glass or lid, found from the edges it makes
 * against the surround. Writes its bounding rectangle (image coordinates, inclusive) into `crop`
 * and into `angle` the turn in degrees, in [0, 360), that RotationColor needs to set it upright
 * (0 when no side gives a reliable fit). Without a dark surround, a document or a valid image,
 * `crop` is the (clipped) region and `angle` 0. Either out-pointer may be null.
 */
IMGFILT_API void IMGFILT_CALL AutoCropColor(const uint8_t* image, uint32_t lineBytes,
                                            uint32_t width, uint32_t height, ImageRect* crop,
                                            float* angle, uint8_t orientation,
                                            ImageRect* region);

/* Scan type of the region: 0 line art, 1 gray photograph, 2 colour document (0 for bad input). */
enum {
  IMGFILT_TYPE_LINE_ART = 0,
  IMGFILT_TYPE_BILEVEL = 0, /* the same type, as the banded chain names it */
  IMGFILT_TYPE_GRAY = 1,
  IMGFILT_TYPE_COLOR = 2
};
IMGFILT_API uint8_t IMGFILT_CALL AutoTypeColor(const uint8_t* image, uint32_t lineBytes,
                                               uint32_t width, uint32_t height,
                                               ImageRect* region);

/*
 * Frames in the transparency unit's holders, scanned at `resolution` dots per inch over at least
 * 5 x 7 inches from the holder's corner: slides (up to six, positive) and film strips (up to two
 * strip windows, negative). Writes one rectangle per frame found, in the order of the holder's
 * positions, into `frames` (room for 6, or 2), and returns their number; -2 for bad geometry
 * (null pointers, resolution below 1, lineBytes below 3 x width, less than 5 x 7 inches);
 * -1 (slides only) when the holder's dividers are not dark, as with an empty unit.
 */
IMGFILT_API int32_t IMGFILT_CALL TPOPositiveAutoRegion(const uint8_t* image, uint32_t lineBytes,
                                                       uint32_t width, uint32_t height,
                                                       uint32_t resolution, ImageRect* frames,
                                                       uint8_t orientation);
IMGFILT_API int32_t IMGFILT_CALL TPONegativeAutoRegion(const uint8_t* image, uint32_t lineBytes,
                                                       uint32_t width, uint32_t height,
                                                       uint32_t resolution, ImageRect* frames,
                                                       uint8_t orientation);

/*
 * Hides the steps that the joins between the image sensor's segments leave in each line. The
 * source is copied to the destination (lineBytes x lines bytes; they may be the same buffer), then
 * steps at the joins that lie in flat image are spread over the eight pixels around the join;
 * image edges are kept. `windowLeft` and `windowWidth` are the scan window in the sensor's
 * 300-dpi grid. Returns 0; 11 null pointer.
 */
IMGFILT_API uint8_t IMGFILT_CALL EraseImageShiftGray(const uint8_t* source, uint8_t* destination,
                                                     uint32_t lineBytes, uint32_t width,
                                                     uint32_t lines, uint32_t windowLeft,
                                                     uint32_t windowWidth, uint32_t resolution);
IMGFILT_API uint8_t IMGFILT_CALL EraseImageShiftColor(const uint8_t* source, uint8_t* destination,
                                                      uint32_t lineBytes, uint32_t width,
                                                      uint32_t lines, uint32_t windowLeft,
                                                      uint32_t windowWidth, uint32_t resolution);

/* ---------------------------------------------------------------------------------------------
 * Point operations: bilevel conversion, mirror, invert, hue/saturation. They need no neighbouring
 * lines and take no band state. With `orientation` 1 source and destination are both bottom-up,
 * so line order is kept. Bilevel rasters hold 1 bit per pixel, most significant bit leftmost,
 * 1 = light. Checks, in order: 11 a null pointer; 9 a zero size; 13 a line too short for its
 * width (source width bytes, destination ceil(width / 8) bytes).
 * ------------------------------------------------------------------------------------------- */

/* Bit = (value >= threshold). A line's last byte is written whole (bits beyond the width are 0);
 * destination bytes beyond ceil(width / 8) are not written. The destination may be the source
 * when destLineBytes <= sourceLineBytes. */
IMGFILT_API uint8_t IMGFILT_CALL GrayToBW(const uint8_t* source, uint8_t* destination,
                                          uint32_t sourceLineBytes, uint32_t width,
                                          uint32_t lines, uint32_t destLineBytes,
                                          uint8_t threshold, uint8_t orientation);

/* Ordered dither with one of five 8 x 8 matrices (pattern 1..4; any other value is pattern 0).
 * The matrix row comes from one process-wide line counter that advances after every converted
 * line, in image order, and is never reset: the dither phase runs on across calls and images. */
IMGFILT_API uint8_t IMGFILT_CALL GrayToHalftone(const uint8_t* source, uint8_t* destination,
                                                uint32_t sourceLineBytes, uint32_t width,
                                                uint32_t lines, uint32_t destLineBytes,
                                                uint8_t pattern, uint8_t orientation);

/* Left-right mirror of every line; source and destination may be the same buffer. MirrorBW
 * keeps the destination's bits beyond the width. */
IMGFILT_API uint8_t IMGFILT_CALL MirrorBW(const uint8_t* source, uint8_t* destination,
                                          uint32_t lineBytes, uint32_t width, uint32_t lines,
                                          uint8_t orientation);
IMGFILT_API uint8_t IMGFILT_CALL MirrorGray(const uint8_t* source, uint8_t* destination,
                                            uint32_t lineBytes, uint32_t width, uint32_t lines,
                                            uint8_t orientation);
IMGFILT_API uint8_t IMGFILT_CALL MirrorColor(const uint8_t* source, uint8_t* destination,
                                             uint32_t lineBytes, uint32_t width, uint32_t lines,
                                             uint8_t orientation);

/* Complements every byte of every line, padding included; any pixel format. */
IMGFILT_API uint8_t IMGFILT_CALL InvertImg(const uint8_t* source, uint8_t* destination,
                                           uint32_t lineBytes, uint32_t lines,
                                           uint8_t orientation);

/* Turns the hue by `hue` (a fraction of a full turn) and scales saturation and lightness
 * (-1..1, 0 = unchanged; lightness 1 is white, -1 black) of colour pixels. channelOrder 1: bytes
 * B, G, R; otherwise R, G, B. Lines are walked in memory order. A value that is not a finite
 * number counts as 0. Returns 0, 11, 9 or 13 as above. */
IMGFILT_API uint8_t IMGFILT_CALL HueSaturation(const uint8_t* source, uint8_t* destination,
                                               uint32_t lineBytes, uint32_t width, uint32_t lines,
                                               float hue, float saturation, float lightness,
                                               uint8_t channelOrder);

/* ---------------------------------------------------------------------------------------------
 * Descreening, make clear and screen detection.
 * ------------------------------------------------------------------------------------------- */

/*
 * Removes a halftone screen. The window is five lines high (k = 2): `lineBuffer` holds four lines
 * of lineBytes bytes, a first band writes lines - 2 lines, later bands `lines` lines, and the
 * image's last two lines are consumed. Filtered lines replace the raw ones above the centre, so
 * the vertical direction is recursive. One of thirteen kernels is chosen from the smaller of the
 * two resolutions (dots per inch) and the screen ruling (lines per inch). Checks as for blur; the
 * region of band state 4 must be at least 3 x 3 (else 8). A kernel wider than the image writes
 * nothing and the call returns 0.
 */
IMGFILT_API uint8_t IMGFILT_CALL DescreenGray(const uint8_t* source, uint8_t* destination,
                                              uint32_t lineBytes, uint32_t width, uint32_t lines,
                                              uint8_t orientation, uint8_t screenRuling,
                                              uint16_t xResolution, uint16_t yResolution,
                                              uint8_t bandState, uint8_t* lineBuffer,
                                              ImageRect* region);
IMGFILT_API uint8_t IMGFILT_CALL DescreenColor(const uint8_t* source, uint8_t* destination,
                                               uint32_t lineBytes, uint32_t width, uint32_t lines,
                                               uint8_t orientation, uint8_t screenRuling,
                                               uint16_t xResolution, uint16_t yResolution,
                                               uint8_t bandState, uint8_t* lineBuffer,
                                               ImageRect* region);

/* Sharpening with one of twelve preset kernels chosen by `level` (129..255 select the kernel of
 * level - 128 at half strength). Window, band protocol and checks as for sharpen. */
IMGFILT_API uint8_t IMGFILT_CALL MakeClearGray(const uint8_t* source, uint8_t* destination,
                                               uint32_t lineBytes, uint32_t width, uint32_t lines,
                                               uint8_t orientation, uint8_t level,
                                               uint8_t bandState, uint8_t* lineBuffer,
                                               ImageRect* region);
IMGFILT_API uint8_t IMGFILT_CALL MakeClearColor(const uint8_t* source, uint8_t* destination,
                                                uint32_t lineBytes, uint32_t width, uint32_t lines,
                                                uint8_t orientation, uint8_t level,
                                                uint8_t bandState, uint8_t* lineBuffer,
                                                ImageRect* region);

/*
 * Measures the screen ruling of a colour scan on the 128 x 128 block whose top-left corner is the
 * region's smaller x and y ((0, 0) for a null region) and writes 0 (no screen), 80, 100, 133, 150
 * or 175 to *result. `width` and `height` bound the block when both are non-zero: a block that
 * does not fit gives 0. With either of them 0 the caller guarantees the block. Null image or
 * result: nothing is done.
 */
IMGFILT_API void IMGFILT_CALL DetectLpiColor(const uint8_t* image, uint32_t lineBytes,
                                             uint32_t width, uint32_t height, uint8_t* result,
                                             const ImageRect* region);

/*
 * Finds, inside `region` (null: the whole image; corners ordered, clipped to the image), a block
 * free of edges and rich in fine texture for DetectLpiColor, and writes (left, top, left + 128,
 * top + 128) to *result. When every window holds an edge the block starts at (region left +
 * region width, region top + region height), outside the region. Null image or result, or a
 * zero size: nothing is done.
 */
IMGFILT_API void IMGFILT_CALL AutoDescreenColor(const uint8_t* image, uint32_t lineBytes,
                                                uint32_t width, uint32_t height,
                                                ImageRect* result, const ImageRect* region);

/* ---------------------------------------------------------------------------------------------
 * The banded chain.
 * ------------------------------------------------------------------------------------------- */

/* Operation bits of ProcessParam.operations. */
enum {
  IMGFILT_OP_INVERT = 0x0001,
  IMGFILT_OP_MIRROR = 0x0002,
  IMGFILT_OP_BLUR = 0x0004,
  IMGFILT_OP_SHARPEN = 0x0008,
  IMGFILT_OP_DESCREEN = 0x0010,
  IMGFILT_OP_SCALING = 0x0020,
  IMGFILT_OP_HALFTONE = 0x0040,
  IMGFILT_OP_THRESHOLD = 0x0080,
  IMGFILT_OP_MAKE_CLEAR = 0x0100,
  IMGFILT_OP_UNSHARP = 0x0200,
  IMGFILT_OP_MEDIAN = 0x0400
};

/* Image types of ProcessParam.imageType: IMGFILT_TYPE_BILEVEL, IMGFILT_TYPE_GRAY,
 * IMGFILT_TYPE_COLOR (declared with the scan types above, whose values they share). */

/* Result of DoImgfiltess on success. */
enum { IMGFILT_CHAIN_DONE = 1 };

/* The record DoImgfiltess reads and updates; the caller keeps it for all bands of an image. */
typedef struct ProcessParam {
  uint32_t lineBytes;    /* bytes per line of the source band */
  uint32_t width;        /* pixels per line of the source */
  uint32_t lines;        /* lines in this band */
  uint32_t totalLines;   /* source lines of the image, extra lines included; lowered on the
                            first band by GetExtraLineNum(operations) */
  uint32_t outLineBytes; /* out: bytes per line of the result */
  uint32_t outWidth;     /* out: pixels per line of the result */
  uint32_t outLines;     /* out: result lines this call produced */
  uint32_t targetWidth;  /* scaling: pixels per line wanted */
  uint32_t targetHeight; /* scaling: lines wanted for the whole image */
  uint8_t imageType;     /* IMGFILT_TYPE_... */
  uint8_t orientation;   /* 1 bottom-up */
  uint16_t operations;   /* IMGFILT_OP_... bits */
  uint8_t bandState;     /* 0 first band, 1 later; rewritten to 3 or 2 on the image's last band */
  uint8_t threshold;
  uint8_t halftonePattern;
  uint8_t blurLevel;
  uint8_t sharpenLevel;
  uint8_t unsharpLevel;
  uint8_t makeClearLevel;
  uint8_t screenRuling;  /* lines per inch, for descreening */
  uint16_t xResolution;  /* dots per inch; descreening uses the smaller of the two */
  uint16_t yResolution;
} ProcessParam;

/* Extra source lines the chain of `operations` consumes at the bottom of the image: 1 for each
 * of blur, sharpen, make clear, unsharp mask and median, 2 for descreen. */
IMGFILT_API uint32_t IMGFILT_CALL GetExtraLineNum(uint32_t operations);

/*
 * Runs the chain of `param->operations` on one band, in the fixed order invert, mirror, median,
 * descreen, blur, make clear, sharpen, unsharp mask, scaling, threshold, halftone (bilevel images:
 * invert and mirror only; colour images: no bilevel conversion). The source band is working
 * storage and may be overwritten. With orientation 1, `source` and `destination` point at the
 * last byte of the band and of the destination area. The destination receives outLines lines of
 * outLineBytes bytes. One image at a time per process, bands in image order.
 *
 * Returns 1 on success; 0 when operations is 0 (nothing done); 11 a null pointer; 9 a zero
 * lineBytes, width or lines, or with scaling a zero targetWidth or targetHeight; 13 an image
 * type outside 0..2 with orientation 1, a bandState above 3, a line too short for its width, a
 * first band of no more lines than the chain consumes, or a later band without a first band or
 * with another geometry or operation set than the first band's; 10 when the work memory cannot
 * be had. On any code but 1 nothing is written and the record is unchanged (0: out fields set).
 */
IMGFILT_API uint32_t IMGFILT_CALL DoImgfiltess(uint8_t* source, uint8_t* destination,
                                               ProcessParam* param);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* IMGFILT_IMGFILT_H_ */
