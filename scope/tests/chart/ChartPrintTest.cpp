// The chart's printout: through the scripted print dialog into a PDF (one landscape page, the
// title, the legend lines of the shown channels and occupied saved scopes, a long name shortened,
// cancel prints nothing), the grid's width by shown divisions on an image-surface printer, and the
// saved scope's time per division.
#include "ChartScene.h"

#include <scope/chart/OscChartWnd.h>
#include <scope/SavedScopeFill.h>
#include <scope/ScopeFiles.h>
#include <scope/SignalFile.h>
#include <scope/SavedScopeText.h>

#include <core/ColorScheme.h>
#include <core/MeasureType.h>
#include <core/Reg.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>
#include <kvtest/Shell.h>

#include <platform/display.h>
#include <platform/gdi_surface.h>
#include <platform/print.h>
#include <platform/textlog.h>

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace hl = kvp::headless;

class NoCups : public kvp::print::CupsBackend {
 public:
  bool DefaultDestination(kvp::print::CupsDestination*) override { return false; }
  bool Submit(const std::string&, const std::string&, const std::string&, int) override { return false; }
};

const std::string kLongFileName =
    "Ignition secondary, cylinder one, warm engine at idle, before the new plugs were fitted.osg";

class ChartPrintTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    chartscene::ResetScopeState();
    chartscene::SetTimeBase(10);
    chartscene::SetVerticalAxes();
    chartscene::SetupStyles();
    before = kvp::print::SetCupsBackend(&cups);
    folder = fs::path(std::getenv("HOME")) / "chart-prints";
    fs::remove_all(folder);
    fs::create_directories(folder);
    CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", "PdfFolder", folder.c_str());
    ASSERT_TRUE(host.CreateTop(0, 0, 440, 340));
    ASSERT_TRUE(chart.Create(&host, CRect(0, 0, 400, 300)));
    chart.ShowWindow(SW_SHOW);
    hl::Pump();
  }
  void TearDown() override {
    kvp::StopTextLog();
    chart.DestroyWindow();
    host.DestroyWindow();
    kvp::print::SetCupsBackend(before);
    chartscene::ResetScopeState();
    kvtest::CoreTest::TearDown();
  }

  // A signal file of channel A in AC coupling (value(i) at 1000 points) saved at `perDivision` and
  // `rate`, written as `name` and opened into the first free saved scope as the open command does.
  void OpenSaved(const std::string& name, int rate, double perDivision, const std::function<double(int)>& value) {
    scope::SignalFile file;
    file.m_nChannelsStored = 1;
    file.m_nSampleRate = rate;
    scope::SignalChannel& a = file.m_Channels[0];
    a.m_bPresent = true;
    a.m_nCoupling = 0;
    a.m_dPerDivision = perDivision;
    a.m_dFullScale = 10 * perDivision;
    a.m_nUnit = 0;
    for (int i = 0; i < 1000; ++i) a.m_Points.push_back({value(i), scope::kPointValid});
    const fs::path path = folder / name;
    const std::vector<uint8_t> bytes = scope::EncodeOsgFile(file);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    scope::SignalFile read;
    ASSERT_TRUE(scope::ReadSignalFile(path.string().c_str(), read).m_bOk);
    fs::remove(path);
    ASSERT_TRUE(scope::LoadIntoSavedScope(read, name.c_str(), fs::path(name).stem().string().c_str()));
  }

  // Channel A on (DC coupling, 2 V/div), B off; 1 ms/div; saved scope C (AC, 500 mV/div) opened
  // from a file with a long name.
  void Scene() {
    GlobalProps& p = GetGlobalProps();
    p.m_bInitialized = 1;
    for (int ch = 0; ch < 2; ++ch) {
      CChannelProps& c = p.m_Channels[ch];
      c.m_Ranges.Add(16.0);
      c.m_Ranges.m_dScale = 1.0;
      c.m_Ranges.m_nUnit = 0;
      c.m_nRangeIndex = 0;
      c.m_nModeEnable = ch == 0 ? 1 : 0;
      c.m_nCoupling = 1;
    }
    p.m_TimeBase.m_Rates.Add(100000.0);
    p.m_TimeBase.m_nSelected = 0;
    p.m_nRecordLength = 2000;
    chartscene::FillTrace(0, chartscene::Sine);
    GetGlobalProps().m_Channels[1].m_nModeEnable = 0;
    OpenSaved(kLongFileName, 100000, 0.5, chartscene::Square);
  }

  // Letters of the legend lines in order, with their colours.
  static std::vector<std::pair<std::string, COLORREF>> LegendLetters() {
    std::vector<std::pair<std::string, COLORREF>> out;
    for (const kvp::DrawnText& t : kvp::DrawnTexts()) {
      if (t.text == "A" || t.text == "B" || t.text == "C" || t.text == "D" || t.text == "E" || t.text == "F") {
        if (t.flags & DT_BOTTOM) continue;  // the level marks' labels
        out.emplace_back(t.text, t.color);
      }
    }
    return out;
  }

  static bool Logged(const std::string& text) {
    for (const kvp::DrawnText& t : kvp::DrawnTexts()) {
      if (t.text == text) return true;
    }
    return false;
  }

  kvp::HeadlessWorld world;
  kvtest::HostWindow host;
  COscChartWnd chart;
  NoCups cups;
  kvp::print::CupsBackend* before = nullptr;
  fs::path folder;
};

