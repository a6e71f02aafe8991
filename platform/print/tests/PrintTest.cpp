// Printing: PDF documents read back with poppler's tools, the print dialog driven by injected
// input, the default-printer rules, the CUPS path through a recording backend, and documents that
// must leave nothing behind.
#include <platform/afxgdi.h>
#include <platform/afxwin.h>
#include <platform/display.h>
#include <platform/print.h>
#include <platform/registry.h>

#include <kvtest/Shell.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "print/PrintInternal.h"

namespace fs = std::filesystem;
namespace hl = kvp::headless;

namespace {

// Records what would have gone to CUPS.
class RecordingCups : public kvp::print::CupsBackend {
 public:
  std::string destination;  // empty: no CUPS destination
  bool letter = false;
  struct Job {
    std::string destination, title, file, head;
    int copies;
    bool fileExisted;
  };
  std::vector<Job> jobs;

  bool DefaultDestination(kvp::print::CupsDestination* dest) override {
    if (destination.empty()) return false;
    dest->name = destination;
    dest->letter = letter;
    return true;
  }
  bool Submit(const std::string& dest, const std::string& title, const std::string& file, int copies) override {
    std::ifstream in(file, std::ios::binary);
    std::string head(5, '\0');
    in.read(head.data(), 5);
    jobs.push_back({dest, title, file, head, copies, fs::exists(file)});
    return true;
  }
};

// One field of pdfinfo's output ("Pages", "Page size", ...), trimmed.
std::string Field(const std::string& info, const std::string& key) {
  std::istringstream in(info);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key + ":", 0) != 0) continue;
    size_t start = line.find_first_not_of(' ', key.size() + 1);
    return start == std::string::npos ? std::string() : line.substr(start);
  }
  return {};
}

void SetPdfFolder(const std::string* folder) {
  if (!folder) {
    RegDeleteKey(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing");
    return;
  }
  HKEY key;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueEx(key, "PdfFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder->c_str()),
                static_cast<DWORD>(folder->size() + 1));
  RegCloseKey(key);
}

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> out;
  if (!fs::exists(dir)) return out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
  return out;
}

fs::path ArtifactDir() {
  const char* dir = getenv("KV_ARTIFACT_DIR");
  fs::path p = fs::path(dir && dir[0] ? dir : "artifacts") / "print";
  fs::create_directories(p);
  return p;
}

class Printing : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::current_path() / "pdf-out";
    fs::remove_all(folder_);
    previous_ = kvp::print::SetCupsBackend(&cups_);
    std::string f = folder_.string();
    SetPdfFolder(&f);
  }
  void TearDown() override {
    kvp::print::SetCupsBackend(previous_);
    SetPdfFolder(nullptr);
  }
  // The default printer's DC through PrintDlg, as the report printing asks for it.
  HDC DefaultDC() {
    PRINTDLG pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS | PD_USEDEVMODECOPIESANDCOLLATE |
               PD_HIDEPRINTTOFILE;
    EXPECT_TRUE(PrintDlg(&pd));
    GlobalFree(pd.hDevMode);
    GlobalFree(pd.hDevNames);
    return pd.hDC;
  }

  RecordingCups cups_;
  kvp::print::CupsBackend* previous_ = nullptr;
  fs::path folder_;
};

void WriteLine(HDC dc, int x, int y, const char* text) {
  TextOut(dc, x, y, text, static_cast<int>(strlen(text)));
}

