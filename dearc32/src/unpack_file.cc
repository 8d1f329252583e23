#include "unpack_file.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "codec/packed_member.h"
#include "dearc32/dearc32.h"
#include "display_path.h"
#include "file_streams.h"

namespace dearc32 {
namespace {

// Beside the destination while it is being expanded: its name with this suffix, the name cut
// first where the two would pass the longest file name or path there is room for. With no room
// for the suffix, the last character of what fits becomes '~' (or '#' where it was '~').
constexpr std::string_view kPartialSuffix = ".~unpack";
constexpr size_t kLongestName = 255;

std::string PartialName(std::string_view destination) {
  const size_t slash = destination.find_last_of("\\/:");
  const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::string_view name = destination.substr(nameStart);
  const size_t room = std::min(kLongestName, kMaxPath - std::min(kMaxPath - 1, nameStart));
  std::string partial(destination.substr(0, nameStart));
  if (room > kPartialSuffix.size()) {
    partial += name.substr(0, room - kPartialSuffix.size());
    partial += kPartialSuffix;
    return partial;
  }
  std::string cut(name.substr(0, room));
  if (cut.empty()) cut = "~";
  cut.back() = cut.back() == '~' ? '#' : '~';
  return partial + cut;
}

// Sends progress to the caller's bar as a percentage; a null bar gets nothing.
class ProgressBar final : public ProgressObserver {
 public:
  ProgressBar(platform::UserInterface& ui, platform::Hwnd bar, uint64_t total)
      : ui_(ui), bar_(bar), total_(total) {}

  void Start() {
    Send(platform::PBM_SETRANGE, 0, platform::MakeLParam(0, 100));
    Send(platform::PBM_SETPOS, 0, 0);
    Send(platform::PBM_SETSTEP, 1, 0);
  }
  void Produced(uint64_t count) override {
    // 64-bit arithmetic: count * 100 overflows 32 bits past 42 MB. A final match may run past
    // the total, which still shows as 100.
    const uint64_t percent = count >= total_ ? 100 : count * 100 / total_;
    Send(platform::PBM_SETPOS, static_cast<platform::WParam>(percent), 0);
  }

 private:
  void Send(uint32_t message, platform::WParam w, platform::LParam l) {
    if (bar_ != 0) ui_.SendMessage(bar_, message, w, l);
  }
  platform::UserInterface& ui_;
  platform::Hwnd bar_;
  uint64_t total_;
};

void Notify(platform::UserInterface& ui, platform::Hwnd window, uint32_t message,
            std::string_view path) {
  if (window == 0) return;
  const std::string shown = ShortenForDisplay(path);
  ui.SendMessage(window, message, 0, reinterpret_cast<platform::LParam>(shown.c_str()));
}

// Two spellings of one file resolve to the same host path; creating the destination would
// then destroy the source before it is read.
bool SameFile(const platform::FileSystem& files, std::string_view a, std::string_view b) {
  const auto pa = files.Resolve(a);
  const auto pb = files.Resolve(b);
  return pa && pb && pa->lexically_normal() == pb->lexically_normal();
}

uint16_t ResultOf(ExpandStatus status) {
  switch (status) {
    case ExpandStatus::kGood: return kUnpackDone;
    case ExpandStatus::kWriteFailed: return kUnpackNoDestination;
    case ExpandStatus::kCrcMismatch:
    case ExpandStatus::kTruncated: break;
  }
  return kUnpackCheckFailed;
}

}  // namespace

uint16_t UnpackFile(platform::FileSystem& files, platform::UserInterface& ui,
                    const UnpackRequest& request) {
  // A path that does not fit is refused rather than cut, which would name another file.
  if (request.source.empty() || request.source.size() > kMaxPath) return kUnpackNoSource;
  auto source = platform::File::Open(files, request.source, platform::File::Mode::kRead);
  if (!source) return kUnpackNoSource;
  if (request.destination.empty() || request.destination.size() > kMaxPath ||
      SameFile(files, request.source, request.destination)) {
    return kUnpackNoDestination;
  }
  // The file is expanded under a name of its own beside the destination and put in its place
  // only when its check value is right, so a damaged or cut packed file never destroys the file
  // it was meant to replace. A read-only destination could not be replaced: refused at once.
  const uint32_t existing = files.GetAttributes(request.destination);
  if (existing != platform::kInvalidAttributes &&
      (existing & (platform::kAttrReadOnly | platform::kAttrDirectory))) {
    return kUnpackNoDestination;
  }
  const std::string partial = PartialName(request.destination);
  auto destination = platform::File::Open(files, partial, platform::File::Mode::kWrite);
  if (!destination) return kUnpackNoDestination;
  const auto discard = [&](uint16_t result) {
    destination.reset();
    files.DeleteFile(partial);
    return result;
  };

  FileSource reader(*source);
  InputBuffer input(reader);
  const std::optional<MemberInfo> member = ReadMemberInfo(reader, input);
  if (!member) return discard(kUnpackBadHeader);
  Notify(ui, request.notifyWindow, kNotifySource, request.source);
  Notify(ui, request.notifyWindow, kNotifyDestination, request.destination);

  FileSink writer(*destination);
  OutputBuffer output(writer);
  ProgressBar progress(ui, request.progressBar, member->header.expandedSize);
  if (member->header.expandedSize > 0) progress.Start();
  const ExpandOutcome outcome = ExpandMember(member->header, input, output, &progress);
  source.reset();
  const uint16_t result = ResultOf(outcome.status);
  if (result != kUnpackDone) return discard(result);
  if (!destination->Flush()) return discard(kUnpackNoDestination);
  destination.reset();
  // Stamped as the original before it takes the destination's place, date and attributes with it.
  const auto created = platform::FileTimeFromDos(member->header.dosDate, member->header.dosTime);
  if (files.SetCreationTime(partial, created)) files.SetAttributes(partial, member->header.attributes);
  if (!files.ReplaceFile(partial, request.destination)) {
    files.SetAttributes(partial, platform::kAttrNormal);
    return discard(kUnpackNoDestination);
  }
  return result;
}

}  // namespace dearc32
