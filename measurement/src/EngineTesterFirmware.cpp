#include "EngineTesterFirmware.h"

#include "BoardFrame.h"
#include "CommandSet.h"
#include "Library.h"
#include "LinkRequest.h"

#include <platform/files.h>
#include <platform/registry.h>

#include <kv310/ResultCodes.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace kv310 {

namespace {

constexpr const char* kParameterKey = "Software\\KELO\\Kv310\\Parameter";
constexpr const char* kFirmwareValue = "FirmwareMotortester";
constexpr size_t kMaxPath = 259;

// Service command 0x60 and its subcommands.
constexpr uint8_t kVersion = 0x01;
constexpr uint8_t kLine = 0x03;
constexpr uint8_t kEnterDownload = 0x04;
constexpr uint8_t kLeaveDownload = 0x05;
constexpr int kVersionReplyCapacity = 55;
constexpr int kReplyCapacity = 50;

// The version text sits in the file's last 40 bytes.
constexpr long kVersionTail = 40;
// A HEX line goes out as 60 03 and its characters in one payload.
constexpr size_t kMaxLine = static_cast<size_t>(kMaxPayload) - 2;
constexpr const char* kEndRecord = ":00000001FF";

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File OpenForReading(const std::string& path) {
  if (path.empty()) return File();
  return File(fopen(kvp::MapPath(path).c_str(), "rb"));
}

// The text from the first 'V' on; nothing when there is none.
bool TextFromFirstV(const std::string& text, std::string* out) {
  const size_t v = text.find('V');
  if (v == std::string::npos) return false;
  *out = text.substr(v);
  return true;
}

// Drops carriage returns, as reading in text mode does.
void DropCarriageReturns(std::string& text) { text.erase(std::remove(text.begin(), text.end(), '\r'), text.end()); }

enum class LineRead { Line, EndOfFile, TooLong };

// The next line of the file without its line feed. A last line that ends without a line feed is
// still a line; at the end of the file with nothing read, EndOfFile. A line longer than one
// payload can carry is reported as TooLong.
LineRead ReadLine(FILE* f, std::string& line) {
  line.clear();
  bool any = false;
  bool tooLong = false;
  for (int c; (c = getc(f)) != EOF;) {
    any = true;
    if (c == '\n') break;
    if (c == '\r') continue;
    if (line.size() < kMaxLine) {
      line.push_back(static_cast<char>(c));
    } else {
      tooLong = true;
    }
  }
  if (tooLong) return LineRead::TooLong;
  return any ? LineRead::Line : LineRead::EndOfFile;
}

// One service request with its reply.
int Exchange(const uint8_t* request, int size, uint8_t* reply, int capacity, int* received) {
  return ExchangeWithBoard(request, size, 0, reply, capacity, received);
}

bool RepliesOk(const uint8_t* reply, int received, uint8_t sub) {
  return received >= 4 && reply[0] == kCmdFirmware && reply[1] == sub && reply[2] == 0 && reply[3] == 0;
}

}  // namespace

int EngineTesterFirmware::ReadBoardFirmwareVersion(std::string* text) {
  const uint8_t request[2] = {kCmdFirmware, kVersion};
  uint8_t reply[kVersionReplyCapacity];
  int received = 0;
  const int code = Exchange(request, sizeof request, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 4 || reply[0] != kCmdFirmware || reply[1] != kVersion) return kBadReply;
  if (reply[2] != 0) {
    if (reply[3] == 2) return kBoardErrorStatus;
    return reply[2] == 1 ? kFirmwareVersionStatus : kBadReply;
  }
  // The text up to its terminator, bounded by what arrived.
  const char* start = reinterpret_cast<const char*>(reply + 4);
  const std::string board(start, strnlen(start, static_cast<size_t>(received - 4)));
  TextFromFirstV(board, text);
  return kOk;
}