TEST_F(Printing, TwoPageMetricJobBecomesAnA4PdfInTheFolder) {
  HDC dc = DefaultDC();
  ASSERT_NE(dc, 0u);
  EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 600);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 600);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 4961);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 7016);
  EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 4961);
  EXPECT_EQ(GetDeviceCaps(dc, PHYSICALHEIGHT), 7016);
  EXPECT_EQ(GetDeviceCaps(dc, PHYSICALOFFSETX), 0);
  EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), 210);
  EXPECT_EQ(GetDeviceCaps(dc, VERTSIZE), 297);

  CDC cdc;
  cdc.Attach(dc);
  cdc.SetMapMode(MM_LOMETRIC);
  CRect clip;
  cdc.GetClipBox(&clip);
  EXPECT_EQ(clip, CRect(0, 0, 2100, -2970));
  EXPECT_TRUE(cdc.IsPrinting());

  CFont font;
  font.CreateFont(-60, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  ASSERT_GT(cdc.StartDoc("KV310 test report"), 0);
  for (int page = 1; page <= 2; ++page) {
    ASSERT_GT(cdc.StartPage(), 0);
    CFont* old = cdc.SelectObject(&font);
    cdc.Rectangle(100, -100, 2000, -2870);
    WriteLine(dc, 200, -200, page == 1 ? "KV310 page 1 \xB5\xB0" : "KV310 page 2");
    cdc.SelectObject(old);
    ASSERT_GT(cdc.EndPage(), 0);
  }
  ASSERT_GT(cdc.EndDoc(), 0);
  cdc.DeleteDC();

  auto files = FilesIn(folder_);
  ASSERT_EQ(files.size(), 1u);
  const fs::path pdf = files[0];
  EXPECT_EQ(pdf, fs::path(kvp::print::LastPdfFile()));
  EXPECT_EQ(pdf.filename().string().rfind("KV310 test report ", 0), 0u) << pdf;
  EXPECT_EQ(pdf.extension(), ".pdf");
  fs::copy_file(pdf, ArtifactDir() / "two-pages.pdf", fs::copy_options::overwrite_existing);

  if (!kvtest::HaveTool("pdfinfo") || !kvtest::HaveTool("pdftotext")) GTEST_SKIP() << "poppler-utils not installed";
  const std::string info = kvtest::CommandOutput("pdfinfo '" + pdf.string() + "'");
  EXPECT_EQ(Field(info, "Pages"), "2") << info;
  EXPECT_EQ(Field(info, "Page size"), "595.32 x 841.92 pts (A4)") << info;  // portrait
  EXPECT_EQ(Field(info, "Title"), "KV310 test report") << info;
  const std::string page1 = kvtest::CommandOutput("pdftotext -f 1 -l 1 '" + pdf.string() + "' -");
  const std::string page2 = kvtest::CommandOutput("pdftotext -f 2 -l 2 '" + pdf.string() + "' -");
  EXPECT_NE(page1.find("KV310 page 1 \xC2\xB5\xC2\xB0"), std::string::npos) << page1;
  EXPECT_NE(page2.find("KV310 page 2"), std::string::npos) << page2;
  EXPECT_EQ(page2.find("page 1"), std::string::npos) << page2;
  const std::string fonts = kvtest::CommandOutput("pdffonts '" + pdf.string() + "'");
  EXPECT_NE(fonts.find(" yes "), std::string::npos) << "fonts are embedded:\n" << fonts;
}

