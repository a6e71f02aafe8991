#include "UsbLink.h"

#include <link/FirmwareVersion.h>
#include <link/IntelHex.h>
#include <link/LinkTrace.h>
#include <platform/device.h>
#include <qrtdrv/OsciIoctl.h>

#include "TrayNotify.h"

#include <cstring>
#include <vector>

namespace kvlink::usb {

std::atomic<HANDLE> g_hPort{INVALID_HANDLE_VALUE};
std::atomic<uint16_t> g_manualFlashMode{0};

namespace {

constexpr const char* kBoardPath = "\\\\?\\usb#vid_2f91&pid_0006";
constexpr DWORD kReplyTimeout = qrtdrv::STATUS_REPLY_TIMEOUT;
constexpr size_t kRunLimit = 1400;
constexpr DWORD kLoaderReplyMs = 1500;
constexpr uint8_t kWriteMemory = 2;
constexpr uint8_t kStartProgram = 10;
constexpr const char* kBalloon =
    "Dravix Scope\nDevice was removed during communication!\nReconnecting it and restarting the communication\n"
    "should help.";

std::string Hex8(DWORD v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(v));
  return text;
}

// The link's handler of device-change notices. It acts only while the device is open and the
// driver no longer answers, so the removal of another USB device never touches the link, and the
// balloon shows once for one removal.
LRESULT OnDeviceChange(WPARAM wParam, LPARAM) {
  if (wParam != DBT_DEVICEREMOVECOMPLETE && wParam != DBT_DEVNODES_CHANGED) return 1;
  CComm* comm = Comm();
  if (g_hPort.load() == INVALID_HANDLE_VALUE || !comm || comm->TestDriver()) return 1;
  comm->DeviceRemoved();
  return 1;
}

}  // namespace

bool CloseDevice() {
  const HANDLE h = g_hPort.exchange(INVALID_HANDLE_VALUE);
  if (h == INVALID_HANDLE_VALUE) return true;
  if (CloseHandle(h)) return true;
  const DWORD error = GetLastError();
  HANDLE expected = INVALID_HANDLE_VALUE;
  g_hPort.compare_exchange_strong(expected, h);
  Trace("CloseHandle() failed, driver instance not closed --> GetLastError() --> %s", Hex8(error).c_str());
  return false;
}

HANDLE OpenByIntf(const GUID& interfaceClass) {
  HDEVINFO set = SetupDiGetClassDevs(&interfaceClass, nullptr, 0, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  HANDLE result = INVALID_HANDLE_VALUE;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, i, &data); ++i) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required == 0) break;
    std::vector<uint8_t> buffer(required);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA);
    if (!SetupDiGetDeviceInterfaceDetail(set, &data, detail, required, nullptr, nullptr)) break;
    const std::string path(detail->DevicePath, strnlen(detail->DevicePath, MAX_PATH));
    if (path.find(kBoardPath) == std::string::npos) continue;
    result = CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_WRITE_THROUGH, 0);
    break;  // the first match decides
  }
  const DWORD error = GetLastError();
  SetupDiDestroyDeviceInfoList(set);
  SetLastError(error);
  return result;
}

// ------------------------------------------------------------------------------------------------
// Firmware

bool CFirmware::WriteFrame(const uint8_t* bytes, DWORD length, DWORD* written, DWORD* error) {
  *written = 0;
  *error = ERROR_SUCCESS;
  if (WriteFile(g_hPort.load(), bytes, length, written, nullptr)) return true;
  *error = GetLastError();
  if (*error == kReplyTimeout) {
    SetEvent(m_hEvent);  // the reply is late: the next read fetches it
    return true;
  }
  return false;
}

