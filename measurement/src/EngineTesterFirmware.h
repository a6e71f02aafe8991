// The engine-tester board's own firmware: the file the installation names in the registry, the
// check of its version against the board's, the line-by-line download when they differ, and the
// six correction values the board hands out when it leaves download mode.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace kv310 {

class EngineTesterFirmware {
 public:
  static constexpr int kCorrectionCount = 6;

  // Compares the file's version text with the board's, downloads the file when they differ, and
  // takes the correction values. kOk, or kFirmwareKeyMissing, kNoLink (file unreadable),
  // kFirmwareFileUnreadable (for the download), kNoDownloadMode, kFirmwareLineRefused,
  // kFirmwareVersionStatus / kBoardErrorStatus / kBadReply (version reply), kBoardErrorStatus
  // (corrections not confirmed), kLinkTimeout / kLinkError (link).
  int Check();

  // The board's version text (from its first 'V') into `text`; `text` is left as it was when the
  // reply holds no 'V'. kOk, kLinkTimeout / kLinkError / kNoLink from the link, kBadReply,
  // kFirmwareVersionStatus or kBoardErrorStatus.
  static int ReadBoardFirmwareVersion(std::string* text);

  std::string FileVersion() const;
  std::string BoardVersion() const;
  uint16_t Correction(int index) const;  // 0..5, in the board's order; 0 outside

 private:
  int ReadFirmwarePath();
  int ReadFileVersion();
  int Download();
  int ReadCorrections();

  mutable std::mutex m_lock;  // the texts and values below
  std::string m_path;
  std::string m_fileVersion;
  std::string m_boardVersion;
  uint16_t m_corrections[kCorrectionCount] = {};
};

}  // namespace kv310
