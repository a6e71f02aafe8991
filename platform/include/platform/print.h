// Printing: the print dialog and its records, movable memory blocks, and printer device contexts.
//
// A printer DC draws PDF pages through Cairo at 600 dots per inch (fonts are embedded). What
// happens to a finished document depends on the printer:
//   - the default destination of CUPS, when one exists: the PDF is submitted to it with the
//     document name as job title;
//   - else the "PDF file" printer: the document becomes a PDF file in the folder named by the user
//     value "PdfFolder" of HKCU "SOFTWARE\KV310Platform\Printing" (missing: the XDG documents
//     folder; empty: no default printer). Files are named from the document name and the local
//     time and never overwrite an existing file.
// AbortDoc, or a DC deleted before EndDoc, leaves no file and submits nothing.
//
// Pages are A4 unless the CUPS destination's default medium is Letter; DMORIENT_LANDSCAPE in the
// DEVMODE given to CreateDC swaps the page. Device units are dots: MM_TEXT works in dots, and
// MM_LOMETRIC gives the clip box (0, 0)-(W, -H) in 0.1 mm with y growing upwards.
#pragma once

#include <platform/gdi.h>
#include <platform/types.h>

#include <functional>
#include <string>

// ------------------------------------------------------------------------------------------------
// Movable memory blocks (the records PRINTDLG hands over). A block is a 32-bit handle; GlobalLock
// gives its bytes, which stay put until GlobalFree.
typedef uint32_t HGLOBAL;
#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

extern "C" {
PLATFORM_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
PLATFORM_API LPVOID GlobalLock(HGLOBAL mem);
PLATFORM_API BOOL GlobalUnlock(HGLOBAL mem);  // TRUE while other locks remain
PLATFORM_API HGLOBAL GlobalFree(HGLOBAL mem);  // 0 on success, else the handle
PLATFORM_API SIZE_T GlobalSize(HGLOBAL mem);
}

// ------------------------------------------------------------------------------------------------
// Device mode and names.
#define CCHDEVICENAME 32
#define CCHFORMNAME 32

#define DM_ORIENTATION 0x00000001u
#define DM_PAPERSIZE 0x00000002u
#define DM_COPIES 0x00000100u
#define DM_COLLATE 0x00008000u

#define DMORIENT_PORTRAIT 1
#define DMORIENT_LANDSCAPE 2
#define DMPAPER_LETTER 1
#define DMPAPER_A4 9
#define DMCOLLATE_FALSE 0
#define DMCOLLATE_TRUE 1

typedef struct _devicemodeA {
  BYTE dmDeviceName[CCHDEVICENAME];
  WORD dmSpecVersion;
  WORD dmDriverVersion;
  WORD dmSize;
  WORD dmDriverExtra;
  DWORD dmFields;
  short dmOrientation;
  short dmPaperSize;
  short dmPaperLength;  // 0.1 mm
  short dmPaperWidth;   // 0.1 mm
  short dmScale;
  short dmCopies;
  short dmDefaultSource;
  short dmPrintQuality;
  short dmColor;
  short dmDuplex;
  short dmYResolution;
  short dmTTOption;
  short dmCollate;
  BYTE dmFormName[CCHFORMNAME];
  WORD dmLogPixels;
} DEVMODE, DEVMODEA, *LPDEVMODE, *PDEVMODE;

// Offsets (in characters from the start of the record) of three zero-terminated names.
typedef struct tagDEVNAMES {
  WORD wDriverOffset;
  WORD wDeviceOffset;
  WORD wOutputOffset;
  WORD wDefault;  // DN_DEFAULTPRN when the names are the default printer's
} DEVNAMES, *LPDEVNAMES;
#define DN_DEFAULTPRN 0x0001

// ------------------------------------------------------------------------------------------------
// The print dialog.
#define PD_ALLPAGES 0x00000000u
#define PD_SELECTION 0x00000001u
#define PD_PAGENUMS 0x00000002u
#define PD_NOSELECTION 0x00000004u
#define PD_NOPAGENUMS 0x00000008u
#define PD_COLLATE 0x00000010u
#define PD_PRINTTOFILE 0x00000020u
#define PD_PRINTSETUP 0x00000040u
#define PD_RETURNDC 0x00000100u
#define PD_RETURNIC 0x00000200u
#define PD_RETURNDEFAULT 0x00000400u
#define PD_HIDEPRINTTOFILE 0x00100000u
#define PD_USEDEVMODECOPIESANDCOLLATE 0x00040000u
#define PD_USEDEVMODECOPIES PD_USEDEVMODECOPIESANDCOLLATE

// CommDlgExtendedError codes.
#define CDERR_STRUCTSIZE 0x0001u
#define CDERR_INITIALIZATION 0x0002u
#define CDERR_MEMALLOCFAILURE 0x0009u
#define PDERR_SETUPFAILURE 0x1001u
#define PDERR_RETDEFFAILURE 0x1003u
#define PDERR_CREATEICFAILURE 0x100Au
#define PDERR_PRINTERNOTFOUND 0x100Bu
#define PDERR_NODEFAULTPRN 0x1008u

