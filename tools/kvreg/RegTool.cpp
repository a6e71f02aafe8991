#include "RegTool.h"

#include <vector>

namespace kvreg {

namespace {

std::string KeyName(HKEY root, const std::string& path) {
  return std::string(RootLongName(root)) + (path.empty() ? "" : "\\" + path);
}

std::string Failure(const std::string& what, LONG code) { return what + " (error " + std::to_string(code) + ")"; }

// Deletes a key with all its subkeys; a missing key is no failure.
LONG DeleteTree(HKEY root, const std::string& path) {
  HKEY key = 0;
  LONG r = RegOpenKeyEx(root, path.c_str(), 0, KEY_ALL_ACCESS, &key);
  if (r == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (r != ERROR_SUCCESS) return r;
  std::vector<std::string> children;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    r = RegEnumKeyEx(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (r != ERROR_SUCCESS) break;
    children.push_back(name);
  }
  RegCloseKey(key);
  if (r != ERROR_NO_MORE_ITEMS) return r;
  for (const std::string& child : children)
    if ((r = DeleteTree(root, path + "\\" + child)) != ERROR_SUCCESS) return r;
  return path.empty() ? ERROR_SUCCESS : RegDeleteKey(root, path.c_str());
}

LONG ApplyValue(HKEY key, const RegValueChange& v, const ImportOptions& options) {
  if (v.remove) {
    if (options.missingOnly) return ERROR_SUCCESS;
    const LONG r = RegDeleteValue(key, v.name.c_str());
    return r == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : r;
  }
  if (options.missingOnly) {
    const LONG r = RegQueryValueEx(key, v.name.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_SUCCESS) return ERROR_SUCCESS;
    if (r != ERROR_FILE_NOT_FOUND) return r;
  }
  return RegSetValueEx(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                       static_cast<DWORD>(v.data.size()));
}

}  // namespace

bool ApplyChanges(const std::vector<RegKeyChange>& keys, const ImportOptions& options, std::string& error) {
  for (const RegKeyChange& k : keys) {
    const std::string where = "line " + std::to_string(k.line) + ": " + KeyName(k.root, k.path);
    if (k.remove) {
      if (options.missingOnly) continue;
      if (const LONG r = DeleteTree(k.root, k.path); r != ERROR_SUCCESS) {
        error = Failure(where + ": cannot delete the key", r);
        return false;
      }
      continue;
    }
    HKEY key = 0;
    if (const LONG r = RegCreateKeyEx(k.root, k.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        r != ERROR_SUCCESS) {
      error = Failure(where + ": cannot create the key", r);
      return false;
    }
    for (const RegValueChange& v : k.values) {
      if (const LONG r = ApplyValue(key, v, options); r != ERROR_SUCCESS) {
        error = Failure("line " + std::to_string(v.line) + ": cannot write \"" + v.name + "\" under " +
                            KeyName(k.root, k.path), r);
        RegCloseKey(key);
        return false;
      }
    }
    RegCloseKey(key);
  }
  return true;
}

bool ExportKey(HKEY root, const std::string& path, std::string& out, std::string& error) {
  HKEY key = 0;
  if (const LONG r = RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key); r != ERROR_SUCCESS) {
    error = Failure("cannot open " + KeyName(root, path), r);
    return false;
  }
  out += "[" + KeyName(root, path) + "]\n";
  LONG r;
  std::vector<char> name(16384);
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size()), type = 0, dataSize = 0;
    r = RegEnumValue(key, i, name.data(), &nameSize, nullptr, &type, nullptr, &dataSize);
    if (r != ERROR_SUCCESS) break;
    std::string data(dataSize, '\0');
    nameSize = static_cast<DWORD>(name.size());
    r = RegEnumValue(key, i, name.data(), &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &dataSize);
    if (r != ERROR_SUCCESS) break;
    data.resize(dataSize);
    out += FormatValue(std::string(name.data(), nameSize), type, data) + "\n";
  }
  std::vector<std::string> children;
  if (r == ERROR_NO_MORE_ITEMS) {
    for (DWORD i = 0;; ++i) {
      DWORD nameSize = static_cast<DWORD>(name.size());
      r = RegEnumKeyEx(key, i, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr);
      if (r != ERROR_SUCCESS) break;
      children.emplace_back(name.data(), nameSize);
    }
  }
  RegCloseKey(key);
  if (r != ERROR_NO_MORE_ITEMS) {
    error = Failure("cannot read " + KeyName(root, path), r);
    return false;
  }
  out += "\n";
  for (const std::string& child : children)
    if (!ExportKey(root, path.empty() ? child : path + "\\" + child, out, error)) return false;
  return true;
}

}  // namespace kvreg
