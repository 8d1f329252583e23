// Interleaving of three rows of `pixels` bytes into `out` (3 x pixels bytes): first, second,
// third, first, ... `out` must not overlap the rows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scancore {

void Interleave(const uint8_t* first, const uint8_t* second, const uint8_t* third, uint8_t* out,
                size_t pixels);

}  // namespace scancore
