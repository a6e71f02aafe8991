// Fuzz target: the external-programs INI reader on any file content.
#include <core/ExtAppList.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = "fuzz_ext_apps.ini";
  if (FILE* f = std::fopen(path, "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  CExtAppList list;
  list.LoadFromIni(path);
  for (int i = -1; i <= list.GetCount(); ++i) {
    (void)list.GetPath(i);
    (void)list.GetDescription(i);
  }
  std::remove(path);
  return 0;
}

extern const char* const kFuzzSeeds[] = {
    "[Gas Analyser]\nRegExePath=HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\KV310\\Path\nExeName=Gas.exe\nDescription=Gas\n",
    "[Dravix Scope]\nRegExePath=x\n[A]\n[B]\n[C]\n[D]\n[E]\n[F]\n[G]\n[H]\n[I]\n[J]\n[K]\n[L]\n[M]\n",
    "[\n]\n[[]]\nRegExePath=HKEY_USERS\\\\\\\n=\n",
    "RegExePath=HKEY_CURRENT_USER\nExeName\n",
    nullptr,
};
