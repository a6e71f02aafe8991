// Printing internals shared by the print dialog and the printer DCs: the printers there are and
// the self-drawn print dialog window.
#pragma once

#include <platform/print.h>

#include <string>
#include <vector>

namespace kvp::print {

struct Printer {
  std::string name;    // device name (system code page bytes are the same as UTF-8 for ours)
  bool cups = false;   // a CUPS destination; else the PDF folder
  bool letter = false;
  std::string folder;  // PDF folder (UTF-8), for the PDF printer
};

// The printers there are now, the default one first (empty: no default printer).
std::vector<Printer> AvailablePrinters();
bool FindPrinter(const std::string& name, Printer* printer);

CupsBackend& Backend();

// Page size of a printer in dots at kDotsPerInch, after orientation.
inline constexpr int kDotsPerInch = 600;
SIZE PageDots(const Printer& printer, short orientation);

// What the user chose in the print dialog.
struct DialogChoice {
  size_t printer = 0;  // index into the printers given
  short orientation = DMORIENT_PORTRAIT;
  int copies = 1;
};

// Layout of the print dialog's client area (the test drives it by these places).
namespace layout {
inline constexpr int kWidth = 360;
inline constexpr int kHeight = 200;
inline constexpr RECT kPrinterBox{90, 16, 344, 40};
inline constexpr RECT kPortrait{24, 72, 170, 92};
inline constexpr RECT kLandscape{24, 96, 170, 116};
inline constexpr RECT kCopiesBox{270, 72, 330, 96};
inline constexpr RECT kOk{176, 156, 256, 180};
inline constexpr RECT kCancel{264, 156, 344, 180};
}  // namespace layout

// Runs the print dialog modally on the GUI thread; false for Cancel (or when no window could be
// made). `choice` comes in as the preset and goes out as the user's choice.
bool RunPrintDialog(HWND owner, const std::vector<Printer>& printers, DialogChoice* choice);

}  // namespace kvp::print
