#include <scope/ScopeFiles.h>

#include <core/MeasureType.h>

#include <platform/afxfile.h>
#include <platform/codepage.h>
#include <platform/files.h>
#include <platform/storage.h>
#include <platform/wholefile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace scope {

namespace {

// The system's text for a failed open, as FormatMessage gives it (without the line end).
std::string SystemReason(LONG osError) {
  char buffer[512] = {};
  const DWORD length = FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(osError), 0, buffer,
                                     sizeof buffer, nullptr);
  std::string text(buffer, std::min<size_t>(length, sizeof buffer - 1));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string Format(const char* pattern, const std::string& argument) {
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, pattern, argument.c_str());
  return buffer;
}

// A file the system could not open: `pattern` with the system's reason.
FileOutcome OpenFailure(const char* pattern, LONG osError) {
  return FileOutcome::Fail(Format(pattern, SystemReason(osError)), MB_ICONEXCLAMATION);
}

// Replaces the file with the bytes; the old file stays as it was when the save fails.
FileOutcome WriteNewFile(const char* path, const std::vector<uint8_t>& bytes) {
  const kvp::FileResult result = kvp::ReplaceFile(path, bytes.data(), bytes.size());
  if (result.failed == kvp::FileResult::Step::kOpen) return OpenFailure(kMsgCouldntOpenFile, result.osError);
  if (!result.Ok()) return FileOutcome::Fail(kMsgCannotWrite, MB_ICONEXCLAMATION);
  return FileOutcome::Ok();
}

// Reads the whole file (at most kMaxScopeFileSize bytes) with writers denied.
FileOutcome ReadWholeFile(const char* path, const char* openPattern, std::vector<uint8_t>& out) {
  const kvp::FileResult result = kvp::ReadWholeFile(path, kMaxScopeFileSize, out);
  if (result.failed == kvp::FileResult::Step::kOpen) return OpenFailure(openPattern, result.osError);
  if (!result.Ok()) return FileOutcome::Fail(kMsgCannotRead, MB_ICONEXCLAMATION);
  return FileOutcome::Ok();
}

std::string LowerExtension(const char* path) {
  const std::string name(path);
  const size_t slash = name.find_last_of("\\/");
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

std::basic_string<OLECHAR> OleName(const std::string& text) {
  std::vector<OLECHAR> buffer(text.size() + 1);
  if (!ToWide(buffer.data(), text.c_str(), static_cast<int>(buffer.size()), CP_ACP)) return {};
  return buffer.data();
}

std::basic_string<OLECHAR> StreamName(int slot) { return OleName("CustomSet_" + std::to_string(slot)); }

// Creates the missing folders of a file's path.
void CreateFolders(const std::string& path) {
  for (size_t i = 1; i < path.size(); ++i)
    if (path[i] == '\\' || path[i] == '/') CreateDirectory(path.substr(0, i).c_str(), nullptr);
}

struct Releaser {
  IUnknown* object;
  ~Releaser() {
    if (object) object->Release();
  }
};

}  // namespace

OLECHAR* ToWide(OLECHAR* buffer, const char* text, int length, UINT codePage) {
  if (!buffer || !text || length <= 0) return nullptr;
  if (MultiByteToWideChar(codePage, 0, text, -1, buffer, length) == 0) return nullptr;
  return buffer;
}

