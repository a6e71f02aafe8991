// The info pane: a fixed page of version and identity texts inside a sunken frame.
#include <ui/WndInfo.h>

#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/ResourceHolder.h>
#include <core/Texts.h>

#include <platform/dcscope.h>
#include <platform/resources.h>

namespace {

constexpr UINT kProgramIcon = 133;

CString OrNoInformation(const CString& text) { return text.IsEmpty() ? CString(CWndInfo::kNoInformation) : text; }

// Draws a one-line text and returns its height.
void DrawLine(CDC* dc, const CString& text, CRect rect, UINT extra = 0) {
  dc->DrawText(text, -1, &rect, DT_SINGLELINE | DT_LEFT | DT_NOPREFIX | extra);
}

// A sunken line across the rectangle's width, half a line below its top.
void Separator(CDC* dc, const CRect& rect, int lineHeight) {
  CRect line(rect.left, rect.top + lineHeight / 2, rect.right, rect.top + lineHeight / 2);
  dc->DrawEdge(&line, EDGE_SUNKEN, BF_TOP);
}

}  // namespace

CWndInfo::CWndInfo() = default;

CWndInfo::Texts CWndInfo::CurrentTexts() {
  Texts texts;
  const CResourceHolder& holder = GetResourceHolder();
  texts.program = holder.m_strText2.IsEmpty() ? holder.m_strText1 : holder.m_strText2;
  CMeasureEngine& engine = GetMeasureEngine();
  texts.library = OrNoInformation(engine.GetVersionText());
  texts.board = OrNoInformation(engine.GetBoardName());
  texts.motortester = OrNoInformation(engine.GetMotortesterName());
  return texts;
}

void CWndInfo::Activate(int) { Show(TRUE); }

BOOL CWndInfo::Deactivate() {
  Show(FALSE);
  return TRUE;
}

void CWndInfo::Show(BOOL show) {
  if (GetSafeHwnd()) ShowWindow(show ? SW_SHOW : SW_HIDE);
}

BOOL CWndInfo::CreateChildren() {
  BYTE charSet = GetGlobalProps().GetCharSet();
  CreateFontOnce(m_fontTitle, "Times New Roman", -20, charSet, FALSE, FALSE, FALSE, 0);
  CreateFontOnce(m_fontText, "MS Sans serif", -8, charSet, FALSE, FALSE, FALSE, 0);
  CreateFontOnce(m_fontBold, "MS Sans serif", -8, charSet, TRUE, FALSE, FALSE, 0);
  return TRUE;
}

CRect CWndInfo::FrameOf(const CRect& client) {
  return CRect(client.left + 100, client.top + 120, client.right - 100, client.bottom - 150);
}

void CWndInfo::PaintContent(CDC* dc) {
  const Texts texts = m_source ? m_source() : Texts{};
  CRect frame = FrameOf(m_rcClient);
  dc->SetBkMode(TRANSPARENT);
  dc->DrawEdge(&frame, EDGE_SUNKEN, BF_RECT);

  if (HICON icon = LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(kProgramIcon))) {
    DrawIcon(dc->m_hDC, frame.left, frame.top - 62, icon);
  }

  kvp::DcSelect font(dc, &m_fontTitle);
  CRect title(frame.left + 40, frame.top - 62, frame.right + 40, frame.top - 30);
  DrawLine(dc, texts.program, title, DT_VCENTER);

  dc->SelectObject(&m_fontText);
  CRect measure(0, 0, 0, 0);
  dc->DrawText(GetDefaultText(29), -1, &measure, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
  const int h = measure.Height();
  DrawLine(dc, GetDefaultText(29), CRect(frame.left, frame.top - (h + 2), frame.right, frame.top));

  CRect text = frame;
  text.DeflateRect(10, 0);
  text.OffsetRect(0, 10 + h + 2);
  dc->SelectObject(&m_fontBold);
  DrawLine(dc, GetDefaultText(31), text);
  text.OffsetRect(0, h + 6);
  dc->SelectObject(&m_fontText);
  CString line;
  line.Format("%s: %s", GetDefaultText(30), static_cast<LPCSTR>(texts.program));
  DrawLine(dc, line, text);

  text.OffsetRect(0, h + 2);
  Separator(dc, text, h);
  dc->SelectObject(&m_fontBold);
  text.OffsetRect(0, h + 2);
  DrawLine(dc, GetDefaultText(33), text);
  text.OffsetRect(0, h + 6);
  dc->SelectObject(&m_fontText);
  line.Format("%s: %s", GetDefaultText(30), static_cast<LPCSTR>(texts.library));
  DrawLine(dc, line, text);

  // The two names wrap over the rectangle's width; each pushes the next one down.
  text.OffsetRect(0, h + 2);
  for (const CString* name : {&texts.board, &texts.motortester}) {
    CRect box(text.left, text.top, text.right, text.top);
    dc->DrawText(*name, -1, &box, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    CRect draw(text.left, text.top, text.right, text.top + box.Height());
    dc->DrawText(*name, -1, &draw, DT_WORDBREAK | DT_LEFT | DT_NOPREFIX);
    text.OffsetRect(0, box.Height() + 4);
  }
  Separator(dc, text, h);
  dc->SelectObject(&m_fontBold);

  CRect notice(frame.left + 40, frame.bottom + 5, frame.right - 40, m_rcClient.bottom);
  dc->DrawText(GetDefaultText(35), -1, &notice, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
}

PaneEntry InfoEntry() {
  PaneEntry entry;
  entry.tab = 8;
  entry.name = "Info";
  entry.childId = 1014;
  entry.make = [] { return std::unique_ptr<CWnd>(new CWndInfo); };
  entry.create = [](CWnd& pane, const char* name, CWnd* parent, UINT id) {
    return static_cast<CWndInfo&>(pane).Create(name, WS_CHILD | WS_CLIPSIBLINGS, CRect(0, 0, 0, 0), parent, id);
  };
  return entry;
}