int CFirmware::SendCommand(uint8_t command, const uint8_t* data, size_t n, DWORD timeoutMs, uint8_t* out,
                           size_t* outLength) {
  std::vector<uint8_t> frame(n + 7);
  frame[0] = 0x01;
  frame[1] = 0x00;
  frame[2] = static_cast<uint8_t>(n + 1);
  frame[3] = static_cast<uint8_t>((n + 1) >> 8);
  frame[4] = 0xFE;
  frame[5] = command;
  if (n) std::memcpy(frame.data() + 6, data, n);
  frame[n + 6] = 0x02;
  DWORD written = 0, error = 0;
  if (!WriteFrame(frame.data(), static_cast<DWORD>(frame.size()), &written, &error) || written != frame.size())
    return -1;
  std::vector<uint8_t> reply(4200);
  for (;;) {
    if (WaitForSingleObject(m_hEvent, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD got = 0;
    if (!ReadFile(g_hPort.load(), reply.data(), static_cast<DWORD>(reply.size()), &got, nullptr)) continue;
    if (got <= 6 || reply[0] != 0x01 || reply[4] != 0xFE) continue;
    const size_t declared = reply[2] | (reply[3] << 8);
    if (out && outLength) {
      const size_t count = declared ? std::min<size_t>(declared - 1, got - 6) : 0;
      std::memcpy(out, reply.data() + 6, std::min(count, *outLength));
      *outLength = std::min(count, *outLength);
    }
    return reply[5];
  }
}

bool CFirmware::ReadBoardInfo() {
  std::memset(&m_oInfo, 0, sizeof m_oInfo);
  uint8_t buffer[100] = {0x04, 0x00, 0x00, 0xFC};
  DWORD written = 0, error = 0;
  if (!WriteFrame(buffer, 4, &written, &error) || written != 4) return false;
  bool ok = false;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (WaitForSingleObject(m_hEvent, 1000) != WAIT_OBJECT_0) continue;
    DWORD got = 0;
    ok = ReadFile(g_hPort.load(), buffer, sizeof buffer, &got, nullptr) != FALSE;
    if (ok) std::memcpy(&m_oInfo, buffer + 2, sizeof m_oInfo);
    if (ok && got > 0) break;
  }
  return ok;
}

int CFirmware::CompareFirmwareVersion() const {
  return kvlink::CompareFirmwareVersion(m_oInfo, ReadFileVersion(m_strFirmware.c_str()), StatusRule::Usb);
}

bool CFirmware::LoadFirmwareImage() {
  std::string text;
  if (!ReadWholeFile(m_strFirmware.c_str(), text)) return false;
  HexReader reader(text);
  HexRecord record;
  uint32_t base = 0;
  uint32_t runStart = 0;
  std::vector<uint8_t> run;
  auto sendRun = [&]() {
    if (run.empty()) return true;
    std::vector<uint8_t> data = {static_cast<uint8_t>(runStart >> 16), static_cast<uint8_t>(runStart >> 8),
                                 static_cast<uint8_t>(runStart)};
    data.insert(data.end(), run.begin(), run.end());
    run.clear();
    // A run the board does not acknowledge fails the load.
    return SendCommand(kWriteMemory, data.data(), data.size(), kLoaderReplyMs, nullptr, nullptr) >= 0;
  };
  for (;;) {
    if (reader.ReadHexRecord(record) != kHexOk) return false;  // broken file, or no end record
    if (record.type == kHexEndOfFile) {
      if (!sendRun()) return false;
      break;
    }
    const uint32_t word = record.count >= 2 ? (record.data[0] << 8) | record.data[1] : 0;
    if (record.type == kHexSegmentAddress) {
      base = word * 16;
    } else if (record.type == kHexLinearAddress) {
      base = word << 16;
    } else if (record.type == kHexData) {
      const uint32_t address = base + record.address;
      if (!run.empty() && (address != runStart + run.size() || run.size() >= kRunLimit) && !sendRun()) return false;
      if (run.empty()) runStart = address;
      run.insert(run.end(), record.data, record.data + record.count);
    }  // start addresses (types 3 and 5) are not memory
  }
  static const uint8_t kStart[] = {0x01, 0x00, 0x01, 0x00, 0xFE, kStartProgram, 0x02};
  DWORD written = 0;
  if (!WriteFile(g_hPort.load(), kStart, sizeof kStart, &written, nullptr) && GetLastError() == kReplyTimeout)
    FlushFileBuffers(g_hPort.load());
  if (written < sizeof kStart) return false;
  Sleep(1000);
  return true;
}

// ------------------------------------------------------------------------------------------------
// Link object

CComm::CComm() : m_hEvent(CreateEvent(nullptr, FALSE, FALSE, nullptr)) { InitializeCriticalSection(&m_oLock); }

CComm::~CComm() {
  StopCommunication();
  m_hEvent.reset();
  DeleteCriticalSection(&m_oLock);
  Sleep(1000);
}

void CComm::RetrieveRegistryInfo(const char* key) {
  kvlink::RetrieveRegistryInfo(key, LinkKind::Usb, m_oSettings);
  m_oFirmware.SetFirmwarePath(m_oSettings.firmware);
}

bool CComm::HandEventToDriver() {
  uint32_t event = m_hEvent.get();
  DWORD returned = 0;
  return DeviceIoControl(g_hPort.load(), qrtdrv::IOCTL_SET_DATA_EVENT, &event, sizeof event, nullptr, 0, &returned,
                         nullptr) != FALSE;
}

void CComm::StartCommunication() {
  if (g_hPort.load() != INVALID_HANDLE_VALUE) CloseDevice();
  g_hPort = OpenByIntf(GUID_DEVINTERFACE_USB_DEVICE);
  if (g_hPort.load() == INVALID_HANDLE_VALUE)
    throw CErrorException(-4, "StartCommunication() --> OpenByIntf() failed 1",
                          "g_hPort = OpenByIntf() --> dwError: " + Hex8(GetLastError()), kUsbApiSource, 217);
  Trace("CREATE FILE OK\n");
  HandEventToDriver();
  m_oFirmware.SetDevice(m_hEvent.get());

  const uint16_t manual = g_manualFlashMode.load();
  const bool reload = m_oSettings.reloadFirmware;
  int r = kVersionBoardNewer;
  if (!reload || manual == 1) {
    m_oFirmware.ReadBoardInfo();
    r = m_oFirmware.CompareFirmwareVersion();
  } else if (manual != 0) {
    m_oFirmware.ReadBoardInfo();  // no load and no comparison: the record is still the board's
  }
  if (manual == 0 && (reload || r == kVersionFileNewer || r == kVersionBoardNewer)) {
    if (!m_oFirmware.LoadFirmwareImage())
      throw CErrorException(-16, "USB Firmware download (RAMstart) failed", "USB Firmware download (RAMstart) failed",
                            kUsbApiSource, 238);
    CloseDevice();
    g_hPort = OpenByIntf(GUID_DEVINTERFACE_USB_DEVICE);
    if (g_hPort.load() == INVALID_HANDLE_VALUE)
      throw CErrorException(-4, "StartCommunication() --> OpenByIntf() failed",
                            "g_hPort = OpenByIntf() --> dwError: " + Hex8(GetLastError()), kUsbApiSource, 246);
    HandEventToDriver();
    m_oFirmware.ReadBoardInfo();
    r = m_oFirmware.CompareFirmwareVersion();
    // A board that still runs no application firmware after the load failed it too.
    if (r == kVersionNoAnswer || (m_oFirmware.Info().boardStatus >> 8) != (kHwSwStatusApplication >> 8))
      throw CErrorException(-17, "USB Firmware download (Versioncheck) failed",
                            "USB Firmware download (Versioncheck) failed", kUsbApiSource, 254);
  }

  uint32_t on = qrtdrv::kFeatureWatchdog;
  DWORD returned = 0;
  if (!DeviceIoControl(g_hPort.load(), qrtdrv::IOCTL_SET_FEATURE, &on, sizeof on, nullptr, 0, &returned, nullptr))
    Trace("StartCommunication: Start Watchdog failed\n");

  const std::shared_ptr<CTrayNotify> tray = CTrayNotify::Make();
  if (tray->Create()) {
    tray->LoadTrayIcon(2002);
    tray->SetTip("Dravix Scope");
    tray->SetBalloon(kBalloon, "Error", NIIF_ERROR, 10000);
    tray->Show(1);
    tray->RegisterFilter(&GUID_DEVINTERFACE_USB_DEVICE, OnDeviceChange);
  } else {
    ClearTrayNotify();  // the link runs without icon and notices
  }
  m_bInitialised = 1;
}

void CComm::StopCommunication() {
  EnterCriticalSection(&m_oLock);
  const HANDLE h = g_hPort.load();
  if (h != INVALID_HANDLE_VALUE) {
    DWORD returned = 0;
    if (!DeviceIoControl(h, qrtdrv::IOCTL_SET_DATA_EVENT, nullptr, 0, nullptr, 0, &returned, nullptr))
      Trace("StopCommunication: Device not present\n");
    uint32_t stop = qrtdrv::kFeatureLinkStop;
    if (!DeviceIoControl(h, qrtdrv::IOCTL_CLEAR_FEATURE, &stop, sizeof stop, nullptr, 0, &returned, nullptr))
      Trace("StopCommunication: Device not present\n");
    CloseDevice();
  }
  if (const std::shared_ptr<CTrayNotify> tray = TrayNotify()) {
    tray->Show(0);
    tray->Shutdown();
    ClearTrayNotify();  // a thread it had to abandon keeps its own reference until it ends
  }
  m_bInitialised = 0;
  LeaveCriticalSection(&m_oLock);
}

void CComm::DeviceRemoved() {
  // A stop in progress holds the lock and closes the device itself; it also waits for this
  // thread, so the notice does not wait for the lock.
  if (!TryEnterCriticalSection(&m_oLock)) return;
  if (g_hPort.load() != INVALID_HANDLE_VALUE) {
    if (const std::shared_ptr<CTrayNotify> tray = TrayNotify()) tray->Show(2);
    CloseDevice();
  }
  LeaveCriticalSection(&m_oLock);
}

int CComm::TestDriver() {
  Trace("Enter CComm::TestDriver()\n");
  const HANDLE h = g_hPort.load();
  if (h == INVALID_HANDLE_VALUE) {
    Trace("Enter CComm::TestDriver() --> g_hPort = INVALID_HANDLE_VALUE\n");
    return 0;
  }
  DWORD returned = 0;
  if (DeviceIoControl(h, qrtdrv::IOCTL_PING, nullptr, 0, nullptr, 0, &returned, nullptr)) return 1;
  Trace("TestDriver: Device not present\n");
  return 0;
}

int CComm::Write(const void* frame, int length) {
  const HANDLE h = g_hPort.load();
  if (!m_bInitialised.load() || h == INVALID_HANDLE_VALUE || !frame || length <= 0) return 0;
  DWORD written = 0;
  if (WriteFile(h, frame, static_cast<DWORD>(length), &written, nullptr)) return static_cast<int>(written);
  const DWORD error = GetLastError();
  if (error == kReplyTimeout) {
    SetEvent(m_hEvent.get());  // the board got the frame; the caller reads the late reply
    return static_cast<int>(written);
  }
  Trace("PLayerWrite() failed --> GetLastError(): %s\n", Hex8(error).c_str());
  return 0;
}

int CComm::Read(void* buffer, int length) {
  const HANDLE h = g_hPort.load();
  if (!m_bInitialised.load() || h == INVALID_HANDLE_VALUE || !buffer || length <= 0) return 0;
  DWORD got = 0;
  if (ReadFile(h, buffer, static_cast<DWORD>(length), &got, nullptr)) return static_cast<int>(got);
  if (!TestDriver()) StopCommunication();
  return 0;
}

}  // namespace kvlink::usb
