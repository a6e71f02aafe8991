// The printed report: the title and value lines of every item type, and whole reports printed to
// the "PDF file" printer and read back with poppler's tools (page count and texts), the header
// dialog before the first report, and the box when there is no default printer.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/print/PrintQueue.h>

#include <core/Reg.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/Shell.h>

#include <platform/print.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace uitest;

namespace {

// ---- title and value lines ---------------------------------------------------------------------

struct LineCase {
  const char* name;
  int type;
  double v[6];
  double n[2];
  const char* title;
  const char* line1;
  const char* line2;
};

CPrintItemData Record(const LineCase& c) {
  CPrintItemData d(c.type);
  switch (c.type) {
    case 0:
    case 1: d.SetMeterValues(c.v[0], c.v[1], c.v[2], static_cast<int>(c.v[3]), static_cast<int>(c.v[4]), ""); break;
    case 2: d.SetValue1(c.v[0], ""); break;
    case 3:
      d.SetValues6(c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5], static_cast<int>(c.n[0]), static_cast<int>(c.n[1]),
                   "");
      break;
    case 12:
      d.SetCountValues6(static_cast<int>(c.n[0]), c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5], "");
      break;
    default: d.SetValues6(c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5], 0, 0, ""); break;
  }
  return d;
}

TEST(ItemTexts, TitleAndValueLinesOfEveryType) {
  const LineCase cases[] = {
      {"below one volt", 0, {0.25}, {}, "Measure of voltage", "U = 250mV", ""},
      {"whole volts", 0, {230}, {}, "Measure of voltage", "U = 230V", ""},
      {"kilovolts", 0, {1500}, {}, "Measure of voltage", "U = 1.5kV", ""},
      {"alternating with min and max", 0, {12.5, 0.5, 14, 1, 1}, {}, "Measure of voltage",
       "U = 12.5V~  ( min 500mV~  max 14V~ )", ""},
      {"current", 1, {2.125}, {}, "Measure of current", "I = 2.125A", ""},
      {"resistance", 2, {2200}, {}, "Measure of resistance", "R = 2.2k", ""},
      {"resistance of giga-ohms", 2, {2.5e9}, {}, "Measure of resistance", "R = 2.5G", ""},
      {"voltage and current", 3, {12.26, 0, 0, 0.5, 0, 0}, {0, 0}, "Measure of voltage and current", "U = 12.3V",
       "I = 500mA"},
      {"voltage and current, AC min max", 3, {2, 1, 3, 4, 2, 5}, {1, 1}, "Measure of voltage and current",
       "U = 2V~  ( min 1V~  max 3V~ )", "I = 4A~  ( min 2A~  max 5A~ )"},
      {"advance", 4, {12.34, 20, 850.9}, {}, "Measure of advance",
       "Advance = 12.3\xB0" "CS     T = 20 \xB0" "C (68 \xB0" "F)     Speed = 850 RPM", ""},
      {"dwell", 5, {45, -10.5, 1000}, {}, "Measure of dwell angle",
       "Dwell Angle = 45.0%     T = -10 \xB0" "C (14 \xB0" "F)     Speed = 1000 RPM", ""},
      {"high voltage", 6, {12500, 900}, {}, "Measure of high-voltage one cylinder", "U = 12.5kV     Speed = 900 RPM",
       ""},
      {"double coil", 7, {9000, 11000, 800}, {}, "Measure of high-voltage one cylinder - double coil",
       "U1 = 9kV    U2 = 11kV    Speed = 800 RPM", ""},
      {"all cylinders", 8, {10000, 11000, 12000, 13000, 700}, {}, "Measure of high-voltage all cylinders",
       "first = 10kV    second = 11kV    third = 12kV    fourth = 13kV   Speed = 700 RPM", ""},
      {"temperature", 10, {20, 780}, {}, "Measure of temperature",
       "T = 20 \xB0" "C (68 \xB0" "F)     Speed = 780 RPM", ""},
      {"preinjection", 11, {3.05, 90, 2000}, {}, "Measure of preinjection",
       "Preinjection = 3.0\xB0" "CS     T = 90 \xB0" "C (194 \xB0" "F)     Speed = 2000 RPM", ""},
      {"leak of three", 12, {10, 20, 30}, {3}, "Measure of leak cylinders", "1 = 10.0%    2 = 20.0%    3 = 30.0%", ""},
      {"leak of six", 12, {1, 2, 3, 4, 5, 6}, {6}, "Measure of leak cylinders",
       "1 = 1.0%    2 = 2.0%    3 = 3.0%    4 = 4.0%    5 = 5.0%    6 = 6.0%", ""},
      {"leak of seven is empty", 12, {1, 2, 3, 4, 5, 6}, {7}, "Measure of leak cylinders", "", ""},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    CString title, line1, line2;
    ASSERT_TRUE(CPrintQueue::ItemTexts(Record(c), title, line1, line2));
    EXPECT_STREQ(title, c.title);
    EXPECT_STREQ(line1, c.line1);
    EXPECT_STREQ(line2, c.line2);
  }
  CString title, line1, line2;
  EXPECT_FALSE(CPrintQueue::ItemTexts(CPrintItemData(13), title, line1, line2)) << "type 13 draws nothing";
}

