// The Reg* functions: a table of open keys (32-bit handle values) over the two stores.
//
// HKEY_LOCAL_MACHINE is the machine store's root and HKEY_CURRENT_USER the user store's;
// HKEY_CLASSES_ROOT stands for HKEY_LOCAL_MACHINE\SOFTWARE\Classes. HKEY_USERS and
// HKEY_CURRENT_CONFIG hold nothing here: opening below them fails with ERROR_FILE_NOT_FOUND.
#include <platform/registry.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "RegistryStore.h"

namespace {

using namespace kvp::registry;

struct OpenKey {
  StoreKind store;
  KeyId id;
  REGSAM access;
};

struct KeyTable {
  std::mutex lock;
  std::map<HKEY, OpenKey> keys;
  HKEY next = 0x100;

  static KeyTable& Get() {
    static KeyTable* table = new KeyTable;
    return *table;
  }
};

bool IsPredefined(HKEY key) { return key >= HKEY_CLASSES_ROOT && key <= HKEY_CURRENT_CONFIG; }

std::vector<std::string> SplitPath(const char* subKey) {
  std::vector<std::string> parts;
  if (!subKey) return parts;
  std::string part;
  for (const char* p = subKey;; ++p) {
    if (*p == '\\' || *p == 0) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
      if (*p == 0) break;
    } else {
      part.push_back(*p);
    }
  }
  return parts;
}

// A predefined root as a store and a path below that store's root.
LONG PredefinedRoot(HKEY key, StoreKind& store, std::vector<std::string>& prefix) {
  switch (key) {
    case HKEY_LOCAL_MACHINE:
      store = StoreKind::Machine;
      return ERROR_SUCCESS;
    case HKEY_CURRENT_USER:
      store = StoreKind::User;
      return ERROR_SUCCESS;
    case HKEY_CLASSES_ROOT:
      store = StoreKind::Machine;
      prefix = {"SOFTWARE", "Classes"};
      return ERROR_SUCCESS;
    default:
      return ERROR_FILE_NOT_FOUND;
  }
}

// The key a handle stands for. Predefined roots with a path (HKEY_CLASSES_ROOT) are looked up,
// or created when `create` is set.
LONG Resolve(HKEY key, bool create, OpenKey& out) {
  if (IsPredefined(key)) {
    std::vector<std::string> prefix;
    StoreKind store;
    if (const LONG r = PredefinedRoot(key, store, prefix); r != ERROR_SUCCESS) return r;
    out = OpenKey{store, kRootKey, KEY_ALL_ACCESS};
    if (prefix.empty()) return ERROR_SUCCESS;
    bool created;
    return create ? RegistryStore::Of(store).CreateKey(kRootKey, prefix, out.id, created)
                  : RegistryStore::Of(store).FindKey(kRootKey, prefix, out.id);
  }
  KeyTable& table = KeyTable::Get();
  std::lock_guard guard(table.lock);
  auto it = table.keys.find(key);
  if (it == table.keys.end()) return ERROR_INVALID_HANDLE;
  out = it->second;
  return ERROR_SUCCESS;
}

