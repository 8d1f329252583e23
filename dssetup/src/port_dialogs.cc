// The dialogs of port setup: where the scanner was found, its identity, the SCSI inquiry list
// and the manual property sheet.
#include <algorithm>
#include <cstdio>

#include "aspi_layer.h"
#include "parallel_transport.h"
#include "platform/ports/ports.h"
#include "platform/host/host.h"
#include "setup_flow.h"

namespace dssetup {

using namespace platform;

namespace {

constexpr int kTargets = 7;

void SetUpDown(UserInterface& ui, Hwnd page, int id, int low, int high, int position) {
  ui.SendDlgItemMessage(page, id, UDM_SETRANGE, 0,
                        static_cast<LParam>((low & 0xFFFF) | (high & 0xFFFF) << 16));
  ui.SendDlgItemMessage(page, id, UDM_SETPOS, 0, position);
}

}  // namespace

void SetupFlow::ShowIdentity() {
  Dialog("SCANGETIDENTITY", [this](Hwnd d, uint32_t m, WParam wp, LParam) -> intptr_t {
    if (m == WM_INITDIALOG) {
      ui_.SetDlgItemText(d, 1006, LangString(identity_.levelLetterB ? 10 : 11));
      ui_.SetDlgItemInt(d, 1008, identity_.levelDigit, true);
      ui_.SetDlgItemText(d, 1009, LangString(identity_.statusFlag ? 9 : 8));
      ui_.SetDlgItemText(d, 1011, SizeText(identity_.maxWidth, identity_.maxResolution));
      ui_.SetDlgItemText(d, 1012, SizeText(identity_.maxHeight, identity_.maxResolution));
      for (uint16_t r : identity_.resolutions) {
        const std::string text = std::to_string(r);
        ui_.SendDlgItemMessage(d, 1000, CB_ADDSTRING, 0, reinterpret_cast<LParam>(text.c_str()));
      }
      return 1;
    }
    return 0;
  });
}

void SetupFlow::ShowScsiPortInfo(int adapter, int target) {
  Dialog("PORT_INFO_SCSI", [=, this](Hwnd d, uint32_t m, WParam wp, LParam) -> intptr_t {
    const int id = static_cast<int>(wp & 0xFFFF);
    if (m == WM_INITDIALOG) {
      ui_.SetDlgItemText(d, 1003, "WINASPI");
      ui_.SetDlgItemInt(d, 1004, adapter, true);
      ui_.SetDlgItemInt(d, 1005, target, true);
      return 1;
    }
    if (m != WM_COMMAND) return 0;
    if (id == 2) {
      ShowIdentity();
    } else if (id == 1023) {
      ScsiInquiry(adapter);
    } else if (id == IDOK) {
      ui_.EndDialog(d, IDOK);
    }
    return 1;
  });
}

void SetupFlow::ShowParallelPortInfo(int lptId, int type) {
  Dialog("PORT_INFO_LPT", [=, this](Hwnd d, uint32_t m, WParam wp, LParam) -> intptr_t {
    const int id = static_cast<int>(wp & 0xFFFF);
    if (m == WM_INITDIALOG) {
      ui_.SetDlgItemText(d, 1006, type == kParallelHighSpeed ? "Orvex High Speed Parallel"
                                                             : "Orvex Parallel");
      ui_.SetDlgItemInt(d, 1007, lptId, true);
      return 1;
    }
    if (m != WM_COMMAND) return 0;
    if (id == 2) ShowIdentity();
    if (id == IDOK) ui_.EndDialog(d, IDOK);
    return 1;
  });
}

int SetupFlow::ScsiInquiry(int adapter) {
  AspiLayer aspi(modules_, host_.clock());
  if (!aspi.loaded()) {
    ui_.MessageBox(window_, "InitWinAspiT failed!", "SCSI_InquiryProc", MB_OK);
    return -1;
  }
  int lastScanner = -1;
  const intptr_t r = Dialog("SCSI_INQUIRY", [&](Hwnd d, uint32_t m, WParam wp, LParam) -> intptr_t {
    const int id = static_cast<int>(wp & 0xFFFF);
    if (m == WM_INITDIALOG) {
      for (int target = 0; target < kTargets; ++target) {
        std::string name = aspi.Inquiry(adapter, target);
        if (IsOrvexScanner(name)) lastScanner = target;
        if (name.empty()) name = LangString(7);
        char line[96];
        std::snprintf(line, sizeof line, "ID#-%d: %s", target, name.c_str());
        ui_.SendDlgItemMessage(d, 1018, LB_ADDSTRING, 0, reinterpret_cast<LParam>(line));
      }
      if (lastScanner >= 0) ui_.SendDlgItemMessage(d, 1018, LB_SETCURSEL, lastScanner, 0);
      return 1;
    }
    if (m == WM_COMMAND && (id == IDOK || id == IDCANCEL)) {
      ui_.EndDialog(d, id);
      return 1;
    }
    return 0;
  });
  return r == IDOK ? lastScanner : -1;
}

void SetupFlow::ManualSettings(PortSettings* settings) {
  if (platform_ == WindowsPlatform::kWin9x) {
    parallelPortCount_ = ParallelPort::CountPorts(Ports::Of(host_));
  }
  PropertySheetHeader sheet;
  sheet.caption = "Setup KV-TWAIN 32";
  sheet.flags = PSH_NOAPPLYNOW;
  sheet.owner = window_;
  if (platform_ == WindowsPlatform::kWin9x) {
    if (auto layout = modules_.LoadDialog(language_, "PARALLEL_PORT")) {
      sheet.pages.push_back({*layout, [this, settings](Hwnd d, uint32_t m, WParam wp,
                                                       LParam lp) -> intptr_t {
        return ParallelPage(settings, d, m, wp, lp);
      }});
    }
  }
  if (auto layout = modules_.LoadDialog(language_, "SCSI_PORT")) {
    sheet.pages.push_back({*layout, [this, settings](Hwnd d, uint32_t m, WParam wp,
                                                     LParam lp) -> intptr_t {
      return ScsiPage(settings, d, m, wp, lp);
    }});
  }
  ui_.PropertySheet(sheet);
}

intptr_t SetupFlow::ScsiPage(PortSettings* s, Hwnd d, uint32_t m, WParam wp, LParam lp) {
  if (m == WM_INITDIALOG) {
    s->scanDeviceType = kDeviceScsi;
    int adapters = 0;
    {
      AspiLayer aspi(modules_, host_.clock());
      adapters = aspi.loaded() ? aspi.AdapterCount() : 0;
    }
    if (s->scsiId == -1) s->scsiId = 2;
    ui_.SetDlgItemInt(d, 1012, s->scsiHaId, true);
    ui_.SetDlgItemInt(d, 1010, s->scsiId, true);
    ui_.SendDlgItemMessage(d, 1024, CB_ADDSTRING, 0, reinterpret_cast<LParam>("WINASPI"));
    ui_.SendDlgItemMessage(d, 1024, CB_SETCURSEL, 0, 0);
    SetUpDown(ui_, d, 1011, 0, std::max(adapters - 1, 0), s->scsiHaId);
    SetUpDown(ui_, d, 1018, 0, kTargets - 1, s->scsiId);
    return 1;
  }
  if (m == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lp);
    if (header && header->code == UDN_DELTAPOS) {
      const auto* change = reinterpret_cast<const NMUPDOWN*>(lp);
      const int position = change->iPos + change->iDelta;
      if (header->idFrom == 1011) {
        s->scsiHaId = position;
        ui_.SetDlgItemInt(d, 1012, position, true);
      } else if (header->idFrom == 1018) {
        s->scsiId = position;
        ui_.SetDlgItemInt(d, 1010, position, true);
      }
    }
    return 0;
  }
  if (m == WM_COMMAND && (wp & 0xFFFF) == 1023) {
    const int id = ScsiInquiry(s->scsiHaId < 0 ? 0 : s->scsiHaId);
    if (id != -1) {
      s->scsiId = id;
      ui_.SetDlgItemInt(d, 1010, id, true);
      ui_.SendDlgItemMessage(d, 1018, UDM_SETPOS, 0, id);
    }
    return 1;
  }
  return 0;
}

