#include "Firmware.h"

#include <link/FirmwareVersion.h>
#include <link/IntelHex.h>

#include <platform/fileio.h>
#include <platform/serial.h>
#include <platform/sync.h>

#include <cstring>
#include <string>

namespace {

const uint8_t kBootstrap[86] = {
    0xe6, 0x08, 0x00, 0xfa, 0xcc, 0x00, 0xcc, 0x00, 0xe6, 0xf0, 0x00, 0xfd, 0x9a, 0xb7, 0xfe, 0x70, 0xa4, 0x00,
    0xb2, 0xfe, 0x7e, 0xb7, 0x86, 0xf0, 0x35, 0xfd, 0x3d, 0xf8, 0xfa, 0x00, 0x00, 0xfd, 0xe6, 0x09, 0x3f, 0xfa,
    0xf2, 0xf4, 0x08, 0xf1, 0x8a, 0xf4, 0x03, 0x00, 0xe6, 0x89, 0x80, 0x00, 0x0d, 0x02, 0xe6, 0x89, 0x00, 0x00,
    0xfa, 0x00, 0x1a, 0xfd, 0xe6, 0x00, 0x00, 0x00, 0xe6, 0x01, 0x01, 0x00, 0xe6, 0x02, 0x02, 0x00, 0xe6, 0x03,
    0x03, 0x00, 0xe6, 0x86, 0x2e, 0x04, 0xe6, 0x09, 0x00, 0xfc, 0xfa, 0x00, 0x00, 0x00};

// The information request: a single serial block carrying 04 00 00 FC.
const uint8_t kInfoRequest[7] = {0x05, 0x04, 0x04, 0x00, 0x00, 0xFC, 0x00};

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr DWORD kFlashEraseTimeout = 480100;
constexpr DWORD kFlashEraseWait = 480000;
constexpr size_t kMaxRun = 255;  // the run's one count byte

}  // namespace

CFirmware::CFirmware() : m_hIoEvent(CreateEvent(nullptr, FALSE, FALSE, nullptr)) {}

CFirmware::~CFirmware() = default;

void CFirmware::Configure(HANDLE port, const kvlink::LinkSettings& settings) {
  m_hPort = port;
  m_settings = settings;
  m_nResetType = static_cast<int>(settings.resetType);
}

void CFirmware::CopyHwSwInfo(HwSwInfo* out) {
  if (!out) return;
  std::lock_guard lock(m_infoLock);
  *out = m_oHwSwInfo;
}

bool CFirmware::WriteBytes(const uint8_t* bytes, DWORD n) {
  OVERLAPPED ov{};
  ov.hEvent = m_hIoEvent.get();
  DWORD written = 0;
  if (!WriteFile(m_hPort, bytes, n, &written, &ov)) {
    if (GetLastError() != ERROR_IO_PENDING) return false;
    if (WaitForSingleObject(m_hIoEvent.get(), 2000) != WAIT_OBJECT_0) {
      // Not done in time: end it before its buffer goes out of scope.
      CancelIoEx(m_hPort, &ov);
      GetOverlappedResult(m_hPort, &ov, &written, TRUE);
      return false;
    }
    if (!GetOverlappedResult(m_hPort, &ov, &written, FALSE)) return false;
  }
  return written == n;
}

bool CFirmware::ReadByte(DWORD timeoutMs, uint8_t& b) {
  OVERLAPPED ov{};
  ov.hEvent = m_hIoEvent.get();
  DWORD got = 0;
  uint8_t byte = 0;
  if (!ReadFile(m_hPort, &byte, 1, &got, &ov)) {
    if (GetLastError() != ERROR_IO_PENDING) return false;
    if (WaitForSingleObject(m_hIoEvent.get(), timeoutMs) != WAIT_OBJECT_0) {
      // The wait ended before the port's own read time-out: cancel the read and wait for its
      // completion, so it never completes into storage that is no longer in use. A byte that
      // came meanwhile is kept.
      CancelIoEx(m_hPort, &ov);
      if (!GetOverlappedResult(m_hPort, &ov, &got, TRUE) || got != 1) return false;
    } else if (!GetOverlappedResult(m_hPort, &ov, &got, FALSE)) {
      return false;
    }
  }
  if (got != 1) return false;
  b = byte;
  return true;
}

bool CFirmware::Expect(uint8_t expected, DWORD timeoutMs) {
  uint8_t b = 0;
  return ReadByte(timeoutMs, b) && b == expected;
}

void CFirmware::Wait(uint32_t ms) { Sleep(ms); }

