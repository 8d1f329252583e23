// Deterministic inputs for the tests and the benchmark: prose-like text, structured binary
// records, incompressible noise, long runs, and a mix of text and binary like an installation
// disk's contents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dearc32::testing {

std::vector<uint8_t> SampleText(size_t size, uint32_t seed = 1);
std::vector<uint8_t> SampleBinary(size_t size, uint32_t seed = 2);
std::vector<uint8_t> SampleNoise(size_t size, uint32_t seed = 3);
// A few distinct bytes in runs of up to several kilobytes.
std::vector<uint8_t> SampleRuns(size_t size, uint32_t seed = 4);
// Alternating blocks of text and binary of varying length.
std::vector<uint8_t> SampleMixed(size_t size, uint32_t seed = 5);

}  // namespace dearc32::testing
