// The automatic search for the scanner's port: every target 0..6 of every host adapter through
// ASPI, then (on Windows 9x, where the parallel ports are reachable) the parallel ports from the
// last to the first. The search fills the port settings record and, on success, the identity data.
#pragma once

#include <functional>
#include <string>

#include "data_source_config.h"
#include "identity.h"

namespace platform {
class Host;
}

namespace dssetup {

class AspiLayer;

// What the search shows; the flow puts these on screen, tests may leave them out.
struct SearchDisplay {
  std::function<void()> open;                      // the search dialog, when there are adapters
  std::function<void(const std::string&)> status;  // the status text, as it grows
  std::function<void()> close;                     // the search dialog goes away
  std::function<void(int adapter, int target)> foundScsi;
  std::function<void(int lptId, int type)> foundParallel;
};

class PortSearch {
 public:
  PortSearch(platform::Host& host, SearchDisplay display)
      : host_(host), display_(std::move(display)) {}
  // True when a scanner was found; `settings` then says where.
  // `scsiText` and `parallelText` head the status text of each part.
  bool Run(PortSettings* settings, IdentityData* identity, const std::string& scsiText,
           const std::string& parallelText, bool parallelAllowed);

 private:
  bool SearchScsi(AspiLayer& aspi, PortSettings* settings, IdentityData* identity);
  bool SearchParallel(PortSettings* settings, IdentityData* identity);
  void Mark();

  platform::Host& host_;
  SearchDisplay display_;
  std::string status_;
};

}  // namespace dssetup
