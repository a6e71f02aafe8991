// The external programs list: other diagnostic programs that the system tab can start, read from
// an INI file whose path the installer stores in the registry ("PathExtIni"). Each program section
// names a registry value holding the program's folder ("RegExePath"), its file name ("ExeName")
// and a description.
#pragma once

#include <platform/types.h>

class CExtAppList {
 public:
  enum { CAPACITY = 11 };
  enum { OK = 0, ERR_NO_INI_VALUE = 1, ERR_NO_SECTIONS = 2, ERR_NO_ENTRY = 5 };

  struct Entry {
    char exeName[MAX_PATH];
    char folder[MAX_PATH];
    char path[MAX_PATH];  // "<folder>\<exe name>", cut to the buffer
    char description[255];
  };

  CExtAppList() = default;
  CExtAppList(const CExtAppList&) = delete;
  CExtAppList& operator=(const CExtAppList&) = delete;
  ~CExtAppList() { RemoveAll(); }

  void Init(int value);
  // Reads the file named by "PathExtIni"; 0 with at least one entry, else 1, 2 or 5.
  int LoadExternalApps();
  // The same from a given INI file (2 or 5 on failure).
  int LoadFromIni(const char* iniPath);
  const char* GetPath(int i) const;
  const char* GetDescription(int i) const;
  int GetCount() const { return m_nCount; }
  void RemoveAll();

 private:
  Entry* m_entries[CAPACITY] = {};
  int m_nValue = 0;
  int m_nCount = 0;
};

// "HKEY_...\key path\value name" -> the value's text in out (MAX_PATH bytes). 0, or 3 when no
// root name matched or nothing could be read.
int ResolveRegistryPath(char* out, const char* text);