bool CFirmware::ResetAndProbe() {
  const DWORD setReset = m_nResetType == 1 ? CLRRTS : CLRDTR;
  const DWORD setOther = m_nResetType == 1 ? CLRDTR : CLRRTS;
  EscapeCommFunction(m_hPort, SETDTR);
  EscapeCommFunction(m_hPort, SETRTS);
  Sleep(m_settings.bootWait);
  EscapeCommFunction(m_hPort, setReset);
  Sleep(750);
  PurgeComm(m_hPort, kPurgeAll);
  EscapeCommFunction(m_hPort, setOther);
  WriteByte(0x00);
  Sleep(10);
  uint8_t id = 0;
  if (ReadByte(2000, id) && id == 0xFF) return false;
  PurgeComm(m_hPort, kPurgeAll);
  return true;
}

int CFirmware::ResetToBootstrap() {
  if (!ResetAndProbe()) return 0;
  WriteBytes(kBootstrap, sizeof kBootstrap);
  Sleep(1500);
  return 1;
}

bool CFirmware::LoadBootFile1() {
  std::string text;
  if (!kvlink::ReadWholeFile(m_settings.bootFile1, text)) return false;
  kvlink::HexReader reader(text);
  kvlink::HexRecord record;
  size_t sent = 0;
  for (;;) {
    if (reader.ReadHexRecord(record) != kvlink::kHexOk) return false;
    if (record.type == kvlink::kHexEndOfFile) return Expect(0x02, 2000);
    if (record.type != kvlink::kHexData) continue;
    for (size_t i = 0; i < record.count; ++i) {
      if (!WriteByte(record.data[i])) return false;
      if (++sent == 32 && !Expect(0x01, 2000)) return false;
    }
  }
}

bool CFirmware::LoadBootFile2(bool flash) {
  std::string text;
  if (!kvlink::ReadWholeFile(flash ? m_settings.flashBootFile : m_settings.bootFile2, text)) return false;
  kvlink::HexReader reader(text);
  kvlink::HexRecord record;
  for (bool end = false; !end;) {
    if (reader.ReadHexRecord(record) != kvlink::kHexOk) return false;
    switch (record.type) {
      case kvlink::kHexData: {
        uint8_t command[4 + 255];
        command[0] = 0x00;
        command[1] = static_cast<uint8_t>(record.address >> 8);
        command[2] = static_cast<uint8_t>(record.address & 0xFF);
        command[3] = record.count;
        memcpy(command + 4, record.data, record.count);
        if (!WriteBytes(command, 4u + record.count)) return false;
        break;
      }
      case kvlink::kHexEndOfFile:
        if (!WriteByte(0x01)) return false;
        end = true;
        break;
      case kvlink::kHexSegmentAddress:
      case kvlink::kHexLinearAddress:
        if (record.count < 2 || record.data[0] != 0 || record.data[1] != 0) return false;
        break;
      default:
        return false;
    }
  }
  if (!Expect(0x03, 2000)) return false;
  const uint8_t start[2] = {0xFA, 0x40};
  return WriteBytes(start, 2) && Expect(0x04, 2000);
}

bool CFirmware::SendRun(uint32_t start, const uint8_t* data, size_t fill, bool flash) {
  uint8_t run[5 + kMaxRun + 1];
  run[0] = 0x00;
  run[1] = static_cast<uint8_t>(start >> 16);
  run[2] = static_cast<uint8_t>(start >> 8);
  run[3] = static_cast<uint8_t>(start);
  run[4] = static_cast<uint8_t>(fill);
  memcpy(run + 5, data, fill);
  uint8_t sum = 0;
  for (size_t i = 1; i < 5 + fill; ++i) sum = static_cast<uint8_t>(sum + run[i]);
  run[5 + fill] = static_cast<uint8_t>(0x100 - sum);
  if (!WriteBytes(run, static_cast<DWORD>(6 + fill))) return false;
  return !flash || Expect(0x10, 1500);
}

