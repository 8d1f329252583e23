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

/* Calls every export with a null source; returns how many answered IMGFILT_NULL_POINTER. */
int imgfilt_c_null_source_answers(void) {
  static const SettingFilter setting[] = {BlurGray,    BlurColor,       SharpenGray,
                                          SharpenColor, UnsharpmaskGray, UnsharpmaskColor};
  static const PlainFilter plain[] = {MedianGray, MedianColor};
  static const Scaler scalers[] = {ScalingGray, ScalingColor};
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
  return answered;
}