FileOutcome WriteSettingsFile(const char* path, const SettingsSnapshot& s) {
  const SettingsFileBytes bytes = EncodeSettingsFile(s);
  return WriteNewFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

FileOutcome ReadSettingsFile(const char* path, SettingsSnapshot& out) {
  std::vector<uint8_t> bytes;
  FileOutcome read = ReadWholeFile(path, kMsgCouldntOpenFile, bytes);
  if (!read.m_bOk) return read;
  const std::optional<SettingsSnapshot> s = ParseSettingsFile(bytes);
  if (!s) return FileOutcome::Fail(kMsgCannotRead, MB_ICONEXCLAMATION);
  out = *s;
  return FileOutcome::Ok();
}

FileOutcome WriteOsgFile(const char* path, const SignalFile& file) { return WriteNewFile(path, EncodeOsgFile(file)); }

std::string SignalFileDefaultName(const SYSTEMTIME& localTime) {
  char name[64];
  std::snprintf(name, sizeof name, kSignalDefaultName, localTime.wDay, localTime.wMonth, localTime.wHour,
                localTime.wMinute);
  return name;
}

FileOutcome ReadSignalFile(const char* path, SignalFile& out) {
  const std::string ext = LowerExtension(path);
  if (ext != "osg" && ext != "osc") return FileOutcome::Fail({}, 0);
  std::vector<uint8_t> bytes;
  FileOutcome read = ReadWholeFile(path, kMsgCouldntOpenSource, bytes);
  if (!read.m_bOk) return read;
  const std::optional<SignalFile> file = ext == "osg" ? ParseOsgFile(bytes) : ParseOscFile(bytes);
  if (!file) return FileOutcome::Fail(kMsgCannotRead, MB_ICONEXCLAMATION);
  out = *file;
  return FileOutcome::Ok();
}

std::string CustomSetPath() {
  char folder[MAX_PATH] = {};
  if (SHGetFolderPath(0, CSIDL_APPDATA, 0, 0, folder) != S_OK) return {};
  return std::string(folder) + kCustomSetRelativePath;
}

bool IsCustomSetRefused(int measureType) { return measure::IsTesterSetUp(measure::MeasureType{measureType}); }

FileOutcome SaveCustomSlot(const char* path, int slot, const SettingsSnapshot& s) {
  const auto name = OleName(path);
  IStorage* storage = nullptr;
  HRESULT hr = StgOpenStorage(name.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, &storage);
  if (hr == STG_E_FILENOTFOUND || hr == STG_E_PATHNOTFOUND) {
    CreateFolders(path);
    hr = StgCreateDocfile(name.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage);
    if (FAILED(hr)) return FileOutcome::Fail(kMsgSlotCannotCreateFile, MB_ICONEXCLAMATION);
  } else if (FAILED(hr)) {
    return FileOutcome::Fail(kMsgSlotCannotOpenFile, MB_ICONEXCLAMATION);
  }
  Releaser storageOwner{storage};
  const auto stream = StreamName(slot);
  IStream* out = nullptr;
  if (FAILED(storage->OpenStream(stream.c_str(), nullptr, STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, &out)) &&
      FAILED(storage->CreateStream(stream.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &out)))
    return FileOutcome::Fail(kMsgSlotCannotSave, MB_ICONEXCLAMATION);
  const SettingsFileBytes bytes = EncodeSettingsFile(s);
  ULARGE_INTEGER size{};
  size.QuadPart = bytes.size();
  ULONG written = 0;
  const bool ok = SUCCEEDED(out->SetSize(size)) &&
                  SUCCEEDED(out->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) &&
                  written == bytes.size();
  out->Release();
  if (!ok || FAILED(storage->Commit(STGC_DEFAULT))) return FileOutcome::Fail(kMsgSlotCannotSave, MB_ICONEXCLAMATION);
  return FileOutcome::Ok();
}

FileOutcome LoadCustomSlot(const char* path, int slot, SettingsSnapshot& result) {
  const auto name = OleName(path);
  IStorage* storage = nullptr;
  if (FAILED(StgOpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &storage)))
    return FileOutcome::Fail(kMsgSlotNoFile, MB_ICONINFORMATION | MB_TOPMOST);
  Releaser storageOwner{storage};
  const auto stream = StreamName(slot);
  IStream* in = nullptr;
  if (FAILED(storage->OpenStream(stream.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &in)))
    return FileOutcome::Fail(kMsgSlotNotSaved, MB_ICONINFORMATION | MB_TOPMOST);
  Releaser streamOwner{in};
  std::vector<uint8_t> bytes(kSettingsFileSize + 1);
  ULONG got = 0;
  if (FAILED(in->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got)))
    return FileOutcome::Fail(kMsgSlotCannotLoad, MB_ICONEXCLAMATION);
  bytes.resize(got);
  const std::optional<SettingsSnapshot> s = ParseCustomSlot(bytes);
  if (!s) return FileOutcome::Fail(kMsgSlotCannotLoad, MB_ICONEXCLAMATION);
  result = *s;
  return FileOutcome::Ok();
}

}  // namespace scope
