#include <core/ResourceHolder.h>

#include <core/OscScale.h>
#include <core/SavedScope.h>

#include <platform/module.h>

namespace {

// Stand-ins for cursor resources the platform cannot load, by what each cursor is for.
LPCSTR SystemCursorFor(int id) {
  switch (id) {
    case 143: return IDC_SIZEWE;  // left-right thumb
    case 144: return IDC_SIZENS;  // up-down thumb
    case 191: return IDC_SIZEWE;  // time-line thumb
    default: return IDC_ARROW;
  }
}

}  // namespace

int CResourceHolder::LoadResources() {
  const HINSTANCE instance = GetModuleHandle(nullptr);
  for (int i = 0; i < CURSOR_COUNT; ++i) {
    m_hCursors[i] = LoadCursor(instance, MAKEINTRESOURCE(kCursorIds[i]));
    if (!m_hCursors[i]) m_hCursors[i] = LoadCursor(0, SystemCursorFor(kCursorIds[i]));
  }
  return 1;
}

HCURSOR CResourceHolder::GetCursor(int resourceId) const {
  for (int i = 0; i < CURSOR_COUNT; ++i)
    if (kCursorIds[i] == resourceId) return m_hCursors[i];
  return 0;
}

void CResourceHolder::LayoutScreenArea(ScreenArea area, RECT& rect) const {
  const LONG L = m_rcClient.left, T = m_rcClient.top, R = m_rcClient.right, B = m_rcClient.bottom;
  const LONG W = R - L;
  const LONG M = 5, N = 0;
  const LONG D = W / 50;
  const LONG E = m_bNarrowChart ? static_cast<LONG>(W * 0.572) : R - static_cast<LONG>(W * 0.006) - M - D - 30;
  const LONG H = B - T - 30;
  const LONG V = static_cast<LONG>(H / 27.1);
  const LONG A = static_cast<LONG>(H / 20.1);
  const LONG S = GetSavedScopeCount();

  RECT r = rect;
  auto from = [&](ScreenArea base) {
    RECT b = rect;
    LayoutScreenArea(base, b);
    return b;
  };
  switch (area) {
    case ScreenArea::Chart:
      r.left = M + 30;
      r.right = M + E + 30;
      r.top = A + 2 * V + N + static_cast<LONG>((B - T) * 0.005);
      r.bottom = r.top + static_cast<LONG>(H / 1.422) - V * S;
      break;
    case ScreenArea::TopStrip:
      r = from(ScreenArea::TextStrip);
      r.top = r.bottom;
      r.bottom = r.bottom + V - 3;
      break;
    case ScreenArea::BottomStrip:
      r = from(ScreenArea::Chart);
      r.top = r.bottom + 3;
      r.bottom = r.bottom + V + 3;
      break;
    case ScreenArea::TimeRuler:
      r = from(ScreenArea::TopStrip);
      r.top = r.bottom;
      r.bottom = r.bottom + A;
      break;
    case ScreenArea::ControlPanel:
      r = from(ScreenArea::PaneArea);
      r.bottom -= 32;
      r.top += 2;
      // One expression, truncated once: the two fractional products together can carry a pixel.
      r.left = static_cast<LONG>(M + W * 0.006 + r.right + W * 0.572 - R + 30);
      if (!m_bNarrowChart) r.left -= D;
      break;
    case ScreenArea::MeasuresStrip:
      r = from(ScreenArea::BottomStrip);
      r.left -= 1;
      r.right += 1;
      r.top = r.bottom;
      r.bottom = r.bottom + static_cast<LONG>(H / 9.0);
      break;
    case ScreenArea::LevelRuler:
      r = from(ScreenArea::Chart);
      r.left = M;
      r.right = M + 27;
      break;
    case ScreenArea::CursorPanel:
      r = from(ScreenArea::BottomStrip);
      r.left -= 1;
      r.right += 1;
      r.top = r.bottom;
      r.bottom = r.bottom + static_cast<LONG>(H / 8.5);
      break;
    case ScreenArea::TabStrip:
      r = RECT{0, 0, R, 30};
      break;
    case ScreenArea::PaneArea:
      r = from(ScreenArea::TabStrip);
      r.top = r.bottom;
      r.bottom = B;
      break;
    case ScreenArea::TextStrip:
      r = from(ScreenArea::Chart);
      r.left -= 2;
      r.right += 2;
      r.top = 0;
      r.bottom = V;
      break;
    case ScreenArea::MinimizePanel:
      r = from(ScreenArea::PaneArea);
      r.bottom -= 32;
      r.top += 2;
      r.left = r.right - D;
      break;
    case ScreenArea::SavedCD:
    case ScreenArea::SavedEF:
      r = from(ScreenArea::MeasuresStrip);
      r.top = r.bottom + 3;
      r.bottom = r.bottom + V + 3;
      break;
    case ScreenArea::ManualButton: {
      const RECT b = from(ScreenArea::TextStrip);
      r = RECT{0 + 1, 3 + 1, b.left - 1, b.left + 3 - 1};
      break;
    }
    default:
      return;
  }
  rect = r;
}

int CResourceHolder::SetZoomFactor(int type) {
  static const int factors[] = {2, 5, 10, 1};
  if (type < 0 || type > 3) return 0;
  if (!SetTimeDivisors(GetTimeDivisorBase(), factors[type], 0)) return 0;
  m_nZoomType = type;
  return 1;
}

CResourceHolder& GetResourceHolder() {
  static CResourceHolder holder;
  return holder;
}

void CopyRectIfDifferent(RECT& target, const RECT& source) {
  if (target.left != source.left || target.top != source.top || target.right != source.right ||
      target.bottom != source.bottom)
    target = source;
}

CursorScaleRecord& GetCursorScaleRecord() {
  static CursorScaleRecord record;
  return record;
}
