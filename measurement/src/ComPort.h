// The link object the library opens: the link key "Software\KELO\Kv310" and a base reply
// time-out of 700 ms.
#pragma once

#include "ComPortRaw.h"

namespace kv310 {

inline constexpr const char* kLinkRegistryKey = "Software\\KELO\\Kv310";
inline constexpr unsigned kLinkBaseTimeoutMs = 700;

class CComPort : public CComPortRaw {
 public:
  CComPort() : CComPortRaw(kLinkRegistryKey, kLinkBaseTimeoutMs) {}
};

}  // namespace kv310
