// One scan (or a batch of film frames) from an opened scanner into files, band by band.
#pragma once

#include <ostream>

#include "platform/host/host.h"
#include "scan_options.h"
#include "scancore/scan_core.h"

// Scans as the options say; returns the exit status, the reason written to `err`.
int RunScanJob(const ScanOptions& options, CScanCore& core, CHWScannerInfo& info,
               platform::Host& host, std::ostream& err);
// The ranges and defaults of the chosen scanner, for --help.
void PrintScannerOptions(std::ostream& out, int index, const CHWScannerInfo& info);
// The reason for a library error code, in the user's language (through the message file).
std::string ErrorText(platform::Host& host, uint32_t code);
