#include "EngineTesterFixture.h"

#include <platform/registry.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace kv310::testing {

namespace {

constexpr const char* kParameterKey = "Software\\KELO\\Kv310\\Parameter";

}  // namespace

void SetFirmwareFileValue(const char* path) {
  HKEY key = 0;
  if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, kParameterKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    throw std::runtime_error("cannot create registry key");
  if (path) {
    RegSetValueEx(key, "FirmwareMotortester", 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                  static_cast<DWORD>(std::strlen(path) + 1));
  } else {
    RegDeleteValue(key, "FirmwareMotortester");
  }
  RegCloseKey(key);
}

void RemoveParameterKey() { RegDeleteKey(HKEY_LOCAL_MACHINE, kParameterKey); }

std::string HexRecord(uint16_t address, const std::vector<uint8_t>& data, uint8_t type) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                                static_cast<uint8_t>(address), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  bytes.push_back(static_cast<uint8_t>(-sum));
  std::string line = ":";
  char hex[3];
  for (uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    line += hex;
  }
  return line;
}

FirmwareImage FirmwareImage::WithRecords(int count, const std::string& version) {
  FirmwareImage image;
  image.version = version;
  for (int i = 0; i < count; ++i) {
    std::vector<uint8_t> data(16);
    for (size_t b = 0; b < data.size(); ++b) data[b] = static_cast<uint8_t>(i * 16 + b);
    image.records.push_back(HexRecord(static_cast<uint16_t>(i * 16), data));
  }
  return image;
}

std::string FirmwareImage::Text() const {
  std::string text;
  for (const std::string& record : records) text += record + lineEnd;
  text += std::string(kHexEndRecord) + lineEnd;
  text += version + lineEnd;
  return text;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path);
}

void EngineTesterFixture::SetUp() {
  LinkFixture::SetUp();
  SetFirmwareFileValue(nullptr);
  std::remove(kFirmwarePath);
}

void EngineTesterFixture::TearDown() {
  // A link the test opened through the interface is closed with the fixture's.
  if (!m_link) m_link = Link();
  LinkFixture::TearDown();
}

void EngineTesterFixture::ReloadLibrary() {
  CComPort* link = Link();
  SetLink(nullptr);  // the unload would end it
  LibraryDetach();
  LibraryAttach();
  SetLink(link);
}

void EngineTesterFixture::AttachEngineTester(bool attached, uint8_t identity) {
  Board().Update([&](sim::BoardScenario& s) {
    s.engineTesterAttached = attached;
    s.engineTesterIdentity = identity;
  });
}

void EngineTesterFixture::UseFirmware(const FirmwareImage& file, const std::string& board) {
  WriteFile(kFirmwarePath, file.Text());
  SetFirmwareFileValue(kFirmwarePath);
  Board().Update([&](sim::BoardScenario& s) {
    s.engineTesterFirmware = board;
    s.engineTesterFirmwareAfterDownload = file.version;
  });
}

void EngineTesterFixture::OpenAndStart() {
  ASSERT_EQ(Communication().Open(), kOk);
  ASSERT_EQ(Communication().Start(), kOk);
  Board().ClearLog();
}

std::vector<uint8_t> EngineTesterFixture::Commands() {
  std::vector<uint8_t> commands;
  for (const sim::Bytes& request : Requests()) commands.push_back(request[0]);
  return commands;
}

std::vector<uint8_t> EngineTesterFixture::FirmwareDialogue() {
  std::vector<uint8_t> dialogue;
  for (const sim::Bytes& request : Requests())
    if (request.size() >= 2 && request[0] == 0x60) dialogue.push_back(request[1]);
  return dialogue;
}

}  // namespace kv310::testing
