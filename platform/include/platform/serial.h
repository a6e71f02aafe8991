// Serial ports: "\\.\COMn" opened with CreateFile (platform/fileio.h) and the comm functions.
//
// "COMn" is resolved through the port table: a virtual port registered by simulated hardware
// (RegisterVirtualComPort) comes first; else HKLM "SOFTWARE\KV310Platform\Ports", REG_SZ value
// "COMn", names a Linux tty ("/dev/ttyUSB0"). A port opens once at a time (a second open fails with
// ERROR_ACCESS_DENIED).
//
// Reads follow COMMTIMEOUTS on the platform clock: a read of N bytes completes when N bytes have
// arrived, when multiplier x N + constant ms have passed since it started (when either is
// nonzero), or when more than the interval passes between two bytes (counting only after the
// first); a read that ends early succeeds with the bytes it got. Interval MAXDWORD with both
// totals 0 returns at once with what is waiting. Writes with zero write time-outs never time out.
// PurgeComm drops buffered bytes and completes outstanding requests with ERROR_OPERATION_ABORTED.
#pragma once

#include <platform/types.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#define EV_RXCHAR 0x0001u
#define EV_RXFLAG 0x0002u
#define EV_TXEMPTY 0x0004u
#define EV_CTS 0x0008u
#define EV_DSR 0x0010u
#define EV_RLSD 0x0020u
#define EV_BREAK 0x0040u
#define EV_ERR 0x0080u
#define EV_RING 0x0100u

#define PURGE_TXABORT 0x0001u
#define PURGE_RXABORT 0x0002u
#define PURGE_TXCLEAR 0x0004u
#define PURGE_RXCLEAR 0x0008u

#define SETXOFF 1u
#define SETXON 2u
#define SETRTS 3u
#define CLRRTS 4u
#define SETDTR 5u
#define CLRDTR 6u
#define SETBREAK 8u
#define CLRBREAK 9u

#define NOPARITY 0
#define ODDPARITY 1
#define EVENPARITY 2
#define MARKPARITY 3
#define SPACEPARITY 4
#define ONESTOPBIT 0
#define ONE5STOPBITS 1
#define TWOSTOPBITS 2

#define DTR_CONTROL_DISABLE 0x00
#define DTR_CONTROL_ENABLE 0x01
#define DTR_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_DISABLE 0x00
#define RTS_CONTROL_ENABLE 0x01
#define RTS_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_TOGGLE 0x03

#define CBR_9600 9600
#define CBR_19200 19200
#define CBR_38400 38400
#define CBR_57600 57600
#define CBR_115200 115200

#define MAXDWORD 0xFFFFFFFFu

struct DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  DWORD fBinary : 1;
  DWORD fParity : 1;
  DWORD fOutxCtsFlow : 1;
  DWORD fOutxDsrFlow : 1;
  DWORD fDtrControl : 2;
  DWORD fDsrSensitivity : 1;
  DWORD fTXContinueOnXoff : 1;
  DWORD fOutX : 1;
  DWORD fInX : 1;
  DWORD fErrorChar : 1;
  DWORD fNull : 1;
  DWORD fRtsControl : 2;
  DWORD fAbortOnError : 1;
  DWORD fDummy2 : 17;
  WORD wReserved;
  WORD XonLim;
  WORD XoffLim;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  WORD wReserved1;
};
typedef DCB* LPDCB;

struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
};
typedef COMMTIMEOUTS* LPCOMMTIMEOUTS;

extern "C" {
PLATFORM_API BOOL SetCommMask(HANDLE port, DWORD mask);
PLATFORM_API BOOL GetCommMask(HANDLE port, LPDWORD mask);
PLATFORM_API BOOL GetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts);
PLATFORM_API BOOL SetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts);
PLATFORM_API BOOL GetCommState(HANDLE port, LPDCB dcb);
PLATFORM_API BOOL SetCommState(HANDLE port, LPDCB dcb);
PLATFORM_API BOOL EscapeCommFunction(HANDLE port, DWORD function);
PLATFORM_API BOOL PurgeComm(HANDLE port, DWORD flags);
PLATFORM_API BOOL SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue);
}

namespace kvp {

// The host side of an open virtual port, as its peer sees it.
class SerialHost {
 public:
  virtual ~SerialHost() = default;
  // Bytes from the device to the host; with pacing they arrive at the configured bit rate.
  virtual void PushToHost(std::span<const uint8_t> bytes) = 0;
};

// The device on the other end of a virtual port (simulated hardware). The calls come
// synchronously from the host's calls, on the host's threads, with the platform clock's time.
// The peer must not call back into the port's comm functions from them; PushToHost is allowed.
class SerialPeer {
 public:
  virtual ~SerialPeer() = default;
  // The port was opened (both lines low) / closed. `host` stays valid until OnClose returns.
  virtual void OnOpen(SerialHost* host) {}
  virtual void OnClose() {}
  // Bytes the host wrote, when they have left the host's side of the line.
  virtual void OnBytes(std::span<const uint8_t> bytes, uint64_t timeMs) = 0;
  // DTR or RTS changed.
  virtual void OnModemLines(bool dtr, bool rts, uint64_t timeMs) = 0;
  virtual void OnPurge(DWORD flags, uint64_t timeMs) {}
  virtual void OnConfig(DWORD baudRate, BYTE byteSize, BYTE parity, BYTE stopBits) {}
};

struct VirtualPortOptions {
  // Bytes take their time on the line at the configured bit rate (10 bits per byte at 8N1),
  // in both directions.
  bool pacing = false;
};

// Registers COMn as a virtual port wired to `peer` (replaces an earlier registration).
PLATFORM_API bool RegisterVirtualComPort(int number, std::shared_ptr<SerialPeer> peer,
                                         VirtualPortOptions options = {});
PLATFORM_API void UnregisterVirtualComPort(int number);

inline constexpr const char* kPortsKey = "SOFTWARE\\KV310Platform\\Ports";

}  // namespace kvp
