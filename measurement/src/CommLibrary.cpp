#include "CommLibrary.h"

#include <platform/registry.h>

namespace kv310 {

namespace {

template <typename Proc>
bool BindExport(HMODULE module, const char* name, Proc& out) {
  // Through the generic function pointer type: the export's real type is the caller's promise.
  out = reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  return out != nullptr;
}

}  // namespace

CommLibrary::~CommLibrary() { Free(); }

void CommLibrary::Clear() {
  m_path[0] = '\0';
  m_module = 0;
  m_bound = false;
  Init = nullptr;
  Deinit = nullptr;
  Read = nullptr;
  Write = nullptr;
  GetEvent = nullptr;
  GetHwSwInfo = nullptr;
  SetSerialBlocksize = nullptr;
}

void CommLibrary::Bind(const char* registryKey) {
  Free();
  HKEY key = 0;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, registryKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD type = 0;
    DWORD size = sizeof m_path - 1;  // keep room for the terminator whatever the store holds
    if (RegQueryValueEx(key, "DLL name", nullptr, &type, reinterpret_cast<BYTE*>(m_path), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
      size = 0;
    }
    m_path[size < sizeof m_path ? size : sizeof m_path - 1] = '\0';
    RegCloseKey(key);
  }
  if (m_path[0] == '\0') return;

  m_module = LoadLibrary(m_path);
  if (!m_module) return;
  // All seven are looked up, in this order, even after one is missing.
  bool all = BindExport(m_module, "Init", Init);
  all = BindExport(m_module, "Deinit", Deinit) && all;
  all = BindExport(m_module, "Read", Read) && all;
  all = BindExport(m_module, "Write", Write) && all;
  all = BindExport(m_module, "GetEvent", GetEvent) && all;
  all = BindExport(m_module, "GetHwSwInfo", GetHwSwInfo) && all;
  all = BindExport(m_module, "SetSerialBlocksize", SetSerialBlocksize) && all;
  m_bound = all;
}

void CommLibrary::Free() {
  if (m_module) FreeLibrary(m_module);
  Clear();
}

}  // namespace kv310
