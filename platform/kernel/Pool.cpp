// Pool memory with per-tag accounting, counted Unicode strings and the registry below
// "\Registry\Machine".
#include "HostInternal.h"

#include <platform/registry.h>

#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace kvp::kernel {

namespace {

// Every block carries a header with its tag and size, so ExFreePool can account without a tag.
struct alignas(16) PoolHeader {
  ULONG tag;
  ULONG magic;
  size_t bytes;
};
constexpr ULONG kPoolMagic = 0x4C4F4F50;  // "POOL"

struct PoolCounts {
  size_t bytes = 0;
  size_t blocks = 0;
};

std::mutex& PoolMu() {
  static std::mutex mu;
  return mu;
}
std::unordered_map<ULONG, PoolCounts>& Pool() {
  static auto* pool = new std::unordered_map<ULONG, PoolCounts>;
  return *pool;
}

}  // namespace

size_t PoolBytes(ULONG tag) {
  std::lock_guard lock(PoolMu());
  auto it = Pool().find(tag);
  return it == Pool().end() ? 0 : it->second.bytes;
}

size_t PoolBlocks(ULONG tag) {
  std::lock_guard lock(PoolMu());
  auto it = Pool().find(tag);
  return it == Pool().end() ? 0 : it->second.blocks;
}

size_t PoolBlocksAll() {
  std::lock_guard lock(PoolMu());
  size_t n = 0;
  for (auto& [tag, c] : Pool()) n += c.blocks;
  return n;
}

std::u16string ToUtf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string ToAscii(const char16_t* text, size_t chars) {
  std::string out;
  out.reserve(chars);
  for (size_t i = 0; i < chars; ++i) out.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
  return out;
}

std::string Lower(std::string text) {
  for (auto& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace kvp::kernel

using namespace kvp::kernel;

extern "C" {

PLATFORM_API PVOID ExAllocatePoolWithTag(POOL_TYPE, SIZE_T bytes, ULONG tag) {
  auto* header = static_cast<PoolHeader*>(std::malloc(sizeof(PoolHeader) + (bytes ? bytes : 1)));
  if (!header) return nullptr;
  header->tag = tag;
  header->magic = kPoolMagic;
  header->bytes = bytes;
  {
    std::lock_guard lock(PoolMu());
    auto& c = Pool()[tag];
    c.bytes += bytes;
    c.blocks += 1;
  }
  return header + 1;
}

PLATFORM_API void ExFreePool(PVOID block) {
  if (!block) return;
  auto* header = static_cast<PoolHeader*>(block) - 1;
  if (header->magic != kPoolMagic) std::abort();  // not a pool block: a driver bug, stop here
  {
    std::lock_guard lock(PoolMu());
    auto& c = Pool()[header->tag];
    c.bytes -= header->bytes;
    c.blocks -= 1;
  }
  header->magic = 0;
  std::free(header);
}

PLATFORM_API void ExFreePoolWithTag(PVOID block, ULONG) { ExFreePool(block); }

PLATFORM_API void RtlInitUnicodeString(PUNICODE_STRING target, PCWSTR source) {
  size_t n = 0;
  if (source)
    while (source[n]) ++n;
  target->Buffer = const_cast<PWSTR>(source);
  target->Length = static_cast<USHORT>(n * sizeof(WCHAR));
  target->MaximumLength = source ? static_cast<USHORT>((n + 1) * sizeof(WCHAR)) : 0;
}

PLATFORM_API NTSTATUS RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING target) {
  if (base == 0) base = 10;
  if (base != 2 && base != 8 && base != 10 && base != 16) return STATUS_INVALID_PARAMETER;
  char16_t digits[33];
  int n = 0;
  do {
    const ULONG d = value % base;
    digits[n++] = static_cast<char16_t>(d < 10 ? u'0' + d : u'A' + d - 10);
    value /= base;
  } while (value);
  const size_t bytes = n * sizeof(WCHAR);
  if (bytes + sizeof(WCHAR) > target->MaximumLength) return STATUS_BUFFER_TOO_SMALL;
  for (int i = 0; i < n; ++i) target->Buffer[i] = digits[n - 1 - i];
  target->Buffer[n] = 0;
  target->Length = static_cast<USHORT>(bytes);
  return STATUS_SUCCESS;
}

PLATFORM_API NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING target, PCUNICODE_STRING source) {
  if (!source->Length) return STATUS_SUCCESS;
  if (target->Length + source->Length > target->MaximumLength) return STATUS_BUFFER_TOO_SMALL;
  std::memmove(reinterpret_cast<char*>(target->Buffer) + target->Length, source->Buffer, source->Length);
  target->Length = static_cast<USHORT>(target->Length + source->Length);
  if (target->Length + sizeof(WCHAR) <= target->MaximumLength) target->Buffer[target->Length / sizeof(WCHAR)] = 0;
  return STATUS_SUCCESS;
}

PLATFORM_API NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING target, PCWSTR source) {
  UNICODE_STRING s;
  RtlInitUnicodeString(&s, source);
  return RtlAppendUnicodeStringToString(target, &s);
}

