// The board device's control codes, its late-reply status and its interface class, shared by the
// driver qrtdrv and the USB link library that opens its device.
#pragma once

#include <platform/fileio.h>

#include <cstdint>

namespace qrtdrv {

constexpr DWORD IOCTL_SET_DATA_EVENT = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800, METHOD_NEITHER, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_PING = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_NEITHER, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_SET_REMOVAL_EVENT = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x802, METHOD_NEITHER, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_CLEAR_FEATURE = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x803, METHOD_NEITHER, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_SET_FEATURE = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x804, METHOD_NEITHER, FILE_ANY_ACCESS);
static_assert(IOCTL_SET_DATA_EVENT == 0x222003 && IOCTL_SET_FEATURE == 0x222013);

// The write reached the board but its reply did not come in time; the next read fetches it.
// The customer bit is set, so the status reaches the caller unchanged as its last error.
constexpr uint32_t STATUS_REPLY_TIMEOUT = 0xA0000102u;

// Transfers: one board frame out, its reply in.
constexpr uint32_t kMaxTransfer = 4224;

// Feature selectors of the board's interface.
constexpr uint16_t kFeatureWatchdog = 1;   // SET arms the board's watchdog, CLEAR disarms it
constexpr uint16_t kFeatureKeepAlive = 2;  // CLEAR feeds the watchdog
constexpr uint16_t kFeatureLinkStop = 3;   // CLEAR: the link stops communicating

}  // namespace qrtdrv
