// ProbeEntry: one entry of the engine-tester oscilloscope's probe list, as the control panel's
// probe selection reads it through IControlPanelDevice.
#pragma once

#include <kv310/Records.h>

#include <string>

namespace scope {

struct ProbeEntry {
  int m_nId = 0;
  std::string m_strName;
  int m_nKind = 0;  // 0: empty entry
  ProbeDescriptor m_Descriptor{};
};

}  // namespace scope
