/* Compiled as C: the public header must stay valid C, with the prototypes the exports have. */
#include <stddef.h>

#include "imgfilt.h"

typedef uint8_t(IMGFILT_CALL* SettingFilter)(const uint8_t*, uint8_t*, uint32_t, uint32_t,
                                             uint32_t, uint8_t, uint8_t, uint8_t, uint8_t*,
                                             ImageRect*);
typedef uint8_t(IMGFILT_CALL* PlainFilter)(const uint8_t*, uint8_t*, uint32_t, uint32_t,
                                           uint32_t, uint8_t, uint8_t, uint8_t*, ImageRect*);
typedef uint8_t(IMGFILT_CALL* Scaler)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t,
                                      uint32_t, uint32_t, uint32_t, uint32_t, uint8_t, uint8_t,
                                      const uint8_t*);

typedef uint8_t(IMGFILT_CALL* Bilevel)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t,
                                       uint32_t, uint8_t, uint8_t);
typedef uint8_t(IMGFILT_CALL* Mirror)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t, uint8_t);
typedef uint8_t(IMGFILT_CALL* Descreen)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t,
                                        uint8_t, uint8_t, uint16_t, uint16_t, uint8_t, uint8_t*,
                                        ImageRect*);

/* Calls every export with a null source; returns how many answered IMGFILT_NULL_POINTER. */
int imgfiltCNullSourceAnswers(void) {
  static const SettingFilter setting[] = {BlurGray,    BlurColor,       SharpenGray,
                                          SharpenColor, UnsharpmaskGray, UnsharpmaskColor};
  static const PlainFilter plain[] = {MedianGray, MedianColor};
  static const Scaler scalers[] = {ScalingGray, ScalingColor};
  static const SettingFilter clear[] = {MakeClearGray, MakeClearColor};
  static const Bilevel bilevel[] = {GrayToBW, GrayToHalftone};
  static const Mirror mirror[] = {MirrorBW, MirrorGray, MirrorColor};
  static const Descreen descreen[] = {DescreenGray, DescreenColor};
  ProcessParam param = {0};
  uint8_t line[8] = {0};
  int answered = 0;
  size_t i;
  for (i = 0; i < sizeof setting / sizeof setting[0]; ++i) {
    answered += setting[i](NULL, line, 8, 1, 1, 0, 1, IMGFILT_BAND_NONE, NULL, NULL) == IMGFILT_NULL_POINTER;
  }
  for (i = 0; i < sizeof plain / sizeof plain[0]; ++i) {
    answered += plain[i](NULL, line, 8, 1, 1, 0, IMGFILT_BAND_NONE, NULL, NULL) == IMGFILT_NULL_POINTER;
  }
  for (i = 0; i < sizeof scalers / sizeof scalers[0]; ++i) {
    answered += scalers[i](NULL, line, 8, 1, 1, 1, 8, 2, 2, 0, IMGFILT_BAND_ONLY, NULL) == IMGFILT_NULL_POINTER;
  }
  for (i = 0; i < 2; ++i) {
    answered += clear[i](NULL, line, 8, 1, 1, 0, 1, IMGFILT_BAND_NONE, NULL, NULL) == IMGFILT_NULL_POINTER;
    answered += bilevel[i](NULL, line, 8, 1, 1, 8, 1, 0) == IMGFILT_NULL_POINTER;
    answered += descreen[i](NULL, line, 8, 1, 1, 0, 150, 300, 300, IMGFILT_BAND_NONE, NULL, NULL) == IMGFILT_NULL_POINTER;
  }
  for (i = 0; i < 3; ++i) answered += mirror[i](NULL, line, 8, 1, 1, 0) == IMGFILT_NULL_POINTER;
  answered += InvertImg(NULL, line, 8, 1, 0) == IMGFILT_NULL_POINTER;
  answered += HueSaturation(NULL, line, 8, 1, 1, 0.0f, 0.0f, 0.0f, 0) == IMGFILT_NULL_POINTER;
  param.operations = IMGFILT_OP_INVERT;
  param.lineBytes = param.width = param.lines = param.totalLines = 1;
  param.imageType = IMGFILT_TYPE_GRAY;
  answered += DoImgfiltess(NULL, line, &param) == IMGFILT_NULL_POINTER;
  answered += GetExtraLineNum(IMGFILT_OP_DESCREEN | IMGFILT_OP_BLUR) == 3;
  DetectLpiColor(NULL, 0, 0, 0, NULL, NULL);
  AutoDescreenColor(NULL, 0, 0, 0, NULL, NULL);
  return answered;
}
