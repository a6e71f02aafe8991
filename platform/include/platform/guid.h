// Globally unique identifiers: interface classes of devices.
#pragma once

#include <cstdint>

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef const GUID* LPCGUID;
typedef GUID* LPGUID;

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 && __builtin_memcmp(a.Data4, b.Data4, 8) == 0;
}
