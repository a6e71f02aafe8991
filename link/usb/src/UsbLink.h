// ZLINKUSB's link object and its firmware loader: the board's device opened through the driver,
// the information record, the firmware comparison and the RAM loader.
#pragma once

#include <link/ErrorException.h>
#include <link/LinkExports.h>
#include <link/LinkSettings.h>
#include <platform/guid.h>
#include <platform/unique.h>
#include <platform/windows.h>

#include <atomic>
#include <string>

namespace kvlink::usb {

// The device handle (invalid while no device is open). Taken by exchange, so it is closed
// exactly once whoever closes it; a call in flight on another thread keeps the device object.
extern std::atomic<HANDLE> g_hPort;
extern std::atomic<uint16_t> g_manualFlashMode;

// Closes the device handle when one is open. Returns false when CloseHandle failed (the handle
// is then kept).
bool CloseDevice();

class CFirmware {
 public:
  CFirmware() = default;
  virtual ~CFirmware() = default;

  void SetDevice(HANDLE event) { m_hEvent = event; }
  void SetFirmwarePath(const char* path) { m_strFirmware = path; }
  const HwSwInfo& Info() const { return m_oInfo; }

  // Sends one loader command and waits for its reply: the reply's result byte, or -1.
  int SendCommand(uint8_t command, const uint8_t* data, size_t n, DWORD timeoutMs, uint8_t* out, size_t* outLength);
  bool ReadBoardInfo();
  int CompareFirmwareVersion() const;
  bool LoadFirmwareImage();

 private:
  // Writes to the device; a reply that came too late still counts as written and wakes the reader.
  bool WriteFrame(const uint8_t* bytes, DWORD length, DWORD* written, DWORD* error);

  HANDLE m_hEvent = 0;
  std::string m_strFirmware;
  HwSwInfo m_oInfo{};
};

class CComm {
 public:
  CComm();
  ~CComm();

  HANDLE DataEvent() const { return m_hEvent.get(); }
  CFirmware& Firmware() { return m_oFirmware; }
  bool Initialised() const { return m_bInitialised.load(); }

  void RetrieveRegistryInfo(const char* key);
  void StartCommunication();
  void StopCommunication();
  int TestDriver();
  // The device left while it was open: balloon, then close the handle.
  void DeviceRemoved();

  int Write(const void* frame, int length);
  int Read(void* buffer, int length);

 private:
  bool HandEventToDriver();

  std::atomic<int> m_bInitialised{0};
  kvp::UniqueHandle m_hEvent;
  CFirmware m_oFirmware;
  LinkSettings m_oSettings;
  CRITICAL_SECTION m_oLock;
};

// The link object of the library, or null.
CComm* Comm();

// Finds the board's device among the USB device interfaces and opens it; invalid when none.
HANDLE OpenByIntf(const GUID& interfaceClass);

}  // namespace kvlink::usb
