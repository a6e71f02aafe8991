#include "MeterStatus.h"

#include <core/Texts.h>

CString MeterStatusText(int status) {
  // Statuses -1..9 to the built-in texts 1001 and 101..111; 3 and 4 share the probe texts.
  switch (status) {
    case -1: return GetDefaultText(1001);
    case 0: return GetDefaultText(102);
    case 1: return GetDefaultText(101);
    case 2: return GetDefaultText(105);
    case 3: return GetDefaultText(104);
    case 4: return GetDefaultText(106);
    case 5: return GetDefaultText(107);
    case 6: return GetDefaultText(108);
    case 7: return GetDefaultText(109);
    case 8: return GetDefaultText(110);
    case 9: return GetDefaultText(111);
    default: return "Unknown";
  }
}
