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
#include <thread>
#include <utility>
#include <vector>

#include "ModuleSearch.h"
#include "ThreadNotice.h"

namespace {

using namespace kvp::module;

// The running program's handle (the classic image base; any value outside the table would do).
constexpr HMODULE kProgramModule = 0x00400000u;
constexpr HMODULE kFirstModule = 0x00010000u;

using DllMainProc = BOOL (*)(HINSTANCE module, DWORD reason, LPVOID reserved);

struct LoadedModule {
  void* dl = nullptr;
  std::string path;  // Linux path of the .so
  unsigned refs = 0;             // LoadLibrary calls not yet freed, each one dlopen reference
  DllMainProc entry = nullptr;  // the module's own DllMain, told of thread starts and ends
  unsigned notices = 0;         // thread notices running in its DllMain
};

struct ModuleTable {
  std::mutex lock;
  std::map<HMODULE, LoadedModule> byHandle;
  // Modules freed by their last FreeLibrary while a thread notice ran in them: closed when the
  // last of those notices has returned.
  std::map<HMODULE, LoadedModule> closing;
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

// The module's own export DllMain; null when it has none. The loader's lookup also searches the
// module's dependencies, whose entries are not this module's.
DllMainProc EntryOf(void* dl) {
  void* symbol = dlsym(dl, "DllMain");
  link_map* own = nullptr;
  Dl_info info{};
  link_map* found = nullptr;
  if (!symbol || dlinfo(dl, RTLD_DI_LINKMAP, &own) != 0 ||
      dladdr1(symbol, &info, reinterpret_cast<void**>(&found), RTLD_DL_LINKMAP) == 0 || found != own) {
    return nullptr;
  }
  return reinterpret_cast<DllMainProc>(symbol);
}

// A thread notice has left the module's DllMain. When the module was freed meanwhile and this was
// its last notice, it is closed now, on a thread of its own: the notifying thread may be one that
// another thread waits for while it holds the dynamic loader's lock (a module's destructor joining
// its thread), and closing a module takes that lock.
void NoticeReturned(HMODULE module) {
  void* dl = nullptr;
  {
    ModuleTable& table = ModuleTable::Get();
    std::lock_guard guard(table.lock);
    if (auto it = table.byHandle.find(module); it != table.byHandle.end()) {
      --it->second.notices;
      return;
    }
    auto it = table.closing.find(module);
    if (it == table.closing.end() || --it->second.notices > 0) return;
    dl = it->second.dl;
    table.closing.erase(it);
  }
  std::thread([dl] {
    dlclose(dl);
    // Releases the close to the next LoadLibrary, which may map another module where this one was
    // (the loader's own lock orders them too, but the thread sanitizer does not see that lock).
    std::lock_guard guard(ModuleTable::Get().lock);
  }).detach();
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
  {
    // Takes up a close that a thread notice left to a thread of its own (NoticeReturned).
    std::lock_guard guard(ModuleTable::Get().lock);
  }
  void* dl = OpenModule(name, caller, path);
  if (!dl) {
    const char* why = dlerror();
    OutputDebugString(("LoadLibrary(" + std::string(name) + "): " + (why ? why : "no such module") + "\n").c_str());
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  // dlopen and dlclose stay outside the lock: a module's constructors may load further modules.
  // So do the loader's look-ups, which take the loader's own lock.
  LoadedModule loaded{dl, LoadedPath(dl, path), 1, EntryOf(dl)};
  ModuleTable& table = ModuleTable::Get();
  std::lock_guard guard(table.lock);
  for (auto& [handle, module] : table.byHandle) {
    if (module.dl == dl) {
      ++module.refs;
      return handle;
    }
  }
  const HMODULE handle = table.next++;
  table.byHandle[handle] = std::move(loaded);
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
    if (--it->second.refs == 0) {
      if (it->second.notices > 0) {
        // A thread notice runs in the module: the last one to return closes it.
        table.closing[module] = std::move(it->second);
        table.byHandle.erase(it);
        return TRUE;
      }
      table.byHandle.erase(it);
    }
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

namespace kvp::module {

void NotifyThreadModules(DWORD reason) {
  std::vector<std::pair<HMODULE, DllMainProc>> notified;
  {
    ModuleTable& table = ModuleTable::Get();
    std::lock_guard guard(table.lock);
    for (auto& [handle, module] : table.byHandle) {
      if (!module.entry) continue;
      ++module.notices;  // a FreeLibrary meanwhile leaves the module loaded until its entry returned
      notified.emplace_back(handle, module.entry);
    }
  }
  for (const auto& [handle, entry] : notified) {
    entry(handle, reason, nullptr);
    NoticeReturned(handle);
  }
}

}  // namespace kvp::module

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
