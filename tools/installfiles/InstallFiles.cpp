// kv310-install-files <build folder>: writes the machine-wide values of an installation in
// <build folder>/bin as <build folder>/kv310.reg, and the firmware files they name (made by the
// simulated board's Intel HEX generator so they match its flash, so no download is needed).
#include <sim/HexBuilder.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// The version the simulated board's flash and engine-tester module report.
constexpr const char* kBoardFirmware = "3.10";
constexpr const char* kEngineTesterFirmware = "1.00";

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

std::string EngineTesterFile() {
  std::string text;
  for (uint16_t address = 0; address < 0x400; address += 16) {
    uint8_t bytes[16];
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>((address + i) * 7);
    text += sim::hex::Record(0x00, address, bytes);
  }
  return text + sim::hex::EndRecord() + sim::hex::VersionLine(kEngineTesterFirmware);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kv310-install-files <build folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  const std::string bin = root + "/bin";
  const std::string firmware = root + "/firmware";
  std::error_code error;
  std::filesystem::create_directories(firmware, error);

  const sim::hex::FileSet files = sim::hex::SyntheticFiles(kBoardFirmware);
  bool ok = sim::hex::WriteTextFile(firmware + "/boot1.hex", files.bootFile1) &&
            sim::hex::WriteTextFile(firmware + "/boot2.hex", files.bootFile2) &&
            sim::hex::WriteTextFile(firmware + "/firmware.hex", files.firmware) &&
            sim::hex::WriteTextFile(firmware + "/motortester.hex", EngineTesterFile());
  if (!ok) {
    std::fprintf(stderr, "kv310-install-files: cannot write the firmware files in %s\n", firmware.c_str());
    return 1;
  }

  std::ofstream reg(root + "/kv310.reg");
  reg << "REGEDIT4\n\n"
      << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\KV310]\n"
      << "\"Path\"=\"" << Escaped(bin + "/") << "\"\n\n"
      << "[HKEY_LOCAL_MACHINE\\Software\\KELO\\Kv310]\n"
      << "\"DLL name\"=\"ZLINKSER.dll\"\n\n"
      << "[HKEY_LOCAL_MACHINE\\Software\\KELO\\Kv310\\Parameter]\n"
      << "\"ComPort\"=dword:00000001\n"
      << "\"Baudrate\"=dword:0001c200\n"
      << "\"ResetType\"=dword:00000000\n"
      << "\"BootFile1\"=\"" << Escaped(firmware + "/boot1.hex") << "\"\n"
      << "\"BootFile2\"=\"" << Escaped(firmware + "/boot2.hex") << "\"\n"
      << "\"Firmware\"=\"" << Escaped(firmware + "/firmware.hex") << "\"\n"
      << "\"FirmwareMotortester\"=\"" << Escaped(firmware + "/motortester.hex") << "\"\n\n"
      << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KV310Platform]\n"
      << "\"SimulatedHardware\"=\"kv310sim.dll\"\n";
  return reg.good() ? 0 : 1;
}
