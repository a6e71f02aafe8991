// Firmware version texts: the file's text, the comparison table and the status rules.
#include <link/FirmwareVersion.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

using namespace kvlink;

TEST(FirmwareVersion, CompareTexts) {
  struct Case {
    const char* board;
    const char* file;
    int result;
  } cases[] = {
      {"1.23", "1.23", kVersionSame},
      {"1.10", "1.9", kVersionFileNewer},  // heads read as decimal numbers: 1.1 < 1.9
      {"2.0", "2.0b", kVersionFileNewer},
      {"2.0b", "2.0", kVersionBoardNewer},
      {"2.0a", "2.0B", kVersionFileNewer},  // tails lower-cased
      {"2.0B", "2.0b", kVersionSame},
      {"3.0", "2.9", kVersionBoardNewer},
      {"", "1.0", kVersionFileNewer},
      {"1.2.3", "1.2.4", kVersionSame},  // heads 1.2 and 1.2, no tails
  };
  for (const auto& c : cases) EXPECT_EQ(CompareVersionTexts(c.board, c.file), c.result) << c.board << " " << c.file;
}

TEST(FirmwareVersion, StatusRules) {
  struct Case {
    uint16_t status;
    const char* board;
    StatusRule rule;
    int result;
  } cases[] = {
      {0x0208, "1.23", StatusRule::Serial, kVersionSame},
      {0x0208, "1.22", StatusRule::Serial, kVersionFileNewer},
      {0x0008, "1.23", StatusRule::Serial, kVersionFileNewer},
      {0x0008, "1.23", StatusRule::Usb, kVersionBoardNewer},
      {0x0108, "1.23", StatusRule::Serial, kVersionBoardNewer},
      {0x0200, "1.23", StatusRule::Serial, kVersionNoAnswer},
      {0x0200, "1.23", StatusRule::Usb, kVersionNoAnswer},
  };
  for (const auto& c : cases) {
    HwSwInfo info{};
    info.boardStatus = c.status;
    memcpy(info.firmwareText, c.board, strlen(c.board));
    EXPECT_EQ(CompareFirmwareVersion(info, "1.23", c.rule), c.result) << std::hex << c.status;
  }
}

TEST(FirmwareVersion, BoardTextIsBoundedToItsField) {
  HwSwInfo info{};
  memset(info.firmwareText, '9', sizeof info.firmwareText);  // no terminator in the field
  info.description1[0] = 'X';
  EXPECT_EQ(BoardVersionText(info), "999999999");
}

TEST(FirmwareVersion, TextFromTheFileTail) {
  struct Case {
    std::string content;
    std::string text;
  } cases[] = {
      {std::string(100, 'x') + "\nVersion 3.12-rc_1x \n", "3.12-rc_1x"},
      {std::string(100, 'x') + "\nVersion 1.0", "1.0"},
      {"Version 1.0" + std::string(40, ' '), ""},  // the marker lies before the last 40 bytes
      {"Version 1.0", ""},                         // shorter than 40 bytes: the seek fails
      {std::string(100, 'x') + "Version: 1.0\n", ""},
  };
  for (const auto& c : cases) {
    { std::ofstream("fw.hex", std::ios::binary) << c.content; }
    EXPECT_EQ(ReadFileVersion("fw.hex"), c.text) << c.content;
  }
  EXPECT_EQ(ReadFileVersion("missing.hex"), "");
}

}  // namespace
