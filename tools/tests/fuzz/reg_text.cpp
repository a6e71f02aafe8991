// Fuzz target of the .reg reader: whatever the bytes, reading ends with a result or an error
// message, and what was read, written out again the way kv-reg exports, reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "RegText.h"

using kvreg::RegKeyChange;

extern const char* const kFuzzSeeds[] = {
    "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\KV310]\n\"Path\"=\"C:\\\\KV310\\\\\"\n@=\"x\"\n"
    "\"N\"=dword:00000040\n\"B\"=hex:01,02,\\\n  ff\n\"M\"=hex(7):61,00,00\n\"Old\"=-\n[-HKCU\\SOFTWARE\\Old]\n",
    "Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"Unit\"=\"\xC2\xB5s\"\r\n",
    nullptr,
};

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

std::string Export(const std::vector<RegKeyChange>& keys) {
  std::string text = "REGEDIT4\n";
  for (const RegKeyChange& k : keys) {
    text += std::string("[") + (k.remove ? "-" : "") + kvreg::RootLongName(k.root) + (k.path.empty() ? "" : "\\" + k.path) + "]\n";
    for (const auto& v : k.values) {
      if (v.remove) {
        const std::string prefix = kvreg::FormatValue(v.name, REG_BINARY, "");  // "name"=hex:
        text += prefix.substr(0, prefix.size() - 4) + "-\n";
      } else {
        text += kvreg::FormatValue(v.name, v.type, v.data) + "\n";
      }
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<RegKeyChange> keys;
  std::string error;
  if (!kvreg::ParseRegText(std::string(reinterpret_cast<const char*>(data), size), keys, error)) {
    Check(error.rfind("line ", 0) == 0);
    return 0;
  }
  std::vector<RegKeyChange> again;
  Check(kvreg::ParseRegText(Export(keys), again, error));
  Check(again.size() == keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    Check(again[i].root == keys[i].root && again[i].path == keys[i].path && again[i].remove == keys[i].remove);
    Check(again[i].values.size() == keys[i].values.size());
    for (size_t j = 0; j < keys[i].values.size(); ++j) {
      const auto& a = again[i].values[j];
      const auto& b = keys[i].values[j];
      Check(a.name == b.name && a.remove == b.remove && (b.remove || (a.type == b.type && a.data == b.data)));
    }
  }
  return 0;
}
