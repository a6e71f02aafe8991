#include <core/KeloDll.h>

#include <core/MeasureEngine.h>

#include <platform/module.h>

CKelo_DLL::CKelo_DLL() : m_strModuleName("Kv310.dll") {}

CKelo_DLL::~CKelo_DLL() { Unload(); }

int CKelo_DLL::Load() {
  if (m_hModule) Unload();
  m_hModule = LoadLibrary(m_strModuleName);
  if (!m_hModule) return 0;
  // Exports come back as a generic function pointer; the real signature is known by name.
  auto query = reinterpret_cast<Kv310QueryInterfaceProc>(
      reinterpret_cast<void (*)()>(GetProcAddress(m_hModule, "QueryInterface")));
  if (!query) {
    Unload();
    return 0;
  }
  for (unsigned id = 0; id < kv310::kInterfaceCount; ++id) {
    m_pInterfaces[id] = nullptr;
    query(id, &m_pInterfaces[id]);
  }
  for (unsigned id = 0; id < kv310::kInterfaceCount; ++id) {
    const bool optional = id >= kv310::kMTOscilloscope && id <= kv310::kMTDiodeTest;
    if (!optional && !m_pInterfaces[id]) {
      Unload();
      return 0;
    }
  }
  return 1;
}

BOOL CKelo_DLL::Unload() {
  if (!m_hModule) return 0;
  if (ICommunication_1* link = Communication()) {
    if (link->Stop() == 0) link->Close();
  }
  for (void*& p : m_pInterfaces) p = nullptr;
  const BOOL freed = FreeLibrary(m_hModule);
  m_hModule = 0;
  return freed;
}

void CKelo_DLL::Forget() {
  for (void*& p : m_pInterfaces) p = nullptr;
  m_hModule = 0;
}

const CKelo_DLL& GetKeloDll() { return GetMeasureEngine().GetBinding(); }
