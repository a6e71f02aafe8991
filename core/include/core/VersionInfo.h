// A module's version block: file and product version, and string values of a language block.
#pragma once

#include <platform/afx.h>

class CVersionInfo {
 public:
  CString m_strValue;           // the requested value
  CString m_strFileVersion;     // "%u,%u,%u,%u"
  CString m_strProductVersion;
  CString m_strLegalCopyright;
  CString m_strProductName;

  // Reads the block of the module's file. With a language block ("040904b0") also
  // "LegalCopyright", "ProductName" and the named value. FALSE when the file has no block.
  BOOL ReadModule(HMODULE module, LPCSTR languageBlock, LPCSTR valueName);
};
