// Fuzz target of the INI reader and writer: whatever the bytes, reading never fails, and a key
// set afterwards is found again, also after the file has been written out and read back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "IniFile.h"

using kvp::files::IniFile;

extern const char* const kFuzzSeeds[] = {
    "[Dravix Scope]\r\nExeName=KV310.exe\r\n[Tester]\r\nRegExePath=HKEY_LOCAL_MACHINE\\SOFTWARE\\X\\Path\r\n",
    "; comment\n[a]\nk = \"quoted\" \n\n[A]\nk=second\nno equals sign\n[unclosed\nx=1",
    nullptr,
};

namespace {
void Check(bool ok) {
  if (!ok) abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  IniFile ini = IniFile::Parse(bytes);
  std::string value;
  for (const std::string& section : ini.SectionNames()) {
    std::vector<std::string> keys;
    Check(ini.KeyNames(section, keys));
    for (const std::string& key : keys) Check(ini.Find(section, key, value));
  }
  ini.Set("Fuzz", "Key", "Value");
  Check(ini.Find("FUZZ", "key", value) && value == "Value");
  IniFile again = IniFile::Parse(ini.Serialize());
  Check(again.Find("fuzz", "KEY", value) && value == "Value");
  again.DeleteKey("Fuzz", "Key");
  again.DeleteSection("Tester");
  IniFile::Parse(again.Serialize());
  return 0;
}
