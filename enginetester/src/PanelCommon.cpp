#include <enginetester/PanelCommon.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>

namespace et {

const char* StatusText(int status) {
  switch (status) {
    case 2: return GetGlobalProps().GetText(kTextNoSensor);
    case 3: return GetGlobalProps().GetText(kTextBadProbe);
    case 4: return GetGlobalProps().GetText(kTextNoResponse);
    default: return GetGlobalProps().GetText(kTextError);
  }
}

BOOL CreatePanelButton(CXPCtrlBtn& button, CWnd* owner, LPCSTR name, UINT id, Face face, BOOL visible,
                       CXPCtrlBtn::IDrawClbck* draw, CXPCtrlBtn::IBtnClbck* click) {
  const COLORREF back = kHotFace;
  switch (face) {
    case Face::Title: button.SetColors(GetSchemeColor(kTitleFaceScheme), kHotFace, back, kFrame); break;
    case Face::Display:
      button.SetColors(GetSchemeColor(kDisplayFaceScheme), kHotFace, back, kFrame);
      button.flags |= kDisplayStyle;
      break;
    case Face::Plain: button.SetColors(GetSchemeColor(kTitleFaceScheme), kHotFace, back, kFrame); break;
  }
  button.drawClbck = draw;
  button.btnClbck = click;
  const CRect none(0, 0, 0, 0);
  return button.Create(name, WS_CHILD | (visible ? WS_VISIBLE : 0), none, owner, id);
}

void DrawFaceText(CDC* dc, const RECT& rect, LPCSTR text, CFont* font, COLORREF color, UINT format) {
  if (!dc || !text) return;
  kvp::DcSelect selectFont(dc, font && font->GetSafeHandle() ? font : nullptr);
  kvp::DcText colour(dc, color, TRANSPARENT);
  CRect r(rect);
  dc->DrawText(text, -1, &r, format | DT_SINGLELINE);
}

void MakePanelFont(CFont& font, int height) {
  font.DeleteObject();
  CreateFontOnce(font, "Arial", height, GetGlobalProps().GetCharSet(), TRUE, FALSE, FALSE, 0);
}

int FittingFontHeight(CDC* dc, LPCSTR text, int height, CSize box) {
  if (!dc || !text) return height > 1 ? height : 1;
  for (; height > 1; --height) {
    CFont font;
    MakePanelFont(font, -height);
    kvp::DcSelect selectFont(dc, &font);
    const CSize extent = dc->GetTextExtent(text);
    if (extent.cx <= box.cx && extent.cy <= box.cy) break;
  }
  return height > 1 ? height : 1;
}

}  // namespace et