// Resolves and checks that the handle was opened with `needed` access.
LONG ResolveFor(HKEY key, REGSAM needed, OpenKey& out) {
  if (const LONG r = Resolve(key, false, out); r != ERROR_SUCCESS) return r;
  return (out.access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

HKEY AddHandle(const OpenKey& key) {
  KeyTable& table = KeyTable::Get();
  std::lock_guard guard(table.lock);
  const HKEY handle = table.next++;
  table.keys[handle] = key;
  return handle;
}

// String data comes back with its terminating NUL, also when it was stored without one.
std::string AsReturned(const ValueData& value) {
  if ((value.type == REG_SZ || value.type == REG_EXPAND_SZ) && (value.bytes.empty() || value.bytes.back() != 0))
    return value.bytes + '\0';
  return value.bytes;
}

// Copies value data the Windows way: a null buffer asks the size, a short one gives
// ERROR_MORE_DATA with the size needed.
LONG CopyData(const std::string& bytes, LPBYTE data, LPDWORD size) {
  const DWORD needed = static_cast<DWORD>(bytes.size());
  if (!data) {
    if (size) *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (needed) memcpy(data, bytes.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

const char* ValueName(LPCSTR name) { return name ? name : ""; }

}  // namespace

extern "C" {

LONG RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD, REGSAM sam, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = 0;
  const std::vector<std::string> path = SplitPath(subKey);
  if (path.empty() && IsPredefined(key)) {
    OpenKey root;
    if (const LONG r = Resolve(key, false, root); r != ERROR_SUCCESS) return r;
    *result = key;
    return ERROR_SUCCESS;
  }
  OpenKey base;
  if (const LONG r = Resolve(key, false, base); r != ERROR_SUCCESS) return r;
  KeyId id;
  if (const LONG r = RegistryStore::Of(base.store).FindKey(base.id, path, id); r != ERROR_SUCCESS) return r;
  *result = AddHandle(OpenKey{base.store, id, sam});
  return ERROR_SUCCESS;
}

LONG RegOpenKey(HKEY key, LPCSTR subKey, PHKEY result) { return RegOpenKeyEx(key, subKey, 0, KEY_ALL_ACCESS, result); }

LONG RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM sam, LPSECURITY_ATTRIBUTES, PHKEY result,
                    LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = 0;
  OpenKey base;
  if (const LONG r = Resolve(key, true, base); r != ERROR_SUCCESS) return r;
  const std::vector<std::string> path = SplitPath(subKey);
  if (!path.empty() && (base.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
  KeyId id;
  bool created = false;
  if (const LONG r = RegistryStore::Of(base.store).CreateKey(base.id, path, id, created); r != ERROR_SUCCESS) return r;
  *result = AddHandle(OpenKey{base.store, id, sam});
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG RegCreateKey(HKEY key, LPCSTR subKey, PHKEY result) {
  return RegCreateKeyEx(key, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, result, nullptr);
}

LONG RegCloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  KeyTable& table = KeyTable::Get();
  std::lock_guard guard(table.lock);
  return table.keys.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueEx(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  OpenKey k;
  if (const LONG r = ResolveFor(key, KEY_QUERY_VALUE, k); r != ERROR_SUCCESS) return r;
  ValueData value;
  if (const LONG r = RegistryStore::Of(k.store).GetValue(k.id, ValueName(valueName), value); r != ERROR_SUCCESS)
    return r;
  if (type) *type = value.type;
  return CopyData(AsReturned(value), data, size);
}

LONG RegSetValueEx(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (!data && size) return ERROR_INVALID_PARAMETER;
  OpenKey k;
  if (const LONG r = ResolveFor(key, KEY_SET_VALUE, k); r != ERROR_SUCCESS) return r;
  const std::string bytes = size ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
  return RegistryStore::Of(k.store).SetValue(k.id, ValueName(valueName), type, bytes);
}

LONG RegDeleteValue(HKEY key, LPCSTR valueName) {
  OpenKey k;
  if (const LONG r = ResolveFor(key, KEY_SET_VALUE, k); r != ERROR_SUCCESS) return r;
  return RegistryStore::Of(k.store).DeleteValue(k.id, ValueName(valueName));
}

LONG RegDeleteKey(HKEY key, LPCSTR subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  OpenKey base;
  if (const LONG r = Resolve(key, false, base); r != ERROR_SUCCESS) return r;
  RegistryStore& store = RegistryStore::Of(base.store);
  KeyId id;
  if (const LONG r = store.FindKey(base.id, SplitPath(subKey), id); r != ERROR_SUCCESS) return r;
  return store.DeleteKey(id);
}

LONG RegEnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPSTR cls, LPDWORD clsSize,
                  void* lastWrite) {
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  OpenKey k;
  if (const LONG r = ResolveFor(key, KEY_ENUMERATE_SUB_KEYS, k); r != ERROR_SUCCESS) return r;
  std::string sub;
  if (const LONG r = RegistryStore::Of(k.store).EnumKey(k.id, index, sub); r != ERROR_SUCCESS) return r;
  if (sub.size() + 1 > *nameSize) return ERROR_MORE_DATA;
  memcpy(name, sub.c_str(), sub.size() + 1);
  *nameSize = static_cast<DWORD>(sub.size());
  if (clsSize) {
    if (cls && *clsSize) cls[0] = 0;
    *clsSize = 0;
  }
  if (lastWrite) memset(lastWrite, 0, 8);  // a FILETIME; no times are kept
  return ERROR_SUCCESS;
}

LONG RegEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPDWORD type, LPBYTE data,
                  LPDWORD dataSize) {
  if (!name || !nameSize || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  OpenKey k;
  if (const LONG r = ResolveFor(key, KEY_QUERY_VALUE, k); r != ERROR_SUCCESS) return r;
  ValueData value;
  if (const LONG r = RegistryStore::Of(k.store).EnumValue(k.id, index, value); r != ERROR_SUCCESS) return r;
  if (value.name.size() + 1 > *nameSize) return ERROR_MORE_DATA;
  memcpy(name, value.name.c_str(), value.name.size() + 1);
  *nameSize = static_cast<DWORD>(value.name.size());
  if (type) *type = value.type;
  return CopyData(AsReturned(value), data, dataSize);
}

}  // extern "C"