// A kV item taken while its panel showed a state prints the state instead of values, and the
// comment the user adds later does not replace it.
TEST(ItemTexts, KvItemsTakenInAStatePrintTheState) {
  for (int type : {6, 7, 8, 9}) {
    SCOPED_TRACE(type);
    CPrintItemData d(type);
    d.SetValues6(0, 0, 0, 0, 900, 0, 0, 0, "");
    d.SetState("no sensor");
    d.SetComment("Cylinder 3 weak");
    CString title, line1, line2;
    ASSERT_TRUE(CPrintQueue::ItemTexts(d, title, line1, line2));
    EXPECT_STREQ(line1, "no sensor");
    EXPECT_EQ(line1.Find("kV"), -1);
    EXPECT_STREQ(d.GetComment(), "Cylinder 3 weak");
  }
}

// ---- whole reports -----------------------------------------------------------------------------

int PageCount(const std::string& pdf) {
  const std::string info = kvtest::CommandOutput("pdfinfo '" + pdf + "' 2>/dev/null");
  const size_t at = info.find("Pages:");
  return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

std::string PageText(const std::string& pdf, int page) {
  const std::string n = std::to_string(page);
  return kvtest::CommandOutput("pdftotext -layout -f " + n + " -l " + n + " '" + pdf + "' - 2>/dev/null");
}

// Records what would go to a CUPS server: never has a destination.
class NoCups : public kvp::print::CupsBackend {
 public:
  int submitted = 0;
  bool DefaultDestination(kvp::print::CupsDestination*) override { return false; }
  bool Submit(const std::string&, const std::string&, const std::string&, int) override {
    ++submitted;
    return true;
  }
};

class ReportTest : public kvtest::CoreTest {
 protected:
  kvp::HeadlessWorld world;
  NoCups cups;
  kvp::print::CupsBackend* before = nullptr;
  std::string folder;
  CPrintQueue queue;

  void SetUp() override {
    kvtest::CoreTest::SetUp();
    before = kvp::print::SetCupsBackend(&cups);
    folder = std::string(std::getenv("HOME")) + "/reports";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    SetPdfFolder(folder.c_str());
  }
  void TearDown() override {
    kvp::print::SetCupsBackend(before);
    kvtest::CoreTest::TearDown();
  }
  static void SetPdfFolder(const char* path) {
    CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", "PdfFolder", path);
  }
  void Add(int type, int queued, int include, LPCSTR comment, double v1 = 12.0) {
    int index = -1;
    CPrintItemData* d = queue.AddItem(type, &index, queued);
    ASSERT_NE(d, nullptr);
    d->SetValues6(v1, 1, 2, 3, 4, 5, 4, 1, comment);
    if (type == 0 || type == 1) d->SetMeterValues(v1, 1, 2, 0, 1, comment);
    queue.GetItem(index)->include = include;
  }
  std::string Printed() {
    const std::string pdf = kvp::print::LastPdfFile();
    EXPECT_FALSE(pdf.empty());
    return pdf;
  }
};

TEST_F(ReportTest, WithoutQueuedItemsTheReportHasTitleHeaderAndPageOne) {
  queue.m_strVehicle = "Octavia";
  queue.m_strLicencePlate = "2AB 1234";
  Add(0, 0, 1, "pending comment");
  queue.PrintReport();
  const std::string pdf = Printed();
  EXPECT_EQ(PageCount(pdf), 1);
  const std::string text = PageText(pdf, 1);
  for (const char* expected : {"Dravix Scope Report", "Vehicle", "Licence plate", "Date and time", "Octavia",
                               "2AB 1234", "1"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  EXPECT_EQ(text.find("pending comment"), std::string::npos) << "the pending item is not printed";
  EXPECT_EQ(cups.submitted, 0) << "no destination: nothing goes to CUPS";
}

TEST_F(ReportTest, ItemsFlowOntoNumberedPagesLeavingOutExcludedAndPending) {
  queue.m_strVehicle = "Felicia 1.3 MPI, long-term test vehicle of the workshop";
  queue.m_strLicencePlate = "3C4 5678";
  const int types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  for (int round = 0; round < 2; ++round) {
    for (int type : types) {
      CString comment;
      comment.Format("item %d of round %d", type, round);
      Add(type, 1, 1, comment, 1500.0);
    }
  }
  Add(2, 1, 0, "excluded item");
  Add(4, 0, 1, "pending item");
  queue.PrintReport();
  const std::string pdf = Printed();
  const int pages = PageCount(pdf);
  EXPECT_GE(pages, 2);
  std::string all;
  for (int p = 1; p <= pages; ++p) all += PageText(pdf, p);
  EXPECT_NE(all.find("item 0 of round 0"), std::string::npos);
  EXPECT_NE(all.find("item 12 of round 1"), std::string::npos);
  EXPECT_NE(all.find("Measure of leak cylinders"), std::string::npos);
  EXPECT_EQ(all.find("excluded item"), std::string::npos);
  EXPECT_EQ(all.find("pending item"), std::string::npos);
  EXPECT_EQ(PageText(pdf, 2).find("Vehicle"), std::string::npos) << "the header box is on page 1 only";
  EXPECT_NE(PageText(pdf, 2).find("2"), std::string::npos);
  EXPECT_EQ(queue.GetCount(), 28) << "printing changes nothing in the queue";
  std::filesystem::create_directories(KV_ARTIFACT_DIR);
  std::filesystem::copy_file(pdf, std::string(KV_ARTIFACT_DIR) + "/report.pdf",
                             std::filesystem::copy_options::overwrite_existing);
}

TEST_F(ReportTest, EmptyHeaderTextsAskFirstAndAskAgainAfterCancel) {
  Add(5, 1, 1, "dwell");
  int asked = 0;
  for (int run = 0; run < 2; ++run) {
    hl::RunInLoop([&] {
      HWND active = ::GetActiveWindow();
      if (active) {
        ++asked;
        std::filesystem::create_directories(KV_SCREENSHOT_DIR);
        hl::Pump();
        kvp::SaveWindowPng(active, ScreenshotPath("header-open.png").c_str());
        hl::PressKey(VK_ESCAPE);
      }
    });
    queue.PrintReport();
    EXPECT_TRUE(queue.m_strVehicle.IsEmpty());
    EXPECT_TRUE(queue.m_strLicencePlate.IsEmpty());
  }
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(PageCount(Printed()), 1);
}

TEST_F(ReportTest, WithoutADefaultPrinterABoxAndNothingPrinted) {
  SetPdfFolder("");
  queue.m_strVehicle = "kept";
  Add(0, 1, 1, "x");
  const std::string lastBefore = kvp::print::LastPdfFile();
  queue.PrintReport();
  const auto log = kvp::MessageBoxLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().text, "You no default printer has been found!");
  EXPECT_EQ(log.back().type & 0xF, static_cast<UINT>(MB_OK));
  EXPECT_EQ(kvp::print::LastPdfFile(), lastBefore);
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  EXPECT_STREQ(queue.m_strVehicle, "kept");
  EXPECT_EQ(cups.submitted, 0);
}

// ---- drawing on screen ------------------------------------------------------------------------

// On screen (y down, positive heights) an item occupies its title row, its value row and, with a
// comment, one more row; nothing is drawn below.
TEST(DrawItemOnScreen, RowsFollowTheLineHeight) {
  kvp::HeadlessWorld world;
  Host host;
  host.fill = RGB(255, 255, 255);
  CPrintQueue queue;
  int index = -1;
  queue.AddItem(0, &index, 1)->SetMeterValues(230, 0, 0, 1, 0, "");
  queue.AddItem(2, &index, 1)->SetValue1(2200, "with a comment");
  const int f = 20, lh = 32;
  host.onPaint = [&](CDC* dc) {
    dc->SetBkMode(TRANSPARENT);
    queue.DrawItem(dc, queue.GetItem(0), 10, CRect(0, 0, 600, 0), f);
    queue.DrawItem(dc, queue.GetItem(1), 200, CRect(0, 0, 600, 0), f);
  };
  ASSERT_TRUE(host.CreateTop(0, 0, 600, 400));
  hl::Pump();
  std::filesystem::create_directories(KV_SCREENSHOT_DIR);
  kvp::SaveWindowPng(host.GetSafeHwnd(), ScreenshotPath("items-screen.png").c_str());
  auto inked = [&](int x0, int x1, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        if (Pixel(host, x, y) != RGB(255, 255, 255)) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(inked(0, 120, 10, 10 + lh)) << "title at the left of the first row";
  EXPECT_FALSE(inked(400, 600, 10, 10 + lh)) << "the title is not centred";
  EXPECT_TRUE(inked(250, 350, 10 + lh, 10 + 2 * lh)) << "value line centred in the second row";
  EXPECT_FALSE(inked(0, 600, 10 + 2 * lh, 190)) << "nothing below an item without comment";
  EXPECT_TRUE(inked(130, 600, 200 + 2 * lh, 200 + 3 * lh)) << "the comment row";
  EXPECT_FALSE(inked(0, 600, 200 + 3 * lh + 4, 400));
}

}  // namespace
