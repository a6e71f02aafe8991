// Smoke test of the record analyzer on the X11 back end, on a private Xvfb server and the real
// clock: a record on the chart, the time line's thumb dragged by mouse messages.
#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerCommon.h>
#include <meters/analyzer/WndRecordAnalyzer.h>

#include <platform/afxwin.h>
#include <platform/clock.h>
#include <platform/display.h>

#include <gtest/gtest.h>

#include <kvtest/HostWindow.h>
#include <kvtest/Xvfb.h>

#include <cstdlib>

namespace {

TEST(AnalyzerX11Test, TheTimeLineThumbFollowsADrag) {
  kvtest::Xvfb server{"1100x800x24"};
  if (!server.Ready()) GTEST_SKIP() << "no Xvfb";
  kvp::ClockUseVirtual(false);
  ASSERT_TRUE(kvp::OpenX11Display(server.Name().c_str()));
  {
    HWND host =
        CreateWindowEx(0, kvtest::HostWindowClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, 1040, 720, 0, 0, 0, 0);
    ASSERT_TRUE(host);
    ClearRecordList();
    CRecord* r = AddNewRecord(nullptr);
    r->m_dPerDivision = 1.0;
    r->m_dFullScale = 8.0;
    r->m_dSampleRate = 1000.0;
    r->m_nPointCount = 20000;
    r->m_Ring.init(20000);
    for (int i = 0; i < 20000; ++i) r->m_Ring.append(static_cast<SHORT>(40 * (i % 500) - 10000));
    r->FinishLook(0, 400);
    CWndRecordAnalyzer pane;
    ASSERT_TRUE(pane.Create("RecordAnalyzer", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1040, 720), CWnd::FromHandle(host), 1021));
    pane.Init();
    pane.Activate(0);
    GetRecorder().m_View.m_nZoom = 1;
    analyzer::Notify(13, 74);
    analyzer::Notify(13, 72);
    analyzer::Notify(13, 56);
    kvp::headless::Pump();

    CWndAnalyzerTimeLine& line = pane.m_TimeLine;
    CRect c;
    line.GetClientRect(&c);
    const CRect thumb = line.m_rcThumb;
    ASSERT_GT(thumb.Width(), 0);
    const int y = c.Height() / 2;
    ::SendMessage(line.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(thumb.left + 1, y));
    EXPECT_EQ(line.m_bDragging, 1);
    ::SendMessage(line.GetSafeHwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(c.Width() / 2, y));
    ::SendMessage(line.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(c.Width() / 2, y));
    kvp::headless::Pump();
    EXPECT_EQ(line.m_bDragging, 0);
    const int expected = static_cast<int>(static_cast<double>(c.Width() / 2) / c.Width() * (line.m_nMax - line.m_nMin));
    EXPECT_EQ(line.m_nValue, expected);
    EXPECT_EQ(GetRecorder().m_View.m_nPosition, expected + 400);
    EXPECT_GT(line.m_rcThumb.left, thumb.left);
    ClearRecordList();
    pane.DestroyWindow();
    DestroyWindow(host);
  }
  kvp::CloseDisplay();
}

}  // namespace
