// The copy run: every item of the copy list copied in order under the copy dialog 130, with the
// dialog's Cancel button, the closing of a running program that holds a destination, and the
// retry question.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "copy_list.h"
#include "platform/ui/ui_constants.h"

namespace hbasetup {

struct SetupContext;
class UninstallRecord;

inline constexpr int kDlgCopyFiles = 130;
inline constexpr int kCtlProgress = 1003;
inline constexpr int kCtlTo = 1004;
inline constexpr int kCtlCancel = 1005;
inline constexpr int kCtlFrom = 1006;

struct CopyOutcome {
  size_t copied = 0;
  size_t skipped = 0;        // given up after the retry question was answered No
  bool stopped = false;      // Cancel, then Yes: the remaining items were left out
  platform::Hwnd dialog = 0; // the copy dialog, for the caller to close; 0 for an empty list
};

// The name of the program whose window may hold `destination`: the base name of an ".EXE"
// destination (any case), between its last '\' or ':' and the extension; empty otherwise.
std::string ProgramNameOf(std::string_view destination);

CopyOutcome RunCopy(const SetupContext& context, const std::vector<CopyItem>& list,
                    bool showDialog, platform::Hwnd owner, UninstallRecord& record);

}  // namespace hbasetup