PLATFORM_API void RtlCopyUnicodeString(PUNICODE_STRING target, PCUNICODE_STRING source) {
  if (!source) {
    target->Length = 0;
    return;
  }
  const USHORT n = source->Length < target->MaximumLength ? source->Length : target->MaximumLength;
  std::memmove(target->Buffer, source->Buffer, n);
  target->Length = n;
  if (n + sizeof(WCHAR) <= target->MaximumLength) target->Buffer[n / sizeof(WCHAR)] = 0;
}

PLATFORM_API void RtlFreeUnicodeString(PUNICODE_STRING string) {
  if (string->Buffer) ExFreePool(string->Buffer);
  string->Buffer = nullptr;
  string->Length = string->MaximumLength = 0;
}

// Keys: "\Registry\Machine\<path>" opens <path> below HKEY_LOCAL_MACHINE for reading. Names are
// compared without regard to case, as the registry does.
PLATFORM_API NTSTATUS ZwOpenKey(HANDLE* key, ACCESS_MASK, POBJECT_ATTRIBUTES attributes) {
  if (!key || !attributes || !attributes->ObjectName) return STATUS_INVALID_PARAMETER;
  const std::string path =
      ToAscii(attributes->ObjectName->Buffer, attributes->ObjectName->Length / sizeof(WCHAR));
  static const std::string kMachine = "\\registry\\machine\\";
  if (Lower(path.substr(0, kMachine.size())) != kMachine) return STATUS_OBJECT_NAME_NOT_FOUND;
  HKEY hkey = 0;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.substr(kMachine.size()).c_str(), 0, KEY_READ, &hkey) != ERROR_SUCCESS)
    return STATUS_OBJECT_NAME_NOT_FOUND;
  *key = hkey;
  return STATUS_SUCCESS;
}

PLATFORM_API NTSTATUS ZwQueryValueKey(HANDLE key, PUNICODE_STRING name, KEY_VALUE_INFORMATION_CLASS cls, PVOID info,
                                      ULONG length, PULONG resultLength) {
  if (cls != KeyValuePartialInformation || !name) return STATUS_INVALID_PARAMETER;
  const std::string value = ToAscii(name->Buffer, name->Length / sizeof(WCHAR));
  DWORD type = 0, size = 0;
  if (RegQueryValueEx(key, value.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return STATUS_OBJECT_NAME_NOT_FOUND;
  const ULONG needed = static_cast<ULONG>(offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data) + size);
  if (resultLength) *resultLength = needed;
  if (!info || length < needed) return STATUS_BUFFER_TOO_SMALL;
  auto* partial = static_cast<KEY_VALUE_PARTIAL_INFORMATION*>(info);
  partial->TitleIndex = 0;
  partial->Type = type;
  partial->DataLength = size;
  if (RegQueryValueEx(key, value.c_str(), nullptr, &type, partial->Data, &size) != ERROR_SUCCESS)
    return STATUS_OBJECT_NAME_NOT_FOUND;
  return STATUS_SUCCESS;
}

PLATFORM_API NTSTATUS ZwClose(HANDLE handle) {
  return RegCloseKey(handle) == ERROR_SUCCESS ? STATUS_SUCCESS : STATUS_INVALID_HANDLE;
}

}  // extern "C"
