#include "RulerMath.h"

#include <core/ResourceHolder.h>

#include <cmath>

namespace rulers_detail {

int PixelOf(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(value);
}

int SaturatedAdd(int a, int b) {
  const long long sum = static_cast<long long>(a) + b;
  if (sum > 2147483647LL) return 2147483647;
  if (sum < -2147483648LL) return -2147483647 - 1;
  return static_cast<int>(sum);
}

HCURSOR RulerCursor(int id) {
  if (HCURSOR c = GetResourceHolder().GetCursor(id)) return c;
  return ::LoadCursor(0, IDC_ARROW);
}

void RegisterRulerClass(const char* name) {
  WNDCLASS known{};
  if (GetClassInfo(0, name, &known)) return;
  WNDCLASS wc{};
  wc.style = CS_VREDRAW | CS_HREDRAW;
  wc.lpfnWndProc = DefWindowProc;
  wc.hCursor = RulerCursor(kCursorDefault);
  wc.lpszClassName = name;
  AfxRegisterClass(&wc);
}

}  // namespace rulers_detail
