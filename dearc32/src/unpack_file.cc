#include "unpack_file.h"

#include <memory>
#include <optional>
#include <string>

#include "codec/packed_member.h"
#include "dearc32/dearc32.h"
#include "display_path.h"
#include "file_streams.h"

namespace dearc32 {
namespace {

// Beside the destination while it is being expanded.
constexpr const char* kPartialSuffix = ".~unpack";

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
  const std::string partial = std::string(request.destination) + kPartialSuffix;
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
