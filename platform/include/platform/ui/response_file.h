// The response file of an unattended run (SCANSUITE_UI=scripted, SCANSUITE_ANSWERS=FILE): the
// prompts the run will meet, in order, each with what a person would do. One prompt a line:
//
//   # a comment
//   dialog StartDlg: click 1
//   dialog SPRACHEDLG: select 1027 1; click 1
//   dialog CHOOSESCANNER: selectmany 1007 0,2; click 1
//   dialog PORT_SETUP: check 2003 1; click 1
//   dialog VersionDlg times=0: click 2        (times=0: as often as it comes; default 1)
//   dialog 6401: click 1                       (a numeric template id)
//   box "insert disk": OK                      (text part; answer OK, Cancel, Yes, No, ...)
//   box "KV-TWAIN Setup" "insert disk" times=2: OK   (caption, then text part)
//   modeless SEARCH_SCAN_PORT                  (a modeless dialog that must come)
//
// Dialog actions, run in order: click ID, select ID INDEX, selectmany ID I,J,..., selecttext ID
// "TEXT", check ID 0|1, type ID "TEXT", position ID N, page N, close. Words are separated by
// blanks; a quoted word may hold blanks and "" for a quote.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class ScriptedUi;

struct ResponseFileError {
  int line = 0;
  std::string message;
};

// Queues the file's prompts on `ui`. False, with the first error, when a line does not parse;
// nothing is queued then.
bool LoadResponseFile(ScriptedUi& ui, std::string_view text, ResponseFileError* error);

}  // namespace platform
