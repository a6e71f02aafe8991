// The link opened and started through ICommunication_1 on the board model of "zlinksim.dll",
// with the engine-tester module attached or not, and firmware files for its firmware check.
#pragma once

#include "LinkFixture.h"
#include "instruments/ImplementationMotortester_6.h"

#include <kv310/Kv310.h>

#include <string>
#include <vector>

namespace kv310::testing {

// Writes (or, for a null path, removes) the machine-wide "FirmwareMotortester" value.
void SetFirmwareFileValue(const char* path);
// Removes the key that holds it ("Software\KELO\Kv310\Parameter").
void RemoveParameterKey();

// One Intel HEX record line, without its line end.
std::string HexRecord(uint16_t address, const std::vector<uint8_t>& data, uint8_t type = 0);
inline constexpr const char* kHexEndRecord = ":00000001FF";

// An engine-tester firmware file: `records` data records, the end record, then the version line.
struct FirmwareImage {
  std::vector<std::string> records;
  std::string version = "Version 2.05";
  std::string lineEnd = "\n";

  static FirmwareImage WithRecords(int count, const std::string& version);
  // The file's text: records, end record and version line, each followed by the line end.
  std::string Text() const;
};

// Writes `text` to `path` (relative to the test's working folder).
void WriteFile(const std::string& path, const std::string& text);

class EngineTesterFixture : public LinkFixture {
 protected:
  void SetUp() override;
  void TearDown() override;
  bool StartsLink() const override { return false; }

  ICommunication_1& Communication() { return *static_cast<ICommunication_1*>(InterfaceOf(kCommunication)); }
  IInfo_0& Info() { return *static_cast<IInfo_0*>(InterfaceOf(kInfo)); }
  ImplementationMotortester_6& Tester() { return *EngineTester(); }

  // A fresh load of the library's objects (the firmware not yet checked, default parameters);
  // the link, if any, stays.
  void ReloadLibrary();
  void AttachEngineTester(bool attached, uint8_t identity = 7);
  // The board's firmware and the file's: `file` is written and named in the registry.
  void UseFirmware(const FirmwareImage& file, const std::string& board);
  // Open and Start through the interface; the board's log starts empty afterwards.
  void OpenAndStart();

  // The payloads the board received, and the command bytes of them.
  std::vector<sim::Bytes> Requests() { return Board().RequestPayloads(); }
  std::vector<uint8_t> Commands();
  // The firmware service subcommands (60 xx) in the order sent.
  std::vector<uint8_t> FirmwareDialogue();

  static constexpr const char* kFirmwarePath = "motortester.hex";
};

}  // namespace kv310::testing
