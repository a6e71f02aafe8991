// LoadLibrary and friends over dlopen. Module handles are small table values, not the loader's
// pointers: a call with a freed handle fails cleanly instead of touching unmapped memory.
#include <platform/codepage.h>
#include <platform/debug.h>
#include <platform/files.h>
#include <platform/module.h>

#include <dlfcn.h>
#include <link.h>
#include <strings.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>

#include "ModuleSearch.h"

namespace {

using namespace kvp::module;

// The running program's handle (the classic image base; any value outside the table would do).
constexpr HMODULE kProgramModule = 0x00400000u;
constexpr HMODULE kFirstModule = 0x00010000u;

struct LoadedModule {
  void* dl = nullptr;
  std::string path;  // Linux path of the .so
  unsigned refs = 0;
};

struct ModuleTable {
  std::mutex lock;
  std::map<HMODULE, LoadedModule> byHandle;
  HMODULE next = kFirstModule;  // never reused while the process lives

  static ModuleTable& Get() {
    static ModuleTable* table = new ModuleTable;  // outlives static destructors of modules
    return *table;
  }
};

std::string LoadedPath(void* dl, const std::string& fallback) {
  link_map* map = nullptr;
  if (dlinfo(dl, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0]) {
    char real[PATH_MAX];
    if (realpath(map->l_name, real)) return real;
    return map->l_name;
  }
  return fallback;
}

// Finds the file for `name`: explicit paths as given; bare names in the caller's folder, then in
// the program's folder, then in the installation folder that holds this platform library, then
// through the loader's default search. The caller is known by the
// return address of LoadLibrary, so a call in tail position ("return LoadLibrary(n);") counts as
// a call from the caller's caller.
void* OpenModule(const std::string& name, const void* caller, std::string& path) {
  const int flags = RTLD_NOW | RTLD_LOCAL;
  if (HasFolder(name)) {
    const std::string mapped = kvp::MapPath(name);
    const size_t slash = mapped.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : mapped.substr(0, slash);
    const std::string file = slash == std::string::npos ? mapped : mapped.substr(slash + 1);
    path = FindInFolder(folder, SharedObjectName(file));
    if (path.empty()) path = FindInFolder(folder, file);
    if (path.empty()) return nullptr;
    return dlopen(path.c_str(), flags);
  }
  const std::string file = SharedObjectName(kvp::ToUtf8(name, kvp::ActiveCodePage()));
  const std::string installFolder = FolderOfAddress(reinterpret_cast<const void*>(&OpenModule));
  for (const std::string& folder : {FolderOfAddress(caller), FolderOf(ProgramPath()), installFolder}) {
    if (folder.empty()) continue;
    path = FindInFolder(folder, file);
    if (!path.empty()) return dlopen(path.c_str(), flags);
  }
  path = file;
  return dlopen(file.c_str(), flags);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Copies `text` the Windows way: cut to size-1 characters and NUL-terminated; returns the length
// copied, or `size` with ERROR_INSUFFICIENT_BUFFER when it was cut.
DWORD CopyName(const std::string& text, LPSTR buffer, DWORD size) {
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (text.size() >= size) {
    memcpy(buffer, text.data(), size - 1);
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

}  // namespace

extern "C" {

__attribute__((noinline)) HMODULE LoadLibrary(LPCSTR name) {
  const void* caller = __builtin_return_address(0);
  if (!name || !name[0]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string path;
  void* dl = OpenModule(name, caller, path);
  if (!dl) {
    const char* why = dlerror();
    OutputDebugString(("LoadLibrary(" + std::string(name) + "): " + (why ? why : "no such module") + "\n").c_str());
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  // dlopen and dlclose stay outside the lock: a module's constructors may load further modules.
  ModuleTable& table = ModuleTable::Get();
  std::lock_guard guard(table.lock);
  for (auto& [handle, module] : table.byHandle) {
    if (module.dl == dl) {
      ++module.refs;
      return handle;
    }
  }
  const HMODULE handle = table.next++;
  table.byHandle[handle] = LoadedModule{dl, LoadedPath(dl, path), 1};
  return handle;
}

BOOL FreeLibrary(HMODULE module) {
  void* dl = nullptr;
  {
    ModuleTable& table = ModuleTable::Get();
    std::lock_guard guard(table.lock);
    auto it = table.byHandle.find(module);
    if (it == table.byHandle.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    dl = it->second.dl;
    if (--it->second.refs == 0) table.byHandle.erase(it);
  }
  dlclose(dl);
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  // Exports are looked up by name only; an ordinal (a small integer in place of the name) is absent.
  if (!name || reinterpret_cast<uintptr_t>(name) < 0x10000u) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  if (module == kProgramModule || module == 0) {
    void* program = dlopen(nullptr, RTLD_NOW);
    void* symbol = program ? dlsym(program, name) : nullptr;
    if (program) dlclose(program);
    if (!symbol) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(symbol);
  }
  void* symbol = nullptr;
  {
    // Under the lock, so a FreeLibrary on another thread cannot unload the module meanwhile.
    ModuleTable& table = ModuleTable::Get();
    std::lock_guard guard(table.lock);
    auto it = table.byHandle.find(module);
    if (it == table.byHandle.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    symbol = dlsym(it->second.dl, name);
  }
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size) {
  std::string path;
  if (module == 0 || module == kProgramModule) {
    path = ProgramPath();
  } else {
    ModuleTable& table = ModuleTable::Get();
    std::lock_guard guard(table.lock);
    auto it = table.byHandle.find(module);
    if (it == table.byHandle.end()) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    path = it->second.path;
  }
  return CopyName(kvp::FromUtf8(path, kvp::ActiveCodePage()), buffer, size);
}

HMODULE GetModuleHandle(LPCSTR name) {
  if (!name) return kProgramModule;
  const std::string wanted = SharedObjectName(kvp::ToUtf8(BaseName(name), kvp::ActiveCodePage()));
  ModuleTable& table = ModuleTable::Get();
  std::lock_guard guard(table.lock);
  for (const auto& [handle, module] : table.byHandle) {
    if (strcasecmp(BaseName(module.path).c_str(), wanted.c_str()) == 0) return handle;
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return 0;
}

}  // extern "C"

namespace kvp {

bool ModuleIsMappedAt(const char* linuxPath) {
  if (!linuxPath) return false;
  char real[PATH_MAX];
  const std::string wanted = realpath(linuxPath, real) ? real : linuxPath;
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    const size_t slash = line.find('/');
    if (slash != std::string::npos && line.compare(slash, std::string::npos, wanted) == 0) return true;
  }
  return false;
}

}  // namespace kvp
