#include <link/ErrorException.h>
#include <link/FirmwareVersion.h>
#include <link/LinkSettings.h>

#include <platform/registry.h>
#include <platform/unique.h>

#include <dlfcn.h>

#include <cstring>
#include <strings.h>

namespace kvlink {

namespace {

// Where each library reports its registry failures.
struct SourcePlace {
  const char* source;
  int openKeyLine;
  int openParameterLine;
};
constexpr SourcePlace kSerialPlace{kCommSource, 720, 732};
constexpr SourcePlace kUsbPlace{kUsbApiSource, 130, 141};

const char* kQueryFailed = "RegQueryValueEx() --> RegQueryValueEx() failed";

[[noreturn]] void MissingValue(const SourcePlace& place, const char* name, int line) {
  throw CErrorException(-2, kQueryFailed, name, place.source, line);
}

bool QueryDword(HKEY key, const char* name, DWORD& out) {
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_DWORD || size != sizeof value) return false;
  out = value;
  return true;
}

// A REG_SZ of at most the field's size, NUL included.
bool QueryPath(HKEY key, const char* name, char (&out)[kPathField + 1]) {
  char buffer[kPathField + 1] = {};
  DWORD type = 0;
  DWORD size = kPathField;
  if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  buffer[std::min<DWORD>(size, kPathField)] = '\0';
  const std::string resolved = ResolveModulePath(buffer, OwnModuleFolder());
  if (resolved.size() > kPathField) return false;
  memset(out, 0, sizeof out);
  memcpy(out, resolved.data(), resolved.size());
  return true;
}

void RequireDword(HKEY key, const SourcePlace& place, const char* name, int line, DWORD& out) {
  if (!QueryDword(key, name, out)) MissingValue(place, name, line);
}

void RequirePath(HKEY key, const SourcePlace& place, const char* name, int line, char (&out)[kPathField + 1]) {
  if (!QueryPath(key, name, out)) MissingValue(place, name, line);
}

DWORD OptionalDword(HKEY key, const char* name, DWORD fallback) {
  DWORD value = fallback;
  return QueryDword(key, name, value) ? value : fallback;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

size_t AfterLastSeparator(const std::string& path) {
  const size_t pos = path.find_last_of("\\/");
  return pos == std::string::npos ? 0 : pos + 1;
}

bool SameFolderChars(const std::string& a, const std::string& b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (IsSeparator(a[i]) && IsSeparator(b[i])) continue;
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

void RetrieveRegistryInfo(const char* key, LinkKind kind, LinkSettings& s) {
  const SourcePlace& place = kind == LinkKind::Serial ? kSerialPlace : kUsbPlace;
  kvp::UniqueHKey root;
  if (!key || RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, root.put()) != ERROR_SUCCESS)
    throw CErrorException(-1, "RetrieveRegistryInfo() --> RegOpenKeyEx() failed", key ? key : "", place.source,
                          place.openKeyLine);
  kvp::UniqueHKey parameter;
  if (RegOpenKeyEx(root.get(), "Parameter", 0, KEY_READ, parameter.put()) != ERROR_SUCCESS)
    throw CErrorException(-1, "RegQueryValueEx() --> RegOpenKeyEx() failed", "Parameter", place.source,
                          place.openParameterLine);
  const HKEY k = parameter.get();

  if (kind == LinkKind::Usb) {
    RequirePath(k, place, "Firmware", 156, s.firmware);
    s.reloadFirmware = OptionalDword(k, "ReloadFirmware", 0) == 1;
    return;
  }
  RequireDword(k, place, "ComPort", 748, s.comPort);
  RequireDword(k, place, "Baudrate", 763, s.baudrate);
  RequirePath(k, place, "BootFile1", 778, s.bootFile1);
  RequirePath(k, place, "BootFile2", 794, s.bootFile2);
  RequirePath(k, place, "Firmware", 810, s.firmware);
  RequireDword(k, place, "ResetType", 826, s.resetType);
  s.reloadFirmware = OptionalDword(k, "ReloadFirmware", 0) == 1;
  s.useFlash = OptionalDword(k, "UseFlash", 0);
  s.bootBlockSize = OptionalDword(k, "BootBlockSize", 230);
  if (s.bootBlockSize > 240) s.bootBlockSize = 230;
  s.bootWait = OptionalDword(k, "BootWait", 20);
  s.reloadWait = OptionalDword(k, "ReloadWait", 300);
  if (s.useFlash != 0) RequirePath(k, place, "FlashBootFile", 963, s.flashBootFile);
}

void RetrieveThreadPriorities(const char* key, LinkSettings& s) {
  kvp::UniqueHKey root, parameter;
  if (!key || RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, root.put()) != ERROR_SUCCESS) return;
  if (RegOpenKeyEx(root.get(), "Parameter", 0, KEY_READ, parameter.put()) != ERROR_SUCCESS) return;
  s.threadRead = static_cast<int>(OptionalDword(parameter.get(), "ThreadRead", 0));
  s.threadWrite = static_cast<int>(OptionalDword(parameter.get(), "ThreadWrite", 0));
  s.threadProtocolWrite = static_cast<int>(OptionalDword(parameter.get(), "ThreadProtocolWrite", 0));
}

void WriteUseFlashKey(const char* key, LinkSettings& s) {
  if (s.useFlash != 2 || s.reloadFirmware) return;
  s.useFlash = 1;
  kvp::UniqueHKey root, parameter;
  if (!key || RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, root.put()) != ERROR_SUCCESS)
    throw CErrorException(-1, "WriteUseFlashKey() --> RegOpenKeyEx() failed", key ? key : "", kCommSource, 1134);
  if (RegOpenKeyEx(root.get(), "Parameter", 0, KEY_SET_VALUE, parameter.put()) != ERROR_SUCCESS)
    throw CErrorException(-1, "WriteUseFlashKey(() --> RegOpenKeyEx() failed", "Parameter", kCommSource, 1146);
  const DWORD one = 1;
  RegSetValueEx(parameter.get(), "UseFlash", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
}

std::string ResolveModulePath(const std::string& value, const std::string& moduleFolder) {
  const std::string& m = moduleFolder;
  const size_t nameStart = AfterLastSeparator(value);
  const std::string folder = value.substr(0, nameStart);
  const std::string name = value.substr(nameStart);
  if (folder.size() <= m.size() && folder.size() != m.size() && SameFolderChars(folder, m, folder.size())) {
    const std::string rest = m.substr(folder.size());
    size_t separators = 0;
    for (char c : rest) separators += IsSeparator(c) ? 1 : 0;
    if (separators <= 1 && !rest.empty() && rest[0] == '+') return m + name;
  }
  return folder + name;
}

std::string OwnModuleFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&OwnModuleFolder), &info) || !info.dli_fname) return {};
  const std::string path = info.dli_fname;
  return path.substr(0, AfterLastSeparator(path));
}

int FirmwareFileVersion(const char* key, LinkKind kind, char* out) {
  LinkSettings settings;
  try {
    RetrieveRegistryInfo(key ? key : "", kind, settings);
  } catch (const CErrorException&) {
    if (out) out[0] = '\0';
    return 0;
  }
  const std::string text = ReadFileVersion(settings.firmware);
  if (out) std::memcpy(out, text.c_str(), text.size() + 1);
  return text.empty() ? 0 : 1;
}

}  // namespace kvlink