bool CFirmware::LoadFirmwareImage(bool flash) {
  const uint8_t prepare = 0xC2;
  if (!WriteBytes(&prepare, 1) || !Expect(0x10, 2000)) return false;
  std::string text;
  if (!kvlink::ReadWholeFile(m_settings.firmware, text)) return false;

  COMMTIMEOUTS saved{};
  bool restore = false;
  if (flash && GetCommTimeouts(m_hPort, &saved)) {
    COMMTIMEOUTS erase = saved;
    erase.ReadTotalTimeoutConstant = kFlashEraseTimeout;
    restore = SetCommTimeouts(m_hPort, &erase) != FALSE;
  }
  // The time-outs changed for the erase are restored on every path.
  struct Restore {
    HANDLE port;
    COMMTIMEOUTS* saved;
    bool active;
    ~Restore() {
      if (active) SetCommTimeouts(port, saved);
    }
  } restorer{m_hPort, &saved, restore};

  const uint8_t erase = 0xC0;
  if (!WriteBytes(&erase, 1)) return false;
  if (flash) {
    if (!Expect(0x10, kFlashEraseWait)) return false;
    if (restorer.active) SetCommTimeouts(m_hPort, &saved);
    restorer.active = false;
  }

  const size_t limit = m_settings.bootBlockSize;
  kvlink::HexReader reader(text);
  kvlink::HexRecord record;
  uint32_t base = 0;
  uint32_t runStart = 0;
  size_t fill = 0;
  uint8_t runData[kMaxRun];
  for (;;) {
    if (reader.ReadHexRecord(record) != kvlink::kHexOk) return false;
    switch (record.type) {
      case kvlink::kHexData: {
        const uint32_t address = base + record.address;
        // A run goes out when the record does not continue it, when it reached the run limit,
        // or when the record would take it past the count byte's 255.
        if (fill > 0 && (address != runStart + fill || fill >= limit || fill + record.count > kMaxRun)) {
          if (!SendRun(runStart, runData, fill, flash)) return false;
          fill = 0;
        }
        if (fill == 0) runStart = address;
        if (record.count > kMaxRun - fill) return false;
        memcpy(runData + fill, record.data, record.count);
        fill += record.count;
        break;
      }
      case kvlink::kHexSegmentAddress:
        if (record.count < 2) return false;
        base = (static_cast<uint32_t>(record.data[0]) << 8 | record.data[1]) * 16;
        break;
      case kvlink::kHexLinearAddress:
        if (record.count < 2) return false;
        base = (static_cast<uint32_t>(record.data[0]) << 8 | record.data[1]) * 65536;
        break;
      case kvlink::kHexStartSegment:
        break;  // a start address, not a base: the base is kept
      case kvlink::kHexEndOfFile: {
        if (fill > 0 && !SendRun(runStart, runData, fill, flash)) return false;
        const uint8_t end[2] = {0x01, 0xFF};
        if (!WriteBytes(end, 2) || !Expect(0x10, 2000)) return false;
        const uint8_t start = 0xC1;
        return WriteBytes(&start, 1) && Expect(0x10, 2000);
      }
      default:
        return false;
    }
  }
}

int CFirmware::ReadBoardInfo(HwSwInfo& record) {
  PurgeComm(m_hPort, kPurgeAll);
  for (uint8_t b : kInfoRequest) {
    if (!WriteByte(b)) return 0;
  }
  uint8_t first = 0;
  if (!ReadByte(500, first)) return 0;
  if (first != 0x06) return 0;  // not an acknowledge: no reply follows it
  uint8_t reply[67];
  for (uint8_t& b : reply) {
    if (!ReadByte(1500, b)) return 0;
  }
  if (reply[0] != 0x02 || reply[1] != 0x40 || reply[2] != 0x42) return 0;
  memcpy(&record, reply + 4, sizeof record);
  return 1;
}

bool CFirmware::RefreshInfo(HwSwInfo& info) {
  if (!ReadBoardInfo(info)) return false;
  std::lock_guard lock(m_infoLock);
  m_oHwSwInfo = info;
  return true;
}

void CFirmware::ReadInfo() {
  HwSwInfo info{};
  RefreshInfo(info);
}

int CFirmware::Compare() {
  const std::string fileText = kvlink::ReadFileVersion(m_settings.firmware);
  HwSwInfo info{};
  if (!RefreshInfo(info)) return kvlink::kVersionNoAnswer;
  return kvlink::CompareFirmwareVersion(info, fileText, kvlink::StatusRule::Serial);
}

bool CFirmware::LoadFlash() { return ResetAndProbe() && LoadBootFile1() && LoadBootFile2(true) && LoadFirmwareImage(true); }

bool CFirmware::LoadRam() { return ResetAndProbe() && LoadBootFile1() && LoadBootFile2(false) && LoadFirmwareImage(false); }

bool CFirmware::Download(bool reload, uint32_t useFlash, uint16_t manualMode) {
  kvlink::serial::DownloadInputs in;
  in.reload = reload;
  in.useFlash = useFlash;
  in.manualMode = manualMode;
  in.reloadWait = m_settings.reloadWait;
  return kvlink::serial::Download(in, *this);
}
