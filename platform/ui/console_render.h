// How the console backend prints prompts and reads a person's answers to them.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/dialog_driver.h"
#include "platform/ui/ui.h"

namespace platform {

// A control's text as shown: mnemonic ampersands removed ("&&" stays one "&").
std::string PlainText(const std::string& text);

std::string RenderMessageBox(const MessageBoxRequest& request);
// The answer a typed line names among `buttons` (number, name or first letter); `fallback` for
// an empty line; 0 when it names none.
int ParseAnswer(const std::string& line, const std::vector<int>& buttons, int fallback);

std::string RenderDialog(DialogDriver& driver);
// Carries out one typed command on the dialog; false when it is not a command.
bool ExecuteDialogCommand(DialogDriver& driver, const std::string& command);
extern const char* const kDialogHelp;

// "caption [#####.....]  45%" for a progress bar of `width` cells.
std::string RenderBar(const std::string& caption, int low, int high, int position, int width);
int PercentOf(int low, int high, int position);

}  // namespace platform
