// How `scan` describes a scanner to a person.
#pragma once

#include <ostream>

#include "scancore/device_info.h"
#include "scancore/hw_scanner_info.h"

// One line for the list: index, where the scanner sits and what it is.
void PrintListLine(std::ostream& out, int index, const DEVICEINFO& device,
                   const CHWScannerInfo& info);
// Every field of one scanner, one per line.
void PrintDetails(std::ostream& out, int index, const DEVICEINFO& device,
                  const CHWScannerInfo& info);
const char* BusName(int busType);
const char* OptionName(Option option);