TEST_F(ChartPrintTest, OneLandscapePageWithTitleGridAndLegend) {
  Scene();
  kvp::StartTextLog();
  bool asked = false;
  hl::RunInLoop([&] {
    asked = kvp::print::OpenPrintDialogWindow() != 0;
    hl::PressKey(VK_RETURN);
  });
  chart.OnSystemNotify(notify::kFromControlPanel, notify::kPrintChart, 0);
  EXPECT_TRUE(asked);
  const std::string pdf = kvp::print::LastPdfFile();
  ASSERT_FALSE(pdf.empty());
  ASSERT_TRUE(fs::exists(pdf));
  EXPECT_EQ(fs::path(pdf).parent_path(), folder);

  const auto letters = LegendLetters();
  ASSERT_EQ(letters.size(), 2u) << "channel B is off, the second saved scope empty";
  EXPECT_EQ(letters[0], std::make_pair(std::string("A"), GetSchemeColor(0)));
  EXPECT_EQ(letters[1], std::make_pair(std::string("C"), GetSchemeColor(30)));
  EXPECT_TRUE(Logged("2V/div")) << "DC coupling: no tilde";
  EXPECT_TRUE(Logged("1ms"));
  EXPECT_TRUE(Logged("~500mV/div")) << "AC coupling, saved as the live channels: the tilde";
  EXPECT_TRUE(Logged("500\xB5s")) << "the saved scope's time per division: 1000 / (20 * rate)";
  bool nameLogged = false;
  for (const kvp::DrawnText& t : kvp::DrawnTexts()) {
    if (t.text == kLongFileName) {
      nameLogged = true;
      EXPECT_EQ(t.flags, static_cast<UINT>(DT_SINGLELINE | DT_RIGHT | DT_PATH_ELLIPSIS));
    }
  }
  EXPECT_TRUE(nameLogged);

  if (!kvtest::HaveTool("pdfinfo") || !kvtest::HaveTool("pdftotext")) GTEST_SKIP() << "poppler-utils not installed";
  const std::string info = kvtest::CommandOutput("pdfinfo '" + pdf + "'");
  EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
  EXPECT_NE(info.find("841.92 x 595.32"), std::string::npos) << "landscape A4\n" << info;
  const std::string text = kvtest::CommandOutput("pdftotext -layout '" + pdf + "' -");
  EXPECT_NE(text.find("Dravix Scope - Oscilloscope chart"), std::string::npos) << text;
  EXPECT_NE(text.find("~500mV/div"), std::string::npos) << text;
  EXPECT_NE(text.find("Ignition"), std::string::npos) << text;
  EXPECT_NE(text.find("fitted.osg"), std::string::npos) << "both ends of the file's name stay\n" << text;
  EXPECT_EQ(text.find("warm engine at idle"), std::string::npos) << "the middle is shortened\n" << text;
}

TEST_F(ChartPrintTest, CancelPrintsNothing) {
  Scene();
  const std::string before = kvp::print::LastPdfFile();
  hl::RunInLoop([] { hl::PressKey(VK_ESCAPE); });
  chart.OnSystemNotify(notify::kFromControlPanel, notify::kPrintChart, 0);
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_EQ(kvp::print::LastPdfFile(), before);
}

// The page on an image surface standing in for the printer: the frame's left and right edges on
// the grid's middle row.
struct Page {
  int frameLeft = -1;
  int frameRight = -1;
};

Page DrawOnImage(COscChartWnd& chart, int width, int height, const char* screenshot = nullptr) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_destroy(cr);
  CDC dc;
  dc.Attach(kvp::CreatePrinterDC(surface, 72, SIZE{width, height}));  // one dot per pixel
  chart.DrawPrintedPage(&dc);
  ::DeleteDC(dc.Detach());
  cairo_surface_flush(surface);
  Page page;
  const int H = height;
  const int y = H / 36 + H / 50 + static_cast<int>(0.7 * H) / 2;
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  auto px = [&](int x) { return reinterpret_cast<const uint32_t*>(data + y * stride)[x] & 0xFFFFFF; };
  for (int x = 0; x < width; ++x) {
    if (px(x) == 0) {
      if (page.frameLeft < 0) page.frameLeft = x;
      page.frameRight = x;
    }
  }
  if (screenshot) cairo_surface_write_to_png(surface, screenshot);
  cairo_surface_destroy(surface);
  return page;
}