TEST_F(Printing, LandscapeJobThroughThePrintDialogDrivenByInput) {
  kvp::HeadlessWorld world;
  CPrintDialog dlg(FALSE, PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE | PD_USEDEVMODECOPIESANDCOLLATE);
  bool shown = false;
  hl::RunInLoop([&] {
    HWND box = kvp::print::OpenPrintDialogWindow();
    ASSERT_NE(box, 0u);
    shown = true;
    const RECT& r = kvp::print::layout::kLandscape;
    hl::Click(box, POINT{r.left + 4, (r.top + r.bottom) / 2});
    hl::PressKey(VK_UP);  // two copies
    const char* dir = getenv("KV_SCREENSHOT_DIR");
    fs::path shots = fs::path(dir && dir[0] ? dir : "screenshots") / "platform";
    fs::create_directories(shots);
    EXPECT_TRUE(kvp::SaveWindowPng(box, (shots / "print-dialog.png").c_str()));
    const RECT& ok = kvp::print::layout::kOk;
    hl::Click(box, POINT{(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2});
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(shown);
  EXPECT_EQ(dlg.GetDeviceName(), kvp::print::kPdfPrinterName);
  LPDEVMODE dm = dlg.GetDevMode();
  ASSERT_NE(dm, nullptr);
  EXPECT_EQ(dm->dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(dm->dmCopies, 2);
  EXPECT_EQ(dlg.GetCopies(), 2);
  EXPECT_EQ(dlg.m_pd.nCopies, 1);
  HDC dc = dlg.GetPrinterDC();
  ASSERT_NE(dc, 0u);
  const int w = GetDeviceCaps(dc, HORZRES);
  const int h = GetDeviceCaps(dc, VERTRES);
  EXPECT_EQ(w, 7016);
  EXPECT_EQ(h, 4961);
  // MM_TEXT works in dots: a clip box of the whole page.
  RECT clip;
  GetClipBox(dc, &clip);
  EXPECT_EQ(CRect(clip), CRect(0, 0, w, h));
  DOCINFO info{sizeof(DOCINFO), "Dravix Scope", nullptr, nullptr, 0};
  ASSERT_GT(StartDoc(dc, &info), 0);
  StartPage(dc);
  HFONT font = CreateFont(-h / 36, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  HGDIOBJ old = SelectObject(dc, font);
  RECT title{0, 0, w, h / 36};
  DrawText(dc, "Dravix Scope - Oscilloscope chart", -1, &title, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, old);
  DeleteObject(font);
  HPEN pen = CreatePen(PS_SOLID, 5, RGB(0, 0, 0));
  old = SelectObject(dc, pen);
  Rectangle(dc, w / 10, h / 5, w * 9 / 10, h * 9 / 10);
  SelectObject(dc, old);
  DeleteObject(pen);
  EndPage(dc);
  ASSERT_GT(EndDoc(dc), 0);
  DeleteDC(dc);
  GlobalFree(dlg.m_pd.hDevMode);
  GlobalFree(dlg.m_pd.hDevNames);

  const fs::path pdf = kvp::print::LastPdfFile();
  ASSERT_TRUE(fs::exists(pdf));
  fs::copy_file(pdf, ArtifactDir() / "landscape.pdf", fs::copy_options::overwrite_existing);
  if (!kvtest::HaveTool("pdfinfo")) GTEST_SKIP() << "poppler-utils not installed";
  const std::string info2 = kvtest::CommandOutput("pdfinfo '" + pdf.string() + "'");
  EXPECT_EQ(Field(info2, "Page size"), "841.92 x 595.32 pts (A4)") << info2;  // wider than tall
  EXPECT_EQ(Field(info2, "Pages"), "1") << info2;
}

TEST_F(Printing, CancelGivesNoDcAndPrintsNothing) {
  kvp::HeadlessWorld world;
  PRINTDLG pd{};
  pd.lStructSize = sizeof pd;
  pd.Flags = PD_RETURNDC;
  hl::RunInLoop([&] { hl::PressKey(VK_ESCAPE); });
  EXPECT_FALSE(PrintDlg(&pd));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(pd.hDC, 0u);
  EXPECT_EQ(pd.hDevMode, 0u);
  // The close box cancels as well; Enter confirms.
  hl::RunInLoop([&] { ::PostMessage(kvp::print::OpenPrintDialogWindow(), WM_CLOSE, 0, 0); });
  EXPECT_FALSE(PrintDlg(&pd));
  hl::RunInLoop([&] { hl::PressKey(VK_RETURN); });
  EXPECT_TRUE(PrintDlg(&pd));
  EXPECT_NE(pd.hDC, 0u);
  DeleteDC(pd.hDC);
  GlobalFree(pd.hDevMode);
  GlobalFree(pd.hDevNames);
  EXPECT_TRUE(FilesIn(folder_).empty());
}

TEST_F(Printing, NoCupsAndAnEmptyFolderMeansNoDefaultPrinter) {
  const std::string empty;
  SetPdfFolder(&empty);
  PRINTDLG pd{};
  pd.lStructSize = sizeof pd;
  pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
  EXPECT_FALSE(PrintDlg(&pd));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(PDERR_NODEFAULTPRN));
  EXPECT_EQ(pd.hDC, 0u);
  CPrintDialog dlg(FALSE);
  EXPECT_FALSE(dlg.GetDefaults());
  EXPECT_EQ(dlg.GetPrinterDC(), 0u);
  // A wrong record size is told apart.
  PRINTDLG bad{};
  bad.lStructSize = 12;
  EXPECT_FALSE(PrintDlg(&bad));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
}

TEST_F(Printing, MissingFolderValueMeansTheDocumentsFolder) {
  SetPdfFolder(nullptr);
  const char* home = getenv("HOME");
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(kvp::print::PdfFolder(), std::string(home) + "/Documents");
}

TEST_F(Printing, CupsDefaultDestinationTakesTheJob) {
  cups_.destination = "Office";
  cups_.letter = true;
  CPrintDialog dlg(FALSE);
  ASSERT_TRUE(dlg.GetDefaults());
  EXPECT_EQ(dlg.GetDeviceName(), "Office");
  HDC dc = dlg.GetPrinterDC();
  ASSERT_NE(dc, 0u);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 5100);  // Letter at 600 dpi
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 6600);
  DOCINFO info{sizeof(DOCINFO), "Dravix Scope Report", nullptr, nullptr, 0};
  ASSERT_GT(StartDoc(dc, &info), 0);
  StartPage(dc);
  TextOut(dc, 100, 100, "report", 6);
  EndPage(dc);
  ASSERT_GT(EndDoc(dc), 0);
  DeleteDC(dc);
  ASSERT_EQ(cups_.jobs.size(), 1u);
  EXPECT_EQ(cups_.jobs[0].destination, "Office");
  EXPECT_EQ(cups_.jobs[0].title, "Dravix Scope Report");
  EXPECT_TRUE(cups_.jobs[0].fileExisted);
  EXPECT_EQ(cups_.jobs[0].head, "%PDF-");
  EXPECT_FALSE(fs::exists(cups_.jobs[0].file));  // the spool copy is gone
  EXPECT_TRUE(FilesIn(folder_).empty());
  GlobalFree(dlg.m_pd.hDevMode);
  GlobalFree(dlg.m_pd.hDevNames);
}

TEST_F(Printing, AbortedOrAbandonedDocumentsLeaveNothing) {
  cups_.destination = "Office";
  struct Case {
    const char* printer;
    bool deleteInstead;  // the DC is deleted mid-document instead of AbortDoc
  };
  for (Case c : {Case{"Office", false}, Case{kvp::print::kPdfPrinterName, false},
                 Case{kvp::print::kPdfPrinterName, true}}) {
    HDC dc = CreateDC("winspool", c.printer, nullptr, nullptr);
    ASSERT_NE(dc, 0u) << c.printer;
    DOCINFO info{sizeof(DOCINFO), "aborted", nullptr, nullptr, 0};
    ASSERT_GT(StartDoc(dc, &info), 0);
    StartPage(dc);
    TextOut(dc, 100, 100, "never", 5);
    EndPage(dc);
    if (!c.deleteInstead) {
      EXPECT_GT(AbortDoc(dc), 0);
      EXPECT_EQ(EndDoc(dc), SP_ERROR);  // nothing left to end
    }
    DeleteDC(dc);
    EXPECT_EQ(StartPage(dc), SP_ERROR);
  }
  // A DC made afterwards sweeps the abandoned job away without writing it.
  DeleteDC(CreateDC("winspool", kvp::print::kPdfPrinterName, nullptr, nullptr));
  EXPECT_TRUE(cups_.jobs.empty());
  EXPECT_TRUE(FilesIn(folder_).empty());
  EXPECT_EQ(CreateDC("winspool", "No such printer", nullptr, nullptr), 0u);
}

TEST_F(Printing, DocumentsOfTheSameNameNeverOverwriteEachOther) {
  for (int i = 0; i < 3; ++i) {
    HDC dc = CreateDC("winspool", kvp::print::kPdfPrinterName, nullptr, nullptr);
    DOCINFO info{sizeof(DOCINFO), "Same/Name", nullptr, nullptr, 0};
    ASSERT_GT(StartDoc(dc, &info), 0);
    StartPage(dc);
    EndPage(dc);
    ASSERT_GT(EndDoc(dc), 0);
    DeleteDC(dc);
  }
  auto files = FilesIn(folder_);
  ASSERT_EQ(files.size(), 3u);
  for (const auto& f : files) {
    EXPECT_EQ(f.filename().string().rfind("Same_Name ", 0), 0u) << f;
    EXPECT_GT(fs::file_size(f), 100u);
  }
}

TEST(GlobalMemory, BlocksLockSizeAndFree) {
  HGLOBAL mem = GlobalAlloc(GHND, 40);
  ASSERT_NE(mem, 0u);
  EXPECT_EQ(GlobalSize(mem), 40u);
  auto* bytes = static_cast<unsigned char*>(GlobalLock(mem));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[39], 0);  // zero-initialised
  EXPECT_EQ(GlobalLock(mem), bytes);  // never moves
  EXPECT_TRUE(GlobalUnlock(mem));     // one lock remains
  EXPECT_FALSE(GlobalUnlock(mem));
  EXPECT_EQ(GlobalFree(mem), 0u);
  EXPECT_EQ(GlobalLock(mem), nullptr);  // a freed handle fails cleanly
  EXPECT_EQ(GlobalSize(mem), 0u);
  EXPECT_EQ(GlobalFree(mem), mem);
}

}  // namespace
