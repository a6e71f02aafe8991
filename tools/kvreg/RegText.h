// The .reg text format: reading it into a list of changes and writing registry contents as text.
//
//   REGEDIT4                                  (or "Windows Registry Editor Version 5.00")
//   [HKEY_LOCAL_MACHINE\SOFTWARE\KELO\KV310]  a key, created when missing
//   "Path"="C:\\Program Files\\KV310\\"       REG_SZ, with \\ and \" escapes
//   @="default value"                         the key's default (unnamed) value
//   "SerialBlockSize"=dword:00000040          REG_DWORD
//   "Blob"=hex:01,02,ff                       REG_BINARY; hex(N): any type N, as bytes;
//   "Long"=hex:01,02,\                        a line ending in '\' continues on the next
//     03,04
//   "Old"=-                                   delete the value
//   [-HKEY_CURRENT_USER\SOFTWARE\Obsolete]    delete the key with everything below it
//
// REGEDIT4 text is taken as bytes of the system's code page; "Version 5.00" text as UTF-8 (or
// UTF-16 with its byte-order mark, as Windows writes it) and converted to the code page.
#pragma once

#include <platform/registry.h>

#include <string>
#include <vector>

namespace kvreg {

struct RegValueChange {
  int line = 0;
  std::string name;  // empty: the default value
  bool remove = false;
  DWORD type = REG_SZ;
  std::string data;  // as stored (strings with their NUL)
};

struct RegKeyChange {
  int line = 0;
  HKEY root = 0;
  std::string rootName;  // as the file wrote it, for messages
  std::string path;      // below the root, backslash-separated, may be empty
  bool remove = false;
  std::vector<RegValueChange> values;
};

// Reads the whole text; on the first malformed line returns false with "line N: what" in error.
bool ParseRegText(const std::string& bytes, std::vector<RegKeyChange>& keys, std::string& error);

// "HKEY_LOCAL_MACHINE" / "HKLM" and the other roots; 0 when the name is none of them.
HKEY RootByName(const std::string& name);
const char* RootLongName(HKEY root);

// One value as a .reg line (without the line end).
std::string FormatValue(const std::string& name, DWORD type, const std::string& data);

}  // namespace kvreg