intptr_t SetupFlow::ParallelPage(PortSettings* s, Hwnd d, uint32_t m, WParam wp, LParam lp) {
  if (m == WM_INITDIALOG) {
    s->scanDeviceType = kDeviceParallel;
    const int count = std::max(parallelPortCount_, 1);
    s->lptId = std::clamp(s->lptId, 1, count);
    ui_.SetDlgItemInt(d, 1022, s->lptId, true);
    for (const char* name : {"Orvex", "IBM PS/2 (ISA)", "IBM PS/2 (MCA)", "TOSHIBA"}) {
      ui_.SendDlgItemMessage(d, 1015, CB_ADDSTRING, 0, reinterpret_cast<LParam>(name));
    }
    const int entry = (s->scanParallelType == kParallelStandard ||
                       s->scanParallelType == kParallelHighSpeed)
                          ? 0
                          : std::clamp(s->scanParallelType - 11, 0, 3);
    ui_.SendDlgItemMessage(d, 1015, CB_SETCURSEL, static_cast<WParam>(entry), 0);
    SetUpDown(ui_, d, 1017, 1, count, s->lptId);
    return 1;
  }
  if (m == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lp);
    if (header && header->code == UDN_DELTAPOS && header->idFrom == 1017) {
      const auto* change = reinterpret_cast<const NMUPDOWN*>(lp);
      s->lptId = std::clamp(change->iPos + change->iDelta, 1, std::max(parallelPortCount_, 1));
      ui_.SetDlgItemInt(d, 1022, s->lptId, true);
      if (s->scanParallelType == kParallelStandard || s->scanParallelType == kParallelHighSpeed) {
        ProbeParallelType(s);
      }
    }
    return 0;
  }
  if (m == WM_COMMAND && (wp & 0xFFFF) == 1015 && (wp >> 16) == 1 /* CBN_SELCHANGE */) {
    const int entry = ui_.GetSelection(ui_.GetDlgItem(d, 1015));
    if (entry >= 1 && entry <= 3) {
      s->scanParallelType = entry + 11;
    } else {
      ProbeParallelType(s);
    }
    return 1;
  }
  return 0;
}

void SetupFlow::ProbeParallelType(PortSettings* s) {
  const bool fast = ParallelPort::ProbeHighSpeed(Ports::Of(host_), s->lptId - 1);
  s->scanParallelType = fast ? kParallelHighSpeed : kParallelStandard;
  if (fast) ui_.MessageBeep(0xFFFFFFFFu);
}

}  // namespace dssetup
