// The export set shared by the link libraries (serial and USB), and the board information record.
//
// Both link libraries export the same plain functions by name so that the measurement library can
// load either one by the name in the registry value "DLL name" and bind them with GetProcAddress.
// The pointer types below are what a caller binds; the prototypes let a link library's definitions
// be checked against them (a definition with other parameter types does not compile).
//
// Ordinals, the same in both libraries: 1 Init, 2 Deinit, 3 Write, 4 Read, 5 GetEvent,
// 6 GetOccupiedTxBuffer, 7 GetRxStatus, 8 SetSerialBlocksize, 9 GetFirmwareFileVersion,
// 10 GetHwSwInfo, 11 GetTxBufferDataSize (serial library only), 12 SetManualFlashMode.
// Integers are 32 bits.
#pragma once

#include <platform/types.h>

#include <bit>
#include <cstddef>
#include <cstdint>

// The board information record, 62 bytes, little-endian, filled from the board's information
// reply and handed out unchanged by GetHwSwInfo. All zero until the board has answered.
// Texts are NUL-terminated inside their fields; readers copy them bounded by the field width.
#pragma pack(push, 1)
struct HwSwInfo {
  uint8_t reserved[2];        // 0-1: not interpreted
  uint16_t boardId;           // 2-3: zero while the record is empty
  uint32_t serialNumber;      // 4-7
  char boardName[5];          // 8-12
  char firmwareText[9];       // 13-21: compared with the firmware file's version text
  char description1[16];      // 22-37
  char description2[16];      // 38-53
  uint32_t productionDate;    // 54-57: shown with at least four digits
  uint16_t boardStatus;       // 58-59: high byte 0x02 = application firmware runs; low byte 0x08 = version compare state
  uint16_t firmwareVersion;   // 60-61: high byte major, low byte minor
};
#pragma pack(pop)

static_assert(std::endian::native == std::endian::little, "HwSwInfo is read and written in place");
static_assert(sizeof(HwSwInfo) == 62);
static_assert(offsetof(HwSwInfo, boardId) == 2);
static_assert(offsetof(HwSwInfo, serialNumber) == 4);
static_assert(offsetof(HwSwInfo, boardName) == 8);
static_assert(offsetof(HwSwInfo, firmwareText) == 13);
static_assert(offsetof(HwSwInfo, description1) == 22);
static_assert(offsetof(HwSwInfo, description2) == 38);
static_assert(offsetof(HwSwInfo, productionDate) == 54);
static_assert(offsetof(HwSwInfo, boardStatus) == 58);
static_assert(offsetof(HwSwInfo, firmwareVersion) == 60);

// Board status values the link libraries and the measurement library test.
inline constexpr uint16_t kHwSwStatusApplication = 0x0200;  // high byte: application firmware runs
inline constexpr uint16_t kHwSwStatusCompare = 0x0008;      // low byte: versions are compared

// Pointer types of the exports, as a caller binds them by name.
extern "C" {
typedef int (*LinkInitProc)(const char* key, const char* port);       // 0 or a negative code
typedef int (*LinkDeinitProc)(void);                                   // 1 (USB: 0 without a link)
typedef int (*LinkWriteProc)(const void* frame, int length);          // bytes taken / written
typedef int (*LinkReadProc)(void* buffer, int length);                // bytes read
typedef HANDLE (*LinkGetEventProc)(void);                             // auto-reset data event
typedef int (*LinkGetOccupiedTxBufferProc)(void);                     // percent (USB: 4224)
typedef int (*LinkGetTxBufferDataSizeProc)(void);                     // bytes waiting (serial only)
typedef int (*LinkGetRxStatusProc)(void);                             // 1 while a frame is arriving
typedef int (*LinkSetSerialBlocksizeProc)(int size);                  // returns size
typedef int (*LinkGetFirmwareFileVersionProc)(const char* key, char* out);  // 1 when a text was found
typedef void (*LinkGetHwSwInfoProc)(HwSwInfo* out);                   // copies the 62 bytes
typedef WORD (*LinkSetManualFlashModeProc)(int mode);                 // the stored 16-bit mode

// Prototypes of the exports. A link library defines them with KV_EXPORT.
KV_EXPORT int Init(const char* key, const char* port);
KV_EXPORT int Deinit(void);
KV_EXPORT int Write(const void* frame, int length);
KV_EXPORT int Read(void* buffer, int length);
KV_EXPORT HANDLE GetEvent(void);
KV_EXPORT int GetOccupiedTxBuffer(void);
KV_EXPORT int GetTxBufferDataSize(void);
KV_EXPORT int GetRxStatus(void);
KV_EXPORT int SetSerialBlocksize(int size);
KV_EXPORT int GetFirmwareFileVersion(const char* key, char* out);
KV_EXPORT void GetHwSwInfo(HwSwInfo* out);
KV_EXPORT WORD SetManualFlashMode(int mode);
}
