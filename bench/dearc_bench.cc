// Expansion throughput in MB/s of output, on 64 MB of mixed text and binary:
//   Lh1Archive/lha      the system's `lha` expanding the data from an -lh1- archive to a file
//   Unpack/file         our `Unpack` expanding the same stream from a packed file to a file
//   Decoder/memory      the decoder alone, memory to nowhere
// The -lh1- method is the same adaptive-Huffman LZ stream with the same parameters, so both
// tools decode identical bits; the archive is written here around our encoder's stream, and
// `lha` checking its own CRC-16 on it shows the stream is the standard one. Unpack/file reports
// `vs_lha`, its throughput over lha's in this run.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "codec/crc32.h"
#include "codec/lzhuf_decoder.h"
#include "codec/lzhuf_encoder.h"
#include "codec/memory_streams.h"
#include "codec/packed_header.h"
#include "dearc32/dearc32.h"
#include "platform/host/host.h"
#include "platform/ui/ui.h"
#include "test_host.h"
#include "testing/sample_data.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kDataSize = 64 << 20;

void Append16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Append32(std::vector<uint8_t>& v, uint32_t x) {
  Append16(v, static_cast<uint16_t>(x));
  Append16(v, static_cast<uint16_t>(x >> 16));
}

// The 16-bit check of the -lh1- container (reflected 0xA001, preset 0).
uint16_t Crc16(const std::vector<uint8_t>& data) {
  uint16_t crc = 0;
  for (uint8_t b : data) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

// One member in a level-0 archive header, then the end mark.
std::vector<uint8_t> Lh1Archive(const std::vector<uint8_t>& data,
                                const std::vector<uint8_t>& stream, const std::string& name) {
  std::vector<uint8_t> h = {0, 0, '-', 'l', 'h', '1', '-'};
  Append32(h, static_cast<uint32_t>(stream.size()));
  Append32(h, static_cast<uint32_t>(data.size()));
  Append16(h, 0x6000);                    // 12:00:00
  Append16(h, (18 << 9) | (7 << 5) | 14);  // 1998-07-14
  h.push_back(0x20);                      // archive attribute
  h.push_back(0);                         // header level
  h.push_back(static_cast<uint8_t>(name.size()));
  h.insert(h.end(), name.begin(), name.end());
  Append16(h, Crc16(data));
  h[0] = static_cast<uint8_t>(h.size() - 2);
  uint8_t sum = 0;
  for (size_t i = 2; i < h.size(); ++i) sum = static_cast<uint8_t>(sum + h[i]);
  h[1] = sum;
  h.insert(h.end(), stream.begin(), stream.end());
  h.push_back(0);
  return h;
}

std::vector<uint8_t> PackedFile(const std::vector<uint8_t>& data,
                                const std::vector<uint8_t>& stream) {
  dearc32::PackedHeader header;
  header.signature = dearc32::kPackerSignature;
  header.expandedSize = static_cast<uint32_t>(data.size());
  header.crc = dearc32::ComputeCrc32(data.data(), data.size());
  const auto bytes = dearc32::SerializeHeader(header);
  std::vector<uint8_t> file(bytes.begin(), bytes.end());
  const std::string line = *dearc32::MakeNameLine("MIXED.BIN");
  file.insert(file.end(), line.begin(), line.end());
  file.insert(file.end(), stream.begin(), stream.end());
  return file;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The data, its stream and both containers on disk, made once.
struct Fixture {
  Fixture() : dir(fs::temp_directory_path() / ("dearc-bench-" + std::to_string(getpid()))) {
    fs::create_directories(dir / "root");
    fs::create_directories(dir / "lha-out");
    data = dearc32::testing::SampleMixed(kDataSize);
    stream = dearc32::EncodeLzhuf(data);
    WriteFile(dir / "mixed.pak", PackedFile(data, stream));
    WriteFile(dir / "mixed.lzh", Lh1Archive(data, stream, "mixed.bin"));
  }
  ~Fixture() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path dir;
  std::vector<uint8_t> data;
  std::vector<uint8_t> stream;
  platform::testing::TestHost host{{.virtualClock = false, .hardware = platform::NoHardware()}};
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

// Wall time per expansion of the lha run, for the ratio the Unpack run reports.
double lhaSeconds = 0;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void BM_LhaExpand(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string command = "lha xqfw='" + (f.dir / "lha-out").string() + "' '" +
                              (f.dir / "mixed.lzh").string() + "' >/dev/null 2>&1";
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("lha failed (is the lhasa package installed?)");
      return;
    }
  }
  const double seconds = Seconds(start) / static_cast<double>(state.iterations());
  if (ReadFile(f.dir / "lha-out" / "mixed.bin") != f.data) {
    state.SkipWithError("lha expanded something else");
    return;
  }
  lhaSeconds = seconds;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kDataSize));
}

void BM_UnpackFile(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string packed = (f.dir / "mixed.pak").string();
  const std::string out = (f.dir / "MIXED.BIN").string();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (Unpack(packed.c_str(), out.c_str(), 0, 0) != dearc32::kUnpackDone) {
      state.SkipWithError("Unpack failed");
      return;
    }
  }
  const double seconds = Seconds(start) / static_cast<double>(state.iterations());
  if (lhaSeconds > 0) state.counters["vs_lha"] = lhaSeconds / seconds;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kDataSize));
}

void BM_DecoderMemory(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    dearc32::MemorySource source(f.stream);
    dearc32::InputBuffer input(source);
    dearc32::BitReader bits(input);
    dearc32::DiscardSink sink;
    dearc32::OutputBuffer out(sink);
    auto decoder = std::make_unique<dearc32::LzhufDecoder>();
    decoder->Decode(bits, out, kDataSize, nullptr);
    out.Flush();
    benchmark::DoNotOptimize(out.crc());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kDataSize));
}

}  // namespace

BENCHMARK(BM_LhaExpand)->Name("Lh1Archive/lha")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_UnpackFile)->Name("Unpack/file")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_DecoderMemory)->Name("Decoder/memory")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_MAIN();
