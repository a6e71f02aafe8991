#include "CommLibrary.h"

#include <platform/registry.h>

namespace kv310 {

CommLibrary::~CommLibrary() { Free(); }

void CommLibrary::Clear() {
  m_path[0] = '\0';
  m_module = 0;
  m_bound = false;
  static_cast<kvlink::LinkExportSet&>(*this) = kvlink::LinkExportSet{};
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
  m_bound = kvlink::LinkExportSet::Bind(m_module);
}

void CommLibrary::Free() {
  if (m_module) FreeLibrary(m_module);
  Clear();
}

}  // namespace kv310
