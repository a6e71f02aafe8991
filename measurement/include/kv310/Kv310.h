// The measurement library Kv310 ("Kv310.dll"): its one export, the interface ids, the records and
// the result codes. A caller loads the library by name, takes "QueryInterface" with
// GetProcAddress and asks for the interfaces by id.
#pragma once

#include <kv310/Interfaces.h>
#include <kv310/Records.h>
#include <kv310/ResultCodes.h>

namespace kv310 {

// Interface ids; ids 7 to 10 are optional for the program, all others required.
enum InterfaceId : unsigned {
  kInfo = 0,
  kCommunication = 1,
  kOscilloscope = 2,
  kVoltmeter = 3,
  kOhmmeter = 4,
  kDiodeTest = 5,
  kMotortester = 6,
  kMTOscilloscope = 7,
  kMTVoltmeter = 8,
  kMTOhmmeter = 9,
  kMTDiodeTest = 10,
  kMTAdvancemeter = 11,
  kMTTemperaturemeter = 12,
  kMTDwellanglemeter = 13,
  kMTHiVoltage = 14,
  kMTLeakTest = 15,
  kInterfaceCount = 16,
};

// Link states reported by ICommunication_1::GetState.
enum LinkState : int {
  kLinkNone = 0,      // no link, or its link library is not bound
  kLinkReady = 1,     // library bound, link not started
  kLinkIdle = 2,      // started and idle
  kLinkPending = 3,   // a request is pending
  kLinkFailed = 4,    // the last request failed; Recover restarts
};

}  // namespace kv310

extern "C" {
// Stores the singleton of id 0..15 in *out and returns 1; for any other id stores NULL and
// returns 0. Nothing is created, counted or freed; the pointer is valid until the library unloads.
typedef int (*Kv310QueryInterfaceProc)(unsigned id, void** out);
}