int EngineTesterFirmware::ReadFirmwarePath() {
  std::lock_guard<std::mutex> hold(m_lock);
  m_path.clear();
  HKEY key = 0;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kParameterKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return kFirmwareKeyMissing;
  char value[kMaxPath + 1] = {};
  DWORD type = 0;
  DWORD size = kMaxPath;
  if (RegQueryValueEx(key, kFirmwareValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    m_path.assign(value, strnlen(value, std::min<size_t>(size, kMaxPath)));
  }
  RegCloseKey(key);
  return kOk;
}

int EngineTesterFirmware::ReadFileVersion() {
  std::lock_guard<std::mutex> hold(m_lock);
  File file = OpenForReading(m_path);
  if (!file) return kNoLink;
  // A file shorter than the tail is read whole.
  if (fseek(file.get(), -kVersionTail, SEEK_END) != 0) rewind(file.get());
  char tail[kVersionTail];
  const size_t count = fread(tail, 1, sizeof tail, file.get());
  std::string text(tail, strnlen(tail, count));
  DropCarriageReturns(text);
  // The file's last line ends with a line feed that is no part of the version.
  if (!text.empty() && text.back() == '\n') text.pop_back();
  TextFromFirstV(text, &m_fileVersion);
  return kOk;
}

int EngineTesterFirmware::Download() {
  uint8_t reply[kReplyCapacity];
  int received = 0;
  const uint8_t enter[2] = {kCmdFirmware, kEnterDownload};
  int code = Exchange(enter, sizeof enter, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (!RepliesOk(reply, received, kEnterDownload)) return kNoDownloadMode;

  std::string path;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    path = m_path;
  }
  File file = OpenForReading(path);
  if (!file) return kFirmwareFileUnreadable;
  std::string line;
  std::vector<uint8_t> request;
  request.reserve(kMaxPayload);
  for (;;) {
    const LineRead read = ReadLine(file.get(), line);
    if (read == LineRead::EndOfFile) break;
    // Too long for one request: refused here, so no earlier reply can stand for it.
    if (read == LineRead::TooLong) return kFirmwareLineRefused;
    // The end record closes the image; the version line after it is not sent.
    if (line == kEndRecord) break;
    request.assign({kCmdFirmware, kLine});
    request.insert(request.end(), line.begin(), line.end());
    code = Exchange(request.data(), static_cast<int>(request.size()), reply, sizeof reply, &received);
    if (code != kOk) return code;
    if (!RepliesOk(reply, received, kLine)) return kFirmwareLineRefused;
  }
  file.reset();

  std::string board;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    board = m_boardVersion;
  }
  code = ReadBoardFirmwareVersion(&board);
  if (code != kOk) return code;
  std::lock_guard<std::mutex> hold(m_lock);
  m_boardVersion = board;
  return kOk;
}

int EngineTesterFirmware::ReadCorrections() {
  const uint8_t leave[2] = {kCmdFirmware, kLeaveDownload};
  uint8_t reply[kReplyCapacity];
  int received = 0;
  const int code = Exchange(leave, sizeof leave, reply, sizeof reply, &received);
  if (code != kOk) return code;
  // 60 05 00 and one byte per correction value.
  if (received < 3 + kCorrectionCount || reply[0] != kCmdFirmware || reply[1] != kLeaveDownload || reply[2] != 0)
    return kBoardErrorStatus;
  std::lock_guard<std::mutex> hold(m_lock);
  for (int i = 0; i < kCorrectionCount; ++i) m_corrections[i] = reply[3 + i];
  return kOk;
}

int EngineTesterFirmware::Check() {
  // One dialogue: no other caller's request may come between its steps.
  std::lock_guard<std::recursive_mutex> operation(OperationLock());
  int code = ReadFirmwarePath();
  if (code != kOk) return code;
  code = ReadFileVersion();
  if (code != kOk) return code;
  std::string board = BoardVersion();
  code = ReadBoardFirmwareVersion(&board);
  if (code != kOk) return code;
  bool same;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_boardVersion = board;
    same = m_boardVersion == m_fileVersion;
  }
  if (!same) {
    code = Download();
    if (code != kOk) return code;
  }
  return ReadCorrections();
}

std::string EngineTesterFirmware::FileVersion() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_fileVersion;
}

std::string EngineTesterFirmware::BoardVersion() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_boardVersion;
}

uint16_t EngineTesterFirmware::Correction(int index) const {
  std::lock_guard<std::mutex> hold(m_lock);
  return (index >= 0 && index < kCorrectionCount) ? m_corrections[index] : 0;
}

}  // namespace kv310
