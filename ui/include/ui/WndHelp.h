// CWndHelp: the pane of the help tab. For one measurement at a time (a help page) it draws the
// board's connectors as a table, marks those the measurement uses, names the probes that belong
// there and shows by colour whether the right probe is plugged in; the probes are read again
// every 500 ms while the pane is shown. The list of measurements beside the table chooses the
// page; other panes choose it by leaving a help mode in the engine-tester data object.
#pragma once

#include <ui/PaneWnd.h>
#include <ui/WndListOfMeasure.h>
#include <ui/XPWndBaseColor.h>

#include <kv310/Records.h>

#include <array>

class CWndHelp : public CXPWndBaseColor, public IPaneWnd {
 public:
  enum { CONNECTORS = 10, PAGES = 34, LIST_ID = 101245, REFRESH_TIMER = 1, REFRESH_MS = 500 };
  static constexpr COLORREF kUnused = RGB(192, 192, 192);
  static constexpr COLORREF kGreyField = RGB(205, 205, 205);
  static constexpr COLORREF kGreenField = RGB(0, 255, 0);
  static constexpr COLORREF kRedField = RGB(255, 0, 0);
  static constexpr COLORREF kConnectorColors[CONNECTORS] = {
      RGB(218, 37, 29), RGB(31, 26, 23),  RGB(117, 41, 41), RGB(255, 255, 255), RGB(218, 37, 29),
      RGB(255, 245, 0), RGB(117, 41, 41), RGB(0, 146, 64),  RGB(0, 147, 221),   RGB(255, 255, 255)};

  using Flags = std::array<int, CONNECTORS>;

  // Reads once whether the engine-tester board is present.
  CWndHelp();

  // ---- the tables ----------------------------------------------------------------------------
  // The page of a help mode (1 for a mode outside the table).
  static int PageOfMode(int mode);
  // The help mode of a page; page 10 depends on the coil type (1: 14, else 11). 0 outside 1..34.
  static int ModeOfPage(int page, int coilType);
  // The connector of the speed sensor by its code (1 → 9, 4 → 5, 2 and 3 → 8), -1 for none.
  static int SpeedSensorConnector(int code);
  // The connectors a page uses. probeAt4 is the code found at connector 4 (pages 11 and 12).
  static Flags PageFlags(int page, BOOL engineTester, int speedSensorCode, int probeAt4, int coilType);
  // The list row a page scrolls to when it is selected with focus.
  static int ListRowOfPage(int page, BOOL engineTester);
  // The name of a probe code (empty for an unknown code).
  static CString ProbeName(int code);
  // The colour of a connector's field: grey when unused or no probe; with the fits flag green when
  // the code belongs to the connector, else red; red without it.
  static COLORREF FieldColor(BOOL used, int code, BOOL fits, int connector, int helpMode, BOOL engineTester,
                             int coilType);

  // ---- the pane --------------------------------------------------------------------------------
  void Init() override {}
  void Activate(int previousTab) override;
  BOOL Deactivate() override;
  void Show(BOOL show) override;

  // Sets the page flags and the help mode; with focus also the link's focus and the list's row.
  void SelectPage(int page, BOOL focus);
  // Reads the probes of the shown connectors (see the pane's comment) and redraws.
  void RefreshProbes();

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void PaintContent(CDC* dc) override;
  void OnTimer(UINT_PTR id) override;

  // The text shown beside a connector (its probe or the probes that belong there).
  CString ConnectorText(int connector) const;
  int ShownConnectors() const { return m_bEngineTester ? CONNECTORS : 2; }

  CFont m_fontTitle;
  CFont m_fontText;
  CFont m_fontBold;
  CWndListOfMeasure m_List;
  Flags m_nPageFlags{};
  ProbeInputRecord m_Records[CONNECTORS]{};
  BOOL m_bEngineTester = FALSE;
  int m_nPage = 1;
  int m_nRefreshes = 0;  // probe refreshes made (tests watch the timer with it)

 private:
  void RefreshWithEngineTester();
  void RefreshBoardOnly();
  void MakeFonts();
  CRect m_rcFonts;
};

// The table entry of the help pane (tab 7).
PaneEntry HelpEntry();
