// Helpers shared by the registry tests: a store in a temporary folder, and file contents.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "../testing/temp_dir.h"
#include "platform/faults/faults.h"
#include "platform/system/errors.h"
#include "platform/registry/registry.h"

namespace platform::regtest {

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

class RegistryTest : public ::testing::Test {
 protected:
  std::filesystem::path file() const { return folder_.path() / "registry.db"; }
  Registry& reg() {
    if (!registry_) registry_ = std::make_unique<Registry>(file(), &faults_);
    return *registry_;
  }
  void Reopen() { registry_ = std::make_unique<Registry>(file(), &faults_); }
  RegKey Create(std::string_view path) {
    RegKey key = 0;
    EXPECT_EQ(reg().CreateKey(kHkeyLocalMachine, path, &key), kErrorSuccess) << path;
    return key;
  }

  testing::TempDir folder_;
  Faults faults_;  // declared before the registry, which uses it to the end
  std::unique_ptr<Registry> registry_;
};

}  // namespace platform::regtest
