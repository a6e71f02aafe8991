// CWndInfo: the pane of the Info tab. It measures nothing and has no controls: it paints one page
// with the program's version, the measurement library's version and the identity texts of the
// measuring board and of the engine-tester board as start-up read them.
#pragma once

#include <ui/PaneWnd.h>
#include <ui/XPWndBaseColor.h>

#include <functional>

class CWndInfo : public CXPWndBaseColor, public IPaneWnd {
 public:
  // The texts the page shows, read at every paint.
  struct Texts {
    CString program;      // the program's version text
    CString library;      // the measurement library's "%d Build %d.%d"
    CString board;        // the measuring board's name
    CString motortester;  // the engine-tester board's name
  };
  static constexpr const char* kNoInformation = "No information";

  CWndInfo();

  void Init() override {}
  void Activate(int previousTab) override;
  BOOL Deactivate() override;
  void Show(BOOL show) override;

  BOOL CreateChildren() override;
  void PaintContent(CDC* dc) override;

  // The engine's identity texts and the resource holder's version; an empty identity text reads
  // "No information" (the link was never opened).
  static Texts CurrentTexts();
  // Where the page takes its texts from (tests give their own).
  std::function<Texts()> m_source = &CWndInfo::CurrentTexts;

  // The frame around the identity block for a client rectangle.
  static CRect FrameOf(const CRect& client);

  CFont m_fontTitle;
  CFont m_fontText;
  CFont m_fontBold;
};

// The table entry of the info pane (tab 8).
PaneEntry InfoEntry();
