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

void CResourceHolder::LayoutScreenArea(int type, RECT& rect) const {
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
  auto from = [&](int base) {
    RECT b = rect;
    LayoutScreenArea(base, b);
    return b;
  };
  switch (type) {
    case 0:
      r.left = M + 30;
      r.right = M + E + 30;
      r.top = A + 2 * V + N + static_cast<LONG>((B - T) * 0.005);
      r.bottom = r.top + static_cast<LONG>(H / 1.422) - V * S;
      break;
    case 1:
      r = from(10);
      r.top = r.bottom;
      r.bottom = r.bottom + V - 3;
      break;
    case 2:
      r = from(0);
      r.top = r.bottom + 3;
      r.bottom = r.bottom + V + 3;
      break;
    case 3:
      r = from(1);
      r.top = r.bottom;
      r.bottom = r.bottom + A;
      break;
    case 4:
      r = from(9);
      r.bottom -= 32;
      r.top += 2;
      r.left = M + static_cast<LONG>(W * 0.006) + r.right + static_cast<LONG>(W * 0.572) - R + 30;
      if (!m_bNarrowChart) r.left -= D;
      break;
    case 5:
      r = from(2);
      r.left -= 1;
      r.right += 1;
      r.top = r.bottom;
      r.bottom = r.bottom + static_cast<LONG>(H / 9.0);
      break;
    case 6:
      r = from(0);
      r.left = M;
      r.right = M + 27;
      break;
    case 7:
      r = from(2);
      r.left -= 1;
      r.right += 1;
      r.top = r.bottom;
      r.bottom = r.bottom + static_cast<LONG>(H / 8.5);
      break;
    case 8:
      r = RECT{0, 0, R, 30};
      break;
    case 9:
      r = from(8);
      r.top = r.bottom;
      r.bottom = B;
      break;
    case 10:
      r = from(0);
      r.left -= 2;
      r.right += 2;
      r.top = 0;
      r.bottom = V;
      break;
    case 11:
      r = from(9);
      r.bottom -= 32;
      r.top += 2;
      r.left = r.right - D;
      break;
    case 12:
    case 13:
      r = from(5);
      r.top = r.bottom + 3;
      r.bottom = r.bottom + V + 3;
      break;
    case 14: {
      const RECT b = from(10);
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
