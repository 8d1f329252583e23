// A test host with helpers to make packed files and to watch the windows Unpack talks to.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dearc32/dearc32.h"
#include "platform/files/files.h"
#include "platform/ui/ui.h"
#include "platform/files/winpath.h"
#include "test_host.h"
#include "tools/packer.h"

namespace dearc32 {

struct SentMessage {
  uint32_t message;
  platform::WParam wParam;
  platform::LParam lParam;
  std::string text;  // the string lParam pointed at, for the two notifications
};

class UnpackTest : public ::testing::Test {
 protected:
  platform::Host& host() { return host_.host(); }
  platform::FileSystem& files() { return host_.host().files(); }
  platform::UserInterface& ui() { return host_.host().ui(); }

  void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    host_.WriteFile(path, std::string(bytes.begin(), bytes.end()));
  }
  std::vector<uint8_t> ReadBytes(const std::string& path) {
    const auto content = files().ReadFile(path);
    return content ? std::vector<uint8_t>(content->begin(), content->end())
                   : std::vector<uint8_t>();
  }
  // Packs `data` from a file of that name into `packed`.
  void Pack(const std::vector<uint8_t>& data, const std::string& packed,
            const std::string& original = "C:\\SRC\\DATA.BIN") {
    WriteBytes(original, data);
    const platform::SplitPath where = platform::SplitWindowsPath(packed);
    files().CreateDirectories(where.drive + where.directory);
    ASSERT_EQ(PackFile(files(), {original, packed, {}}), PackResult::kDone);
  }
  // A window that records the messages of the caller's range sent to it.
  platform::Hwnd RecordingWindow(std::vector<SentMessage>& log) {
    return host_.host().ui().CreateWindow("Recorder", "", 0, 0,
                             [&log](platform::Hwnd, uint32_t m, platform::WParam w,
                                    platform::LParam l) {
                               if (m < platform::WM_USER) return platform::LResult{0};
                               SentMessage sent{m, w, l, {}};
                               if (m == kNotifySource || m == kNotifyDestination) {
                                 sent.text = reinterpret_cast<const char*>(l);
                               }
                               log.push_back(sent);
                               return platform::LResult{0};
                             });
  }

  platform::testing::TestHost host_;
};

}  // namespace dearc32
