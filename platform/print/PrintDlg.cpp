// PrintDlg, its records (DEVMODE and DEVNAMES in movable blocks) and CPrintDialog.
#include <platform/print.h>
#include <platform/afxwin.h>

#include <algorithm>
#include <cstring>

#include "print/PrintInternal.h"

namespace kvp::print {
namespace {

thread_local DWORD tlsDialogError = 0;

BOOL Fail(DWORD code) {
  tlsDialogError = code;
  return FALSE;
}

void CopyName(BYTE* out, size_t size, const std::string& name) {
  memset(out, 0, size);
  memcpy(out, name.data(), std::min(name.size(), size - 1));
}

// Writes a DEVMODE for the choice into `*mem` (allocated when 0 or too small).
bool StoreDevMode(HGLOBAL* mem, const Printer& printer, short orientation, int copies) {
  if (!*mem || GlobalSize(*mem) < sizeof(DEVMODE)) {
    if (*mem) GlobalFree(*mem);
    *mem = GlobalAlloc(GHND, sizeof(DEVMODE));
    if (!*mem) return false;
  }
  auto* dm = static_cast<DEVMODE*>(GlobalLock(*mem));
  memset(dm, 0, sizeof *dm);
  CopyName(dm->dmDeviceName, sizeof dm->dmDeviceName, printer.name);
  dm->dmSpecVersion = 0x0401;
  dm->dmSize = sizeof(DEVMODE);
  dm->dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_COLLATE;
  dm->dmOrientation = orientation;
  dm->dmPaperSize = printer.letter ? DMPAPER_LETTER : DMPAPER_A4;
  const SIZE dots = PageDots(printer, DMORIENT_PORTRAIT);
  dm->dmPaperWidth = static_cast<short>(dots.cx * 254 / kDotsPerInch);
  dm->dmPaperLength = static_cast<short>(dots.cy * 254 / kDotsPerInch);
  dm->dmScale = 100;
  dm->dmCopies = static_cast<short>(std::clamp(copies, 1, 999));
  dm->dmPrintQuality = kDotsPerInch;
  dm->dmYResolution = kDotsPerInch;
  dm->dmCollate = DMCOLLATE_TRUE;
  CopyName(dm->dmFormName, sizeof dm->dmFormName, printer.letter ? "Letter" : "A4");
  GlobalUnlock(*mem);
  return true;
}

bool StoreDevNames(HGLOBAL* mem, const Printer& printer, bool isDefault) {
  const std::string driver = "winspool";
  const std::string output = printer.cups ? "CUPS:" : "PDF:";
  const size_t size = sizeof(DEVNAMES) + driver.size() + printer.name.size() + output.size() + 3;
  if (*mem) GlobalFree(*mem);
  *mem = GlobalAlloc(GHND, size);
  if (!*mem) return false;
  auto* base = static_cast<char*>(GlobalLock(*mem));
  auto* names = reinterpret_cast<DEVNAMES*>(base);
  size_t at = sizeof(DEVNAMES);
  auto put = [&](const std::string& s) {
    memcpy(base + at, s.c_str(), s.size() + 1);
    WORD offset = static_cast<WORD>(at);
    at += s.size() + 1;
    return offset;
  };
  names->wDriverOffset = put(driver);
  names->wDeviceOffset = put(printer.name);
  names->wOutputOffset = put(output);
  names->wDefault = isDefault ? DN_DEFAULTPRN : 0;
  GlobalUnlock(*mem);
  return true;
}

// The preset of the dialog from the caller's records.
DialogChoice PresetFrom(const PRINTDLG& pd, const std::vector<Printer>& printers) {
  DialogChoice choice;
  std::string wanted;
  if (pd.hDevMode && GlobalSize(pd.hDevMode) >= sizeof(DEVMODE)) {
    const auto* dm = static_cast<const DEVMODE*>(GlobalLock(pd.hDevMode));
    if ((dm->dmFields & DM_ORIENTATION) && dm->dmOrientation == DMORIENT_LANDSCAPE) {
      choice.orientation = DMORIENT_LANDSCAPE;
    }
    if ((dm->dmFields & DM_COPIES) && dm->dmCopies > 0) choice.copies = dm->dmCopies;
    wanted.assign(reinterpret_cast<const char*>(dm->dmDeviceName),
                  strnlen(reinterpret_cast<const char*>(dm->dmDeviceName), sizeof dm->dmDeviceName));
    GlobalUnlock(pd.hDevMode);
  }
  if (pd.hDevNames && GlobalSize(pd.hDevNames) > sizeof(DEVNAMES)) {
    const size_t size = GlobalSize(pd.hDevNames);
    const auto* base = static_cast<const char*>(GlobalLock(pd.hDevNames));
    const auto* names = reinterpret_cast<const DEVNAMES*>(base);
    if (names->wDeviceOffset < size) wanted.assign(base + names->wDeviceOffset, strnlen(base + names->wDeviceOffset, size - names->wDeviceOffset));
    GlobalUnlock(pd.hDevNames);
  }
  if (!(pd.Flags & PD_USEDEVMODECOPIESANDCOLLATE) && pd.nCopies > 0) choice.copies = pd.nCopies;
  for (size_t i = 0; i < printers.size(); ++i) {
    if (printers[i].name == wanted) choice.printer = i;
  }
  return choice;
}

}  // namespace
}  // namespace kvp::print