typedef struct tagPDA {
  DWORD lStructSize;
  HWND hwndOwner;
  HGLOBAL hDevMode;
  HGLOBAL hDevNames;
  HDC hDC;
  DWORD Flags;
  WORD nFromPage;
  WORD nToPage;
  WORD nMinPage;
  WORD nMaxPage;
  WORD nCopies;
  HINSTANCE hInstance;
  LPARAM lCustData;
} PRINTDLG, PRINTDLGA, *LPPRINTDLG, *LPPRINTDLGA;

// ------------------------------------------------------------------------------------------------
// Documents on a printer DC.
typedef struct _DOCINFOA {
  int cbSize;
  LPCSTR lpszDocName;
  LPCSTR lpszOutput;
  LPCSTR lpszDatatype;
  DWORD fwType;
} DOCINFO, DOCINFOA, *LPDOCINFO;

#define SP_ERROR (-1)

extern "C" {
// Runs the print dialog (or, with PD_RETURNDEFAULT, only looks up the default printer). On success
// hDevMode and hDevNames hold the chosen printer (allocated when they were 0; the caller frees
// them with GlobalFree), and with PD_RETURNDC hDC is a printer DC (the caller deletes it).
// Cancel or failure: FALSE, with the reason in CommDlgExtendedError (0 for Cancel).
PLATFORM_API BOOL PrintDlg(LPPRINTDLG pd);
PLATFORM_API DWORD CommDlgExtendedError(void);

// A printer DC for the named printer (the default printer's or "PDF file"); `devMode` (optional)
// gives orientation, paper and copies.
PLATFORM_API HDC CreateDC(LPCSTR driver, LPCSTR device, LPCSTR output, const DEVMODE* devMode);
PLATFORM_API int StartDoc(HDC dc, const DOCINFO* info);  // a job id > 0, SP_ERROR on failure
PLATFORM_API int StartPage(HDC dc);
PLATFORM_API int EndPage(HDC dc);
PLATFORM_API int EndDoc(HDC dc);
PLATFORM_API int AbortDoc(HDC dc);
}

// ------------------------------------------------------------------------------------------------
// The class library's print dialog.
class CWnd;

class PLATFORM_API CPrintDialog {
 public:
  explicit CPrintDialog(BOOL printSetupOnly, DWORD flags = PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS |
                                                             PD_HIDEPRINTTOFILE | PD_NOSELECTION,
                        CWnd* parent = nullptr);
  virtual ~CPrintDialog() = default;
  CPrintDialog(const CPrintDialog&) = delete;
  CPrintDialog& operator=(const CPrintDialog&) = delete;

  PRINTDLG m_pd;

  // Shows the dialog: IDOK or IDCANCEL. With PD_RETURNDC in m_pd.Flags a printer DC is made.
  virtual INT_PTR DoModal();
  // The default printer without a dialog (PD_RETURNDEFAULT | PD_RETURNDC); FALSE when none.
  BOOL GetDefaults();
  // The DC made by DoModal or GetDefaults; the caller owns it from now on.
  HDC GetPrinterDC() const;
  // The chosen device mode (locked until the dialog object ends), or null.
  LPDEVMODE GetDevMode() const;
  // The chosen printer's name.
  std::string GetDeviceName() const;
  std::string GetDriverName() const;
  int GetCopies() const;
  BOOL PrintCollate() const { return (m_pd.Flags & PD_COLLATE) != 0; }

 private:
  CWnd* parent_;
};

// ------------------------------------------------------------------------------------------------
// Test and integration seams.
namespace kvp::print {

// Name of the printer that writes PDF files into the configured folder.
inline constexpr const char* kPdfPrinterName = "PDF file";

// What the platform needs of CUPS. The real one talks to the CUPS server with bounded connection
// time-outs; tests install a fake that names a destination and records submissions.
struct CupsDestination {
  std::string name;
  bool letter = false;  // the destination's default medium is Letter
};
class CupsBackend {
 public:
  virtual ~CupsBackend() = default;
  // The default destination, or false when there is none (or no server answers in time).
  virtual bool DefaultDestination(CupsDestination* dest) = 0;
  // Submits a PDF file (the file is removed after the call returns); true when the job was taken.
  virtual bool Submit(const std::string& destination, const std::string& title, const std::string& pdfPath,
                      int copies) = 0;
};
// Replaces the backend (null: back to the real libcups one); returns the previous one.
PLATFORM_API CupsBackend* SetCupsBackend(CupsBackend* backend);

// The folder of the "PDF file" printer as configured now (UTF-8 Linux path); empty when there is
// no such printer.
PLATFORM_API std::string PdfFolder();
// The print dialog's window while one is open, else 0 (tests drive and photograph it).
PLATFORM_API HWND OpenPrintDialogWindow();
// The file the last EndDoc of this process wrote (empty when it submitted to CUPS or failed).
PLATFORM_API std::string LastPdfFile();

}  // namespace kvp::print