TEST_F(ChartPrintTest, TheGridIsTwiceAsWideAt20DivisionsAndCentred) {
  const int W = 842, H = 595;  // A4 landscape at 72 dots per inch
  const Page ten = DrawOnImage(chart, W, H);
  chartscene::SetTimeBase(20);
  const Page twenty = DrawOnImage(chart, W, H);
  const int g = static_cast<int>(0.7 * H);
  EXPECT_NEAR(ten.frameRight - ten.frameLeft, g, 6);
  EXPECT_NEAR(twenty.frameRight - twenty.frameLeft, 2 * g, 6);
  EXPECT_NEAR((ten.frameLeft + ten.frameRight) / 2, W / 2, 3);
  EXPECT_NEAR((twenty.frameLeft + twenty.frameRight) / 2, W / 2, 3);
}

TEST_F(ChartPrintTest, PageOfTheLiveSceneForPeople) {
  Scene();
  chartscene::FillTrace(1, chartscene::Square);
  CSavedSignal* c = GetSavedScopes()[0].m_Signals[0];
  c->m_bShowLevel1 = 1;
  c->m_dLevel1 = 2.0;
  GetGlobalProps().m_Styles[GlobalProps::STYLE_LEVEL_B].m_dValue = -3.5;
  GetGlobalProps().m_Channels[1].m_nModeEnable = 1;
  // The E/F scope was saved without a time base (rate 0).
  OpenSaved("no time base.osg", 0, 1.0, [](int i) { return chartscene::Sine(i) / 2 - 1.0; });
  scope::GetScopeState().ScopeRecording = 0;
  scope::GetScopeState().InvertState = 1;
  kvp::StartTextLog();
  DrawOnImage(chart, 1684, 1190, kvtest::ScreenshotPath("scope-print-page").c_str());
  EXPECT_TRUE(Logged("Dravix Scope - Oscilloscope chart"));
  EXPECT_FALSE(Logged("Invert ChA")) << "the invert text stays on the screen";
  const auto letters = LegendLetters();
  ASSERT_EQ(letters.size(), 4u);
  EXPECT_EQ(letters[3], std::make_pair(std::string("E"), GetSchemeColor(32)));
  EXPECT_TRUE(Logged("---"));
  EXPECT_TRUE(Logged("no time base.osg"));
}

TEST(SavedScopeText, TimePerDivisionByModeAndRate) {
  kvtest::ResetCoreGlobals();
  CStepScale& grid = GetTimeStepScale();
  grid.m_nSteps = 20;
  grid.m_nCurrentStep = 10;
  struct Case {
    int roll;
    int angle;
    double rate;
    const char* text;
  } cases[] = {
      {0, 0, 100000.0, "500\xB5s"},  // 1000 / (20 * 1e5)
      {1, 0, 100.0, "500ms"},     // 500 / (100 * 10)
      {0, 1, 2.5, "20\xB0"},      // 1000 / (20 * 2.5)
      {0, 1, 3.0, "16\xB0"},      // 16.67 truncated
      {0, 0, 0.0, "---"},         // saved without a time base
      {1, 0, -5.0, "---"},
  };
  for (const Case& c : cases) {
    CSavedScope scope;
    scope.m_bRollMode = c.roll;
    scope.m_bAngleMode = c.angle;
    scope.m_dSampleRate = c.rate;
    EXPECT_EQ(std::string(FormatSavedScopeTimePerDiv(scope)), c.text) << c.rate;
  }
  grid.m_nSteps = 0;
  CSavedScope scope;
  scope.m_dSampleRate = 1000.0;
  EXPECT_EQ(std::string(FormatSavedScopeTimePerDiv(scope)), "---") << "no record divisions";
  kvtest::ResetCoreGlobals();
}

TEST(SavedScopeText, PerDivisionByMagnitude) {
  struct Case {
    double value;
    int unit;
    const char* text;
  } cases[] = {{0.5, 0, "500mV"}, {0.02, 1, "20mA"}, {2.0, 0, "2.000V"}, {50.0, 0, "50.0V"}, {-2.0, 2, "-2.000"}};
  for (const Case& c : cases) {
    CSavedSignal s;
    s.m_dPerDivision = c.value;
    s.m_nUnit = c.unit;
    EXPECT_EQ(std::string(FormatSavedSignalPerDiv(s)), c.text) << c.value;
  }
}

}  // namespace