using namespace kvp::print;

extern "C" {

DWORD CommDlgExtendedError(void) { return tlsDialogError; }

BOOL PrintDlg(LPPRINTDLG pd) {
  tlsDialogError = 0;
  if (!pd) return Fail(CDERR_INITIALIZATION);
  if (pd->lStructSize != sizeof(PRINTDLG)) return Fail(CDERR_STRUCTSIZE);
  const bool returnDefault = (pd->Flags & PD_RETURNDEFAULT) != 0;
  if (returnDefault && (pd->hDevMode || pd->hDevNames)) return Fail(PDERR_RETDEFFAILURE);
  const std::vector<Printer> printers = AvailablePrinters();
  if (printers.empty()) return Fail(PDERR_NODEFAULTPRN);

  DialogChoice choice = PresetFrom(*pd, printers);
  if (!returnDefault && !RunPrintDialog(pd->hwndOwner, printers, &choice)) return FALSE;  // Cancel: error 0

  const Printer& printer = printers[std::min(choice.printer, printers.size() - 1)];
  if (!StoreDevMode(&pd->hDevMode, printer, choice.orientation, choice.copies) ||
      !StoreDevNames(&pd->hDevNames, printer, choice.printer == 0)) {
    return Fail(CDERR_MEMALLOCFAILURE);
  }
  pd->nCopies = static_cast<WORD>((pd->Flags & PD_USEDEVMODECOPIESANDCOLLATE) ? 1 : choice.copies);
  pd->hDC = 0;
  if (pd->Flags & (PD_RETURNDC | PD_RETURNIC)) {
    const auto* dm = static_cast<const DEVMODE*>(GlobalLock(pd->hDevMode));
    pd->hDC = CreateDC("winspool", printer.name.c_str(), nullptr, dm);
    GlobalUnlock(pd->hDevMode);
    if (!pd->hDC) return Fail(PDERR_CREATEICFAILURE);
  }
  return TRUE;
}

}  // extern "C"

// ------------------------------------------------------------------------------------------------

CPrintDialog::CPrintDialog(BOOL printSetupOnly, DWORD flags, CWnd* parent) : m_pd{}, parent_(parent) {
  m_pd.lStructSize = sizeof(PRINTDLG);
  m_pd.Flags = flags | (printSetupOnly ? PD_PRINTSETUP : PD_RETURNDC);
  m_pd.nCopies = 1;
  m_pd.nFromPage = m_pd.nToPage = m_pd.nMinPage = m_pd.nMaxPage = 1;
}

INT_PTR CPrintDialog::DoModal() {
  if (!m_pd.hwndOwner && parent_) m_pd.hwndOwner = parent_->GetSafeHwnd();
  return PrintDlg(&m_pd) ? IDOK : IDCANCEL;
}

BOOL CPrintDialog::GetDefaults() {
  m_pd.Flags |= PD_RETURNDEFAULT;
  BOOL ok = PrintDlg(&m_pd);
  m_pd.Flags &= ~PD_RETURNDEFAULT;
  return ok;
}

HDC CPrintDialog::GetPrinterDC() const { return m_pd.hDC; }

LPDEVMODE CPrintDialog::GetDevMode() const {
  if (!m_pd.hDevMode) return nullptr;
  return static_cast<LPDEVMODE>(GlobalLock(m_pd.hDevMode));
}

namespace {
std::string DevName(HGLOBAL mem, bool device) {
  if (!mem || GlobalSize(mem) <= sizeof(DEVNAMES)) return {};
  const size_t size = GlobalSize(mem);
  const auto* base = static_cast<const char*>(GlobalLock(mem));
  const auto* names = reinterpret_cast<const DEVNAMES*>(base);
  WORD offset = device ? names->wDeviceOffset : names->wDriverOffset;
  std::string out = offset < size ? std::string(base + offset, strnlen(base + offset, size - offset)) : std::string();
  GlobalUnlock(mem);
  return out;
}
}  // namespace

std::string CPrintDialog::GetDeviceName() const { return DevName(m_pd.hDevNames, true); }
std::string CPrintDialog::GetDriverName() const { return DevName(m_pd.hDevNames, false); }

int CPrintDialog::GetCopies() const {
  if (m_pd.Flags & PD_USEDEVMODECOPIESANDCOLLATE) {
    const DEVMODE* dm = m_pd.hDevMode ? static_cast<const DEVMODE*>(GlobalLock(m_pd.hDevMode)) : nullptr;
    int copies = dm ? dm->dmCopies : 1;
    if (dm) GlobalUnlock(m_pd.hDevMode);
    return copies;
  }
  return m_pd.nCopies;
}
