#include <core/ExtAppList.h>

#include <core/Reg.h>

#include <platform/files.h>
#include <platform/registry.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

const char kOwnSection[] = "Dravix Scope";

struct Root {
  const char* name;
  HKEY key;
};
const Root kRoots[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
};

void CopyBounded(char* out, size_t size, const char* text) { std::snprintf(out, size, "%s", text ? text : ""); }

// Reads one registry value as text (at most MAX_PATH bytes) and closes the key again.
bool ReadValueText(HKEY root, const std::string& keyPath, const std::string& valueName, char* out) {
  HKEY key = 0;
  if (RegOpenKeyEx(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  char buffer[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  DWORD type = 0;
  const LONG rc = RegQueryValueEx(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || size == 0) return false;
  buffer[size < MAX_PATH ? size : MAX_PATH] = '\0';
  CopyBounded(out, MAX_PATH, buffer);
  return true;
}

}  // namespace

int ResolveRegistryPath(char* out, const char* text) {
  if (!out || !text) return 3;
  const std::string path(text);
  const size_t first = path.find('\\');
  const size_t last = path.rfind('\\');
  for (const Root& root : kRoots) {
    if (path.find(root.name) == std::string::npos) continue;
    if (first == std::string::npos) continue;
    const std::string keyPath = first < last ? path.substr(first + 1, last - first - 1) : std::string();
    const std::string valueName = path.substr(last + 1);
    if (ReadValueText(root.key, keyPath, valueName, out)) return 0;
  }
  return 3;
}

void CExtAppList::Init(int value) {
  m_nCount = 0;
  m_nValue = value;
}

void CExtAppList::RemoveAll() {
  for (Entry*& e : m_entries) {
    delete e;
    e = nullptr;
  }
  m_nCount = 0;
}

const char* CExtAppList::GetPath(int i) const { return i >= 0 && i < m_nCount ? m_entries[i]->path : nullptr; }

const char* CExtAppList::GetDescription(int i) const {
  return i >= 0 && i < m_nCount ? m_entries[i]->description : nullptr;
}

int CExtAppList::LoadExternalApps() {
  CString ini;
  if (CReg().ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", "PathExtIni", ini) != CReg::OK)
    return ERR_NO_INI_VALUE;
  return LoadFromIni(ini);
}

int CExtAppList::LoadFromIni(const char* iniPath) {
  char sections[500] = {};
  if (GetPrivateProfileSectionNames(sections, sizeof(sections), iniPath) == 0 || sections[0] == '\0')
    return ERR_NO_SECTIONS;
  RemoveAll();
  // The names follow each other NUL-separated; the list ends at the first empty name, and never
  // beyond the buffer even when it was cut.
  const char* end = sections + sizeof(sections);
  for (const char* name = sections; name < end && *name; name += std::strlen(name) + 1) {
    if (std::memchr(name, '\0', static_cast<size_t>(end - name)) == nullptr) break;
    if (std::strcmp(name, kOwnSection) == 0) continue;
    // The list holds CAPACITY programs; further sections are ignored.
    if (m_nCount >= CAPACITY) break;
    char regPath[MAX_PATH] = {};
    GetPrivateProfileString(name, "RegExePath", "", regPath, sizeof(regPath), iniPath);
    char folder[MAX_PATH] = {};
    if (ResolveRegistryPath(folder, regPath) != 0) break;
    Entry* entry = new (std::nothrow) Entry{};
    if (!entry) break;
    GetPrivateProfileString(name, "ExeName", "", entry->exeName, sizeof(entry->exeName), iniPath);
    GetPrivateProfileString(name, "Description", "", entry->description, sizeof(entry->description), iniPath);
    CopyBounded(entry->folder, sizeof(entry->folder), folder);
    CopyBounded(entry->path, sizeof(entry->path), (std::string(entry->folder) + "\\" + entry->exeName).c_str());
    m_entries[m_nCount++] = entry;
  }
  return m_nCount > 0 ? OK : ERR_NO_ENTRY;
}
