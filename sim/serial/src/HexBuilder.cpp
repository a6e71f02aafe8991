#include <sim/HexBuilder.h>

#include <cstdio>
#include <fstream>

namespace sim::hex {

std::string Record(uint8_t type, uint16_t address, std::span<const uint8_t> data, bool wrongChecksum) {
  std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                             static_cast<uint8_t>(address & 0xFF), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  bytes.push_back(static_cast<uint8_t>(0x100 - sum + (wrongChecksum ? 1 : 0)));
  std::string line = ":";
  char digits[3];
  for (uint8_t b : bytes) {
    snprintf(digits, sizeof digits, "%02X", b);
    line += digits;
  }
  return line + "\r\n";
}

std::string EndRecord() { return ":00000001FF\r\n"; }

std::string VersionLine(const std::string& version) { return "Version " + version + "\r\n"; }

std::string DataRecords(uint16_t address, std::span<const uint8_t> bytes, size_t perRecord) {
  std::string text;
  for (size_t at = 0; at < bytes.size(); at += perRecord) {
    const size_t n = std::min(perRecord, bytes.size() - at);
    text += Record(0, static_cast<uint16_t>(address + at), bytes.subspan(at, n));
  }
  return text;
}

FileSet SyntheticFiles(const std::string& firmwareVersion, size_t firmwareBytes, const std::string& flashMarker,
                       size_t bytesPerRecord) {
  FileSet files;
  std::vector<uint8_t> boot1(64);
  for (size_t i = 0; i < boot1.size(); ++i) boot1[i] = static_cast<uint8_t>(0x40 + i);
  files.bootFile1 = DataRecords(0x0000, boot1) + EndRecord();
  files.bootFile1Length = boot1.size();

  const std::string ram = "RAM-LOADER stage two";
  const std::string flash = flashMarker + " stage two";
  files.bootFile2 = Record(4, 0, std::vector<uint8_t>{0, 0}) +
                    DataRecords(0xF600, std::span(reinterpret_cast<const uint8_t*>(ram.data()), ram.size())) +
                    EndRecord();
  files.flashBootFile = Record(4, 0, std::vector<uint8_t>{0, 0}) +
                        DataRecords(0xF600, std::span(reinterpret_cast<const uint8_t*>(flash.data()), flash.size())) +
                        EndRecord();

  std::vector<uint8_t> image(firmwareBytes);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  const std::string text = "Version " + firmwareVersion + " ";
  if (image.size() >= text.size() + 16) std::copy(text.begin(), text.end(), image.end() - text.size() - 8);
  files.firmwareImage = image;
  files.firmware = Record(2, 0, std::vector<uint8_t>{0x10, 0x00}) + DataRecords(0x0000, image, bytesPerRecord) +
                   EndRecord() + VersionLine(firmwareVersion);
  return files;
}

bool WriteTextFile(const std::string& linuxPath, const std::string& text) {
  std::ofstream out(linuxPath, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace sim::hex
