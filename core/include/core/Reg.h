// Reading and writing single registry values with a small result code. Failures of the kinds the
// user must know about are shown in a message box; a missing key or value on a read is silent.
#pragma once

#include <platform/afx.h>
#include <platform/registry.h>

class CReg {
 public:
  enum { OK = 0, ERR_OPEN = 1, ERR_VALUE = 2, ERR_CLOSE = 3, ERR_CREATE = 4 };

  virtual ~CReg() = default;

  // The value must be a REG_DWORD; out is unchanged unless the result is OK.
  int ReadDword(HKEY root, LPCSTR key, LPCSTR name, DWORD& out);
  // The value must be REG_SZ; the text ends at the first zero byte and never runs past the data.
  int ReadString(HKEY root, LPCSTR key, LPCSTR name, CString& out);
  // Open with full access, creating the key when needed.
  int WriteDword(HKEY root, LPCSTR key, LPCSTR name, DWORD value);
  // Stored without the terminating zero, as the program always has.
  int WriteString(HKEY root, LPCSTR key, LPCSTR name, LPCSTR text);
};

// The registry functions CReg calls; tests replace single entries to inject failures.
struct RegistryCalls {
  decltype(&RegOpenKeyEx) open = &RegOpenKeyEx;
  decltype(&RegCreateKeyEx) create = &RegCreateKeyEx;
  decltype(&RegQueryValueEx) query = &RegQueryValueEx;
  decltype(&RegSetValueEx) set = &RegSetValueEx;
  decltype(&RegCloseKey) close = &RegCloseKey;
};
RegistryCalls& GetRegistryCalls();
