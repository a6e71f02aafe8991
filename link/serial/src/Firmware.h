// CFirmware: the serial board's start before the link threads run: reset through a modem line,
// the ROM bootstrap, the board information record, the firmware comparison, and the three-stage
// loader (boot file 1, boot file 2 or the flash boot file, the firmware image) into RAM or flash.
// Raw byte I/O on the open port, outside the block protocol.
#pragma once

#include "Download.h"

#include <link/LinkExports.h>
#include <link/LinkSettings.h>

#include <platform/types.h>
#include <platform/unique.h>

#include <mutex>

class CFirmware : public kvlink::serial::DownloadSteps {
 public:
  CFirmware();
  CFirmware(const CFirmware&) = delete;
  CFirmware& operator=(const CFirmware&) = delete;
  ~CFirmware() override;

  // The port (not owned) and the parameters the loader uses.
  void Configure(HANDLE port, const kvlink::LinkSettings& settings);

  bool Download(bool reload, uint32_t useFlash, uint16_t manualMode);
  int ResetToBootstrap();
  int ReadBoardInfo(HwSwInfo& record);
  void CopyHwSwInfo(HwSwInfo* out);

  // DownloadSteps.
  int Compare() override;
  void ReadInfo() override;
  bool LoadFlash() override;
  bool LoadRam() override;
  void Wait(uint32_t ms) override;

  bool LoadBootFile1();
  bool LoadBootFile2(bool flash);
  bool LoadFirmwareImage(bool flash);

 private:
  bool ResetAndProbe();
  // Reads the record and, when the board answered, keeps it for GetHwSwInfo.
  bool RefreshInfo(HwSwInfo& info);
  bool WriteBytes(const uint8_t* bytes, DWORD n);
  bool WriteByte(uint8_t b) { return WriteBytes(&b, 1); }
  // One byte within `timeoutMs` (the port's own read time-out may end it sooner).
  bool ReadByte(DWORD timeoutMs, uint8_t& b);
  bool Expect(uint8_t expected, DWORD timeoutMs);
  bool SendRun(uint32_t start, const uint8_t* data, size_t fill, bool flash);

  HANDLE m_hPort = INVALID_HANDLE_VALUE;
  kvp::UniqueHandle m_hIoEvent;
  int m_nResetType = 0;
  kvlink::LinkSettings m_settings;
  std::mutex m_infoLock;  // the record is read by GetHwSwInfo from any thread
  HwSwInfo m_oHwSwInfo{};
};
