// Library-wide state, one copy per process: the sixteen interface objects, the link object, the
// board mode, the last configuration sent to the board, the engine-tester state and the
// calibration block.
//
// LibraryAttach runs when the library is loaded and LibraryDetach when it is unloaded (the
// module's entry does both); in-process tests call them directly.
#pragma once

#include <kv310/Records.h>

#include <cstdint>
#include <mutex>

namespace kv310 {

class CComPort;
class EngineTesterState;
class ImplementationMotortester_6;

void LibraryAttach();
void LibraryDetach();

// The singleton of interface id 0..15 (as the interface pointer); null for any other id.
void* InterfaceOf(unsigned id);

// The engine-tester board's shared state (flags, parameters, probes per input, firmware).
EngineTesterState& EngineState();
// The IMotortester_6 object, for calls of its interface operations.
ImplementationMotortester_6* EngineTester();

// The one link object, absent until the link is opened.
CComPort* Link();
void SetLink(CComPort* link);

// Which instrument configuration the board holds (0 = none known).
int BoardMode();
void SetBoardMode(int mode);

// The last configuration (command 0x61, 11 bytes) sent to the board.
inline constexpr int kConfigurationLength = 11;
void GetLastConfiguration(uint8_t configuration[kConfigurationLength]);
void SetLastConfiguration(const uint8_t configuration[kConfigurationLength]);
// Whether `configuration` differs from the last one.
bool DiffersFromLastConfiguration(const uint8_t configuration[kConfigurationLength]);
// Stores `configuration` when it differs from the last one; returns whether it differed.
bool ReplaceLastConfiguration(const uint8_t configuration[kConfigurationLength]);

// Held by every synchronous instrument operation from its link check to its receive, so that no
// other caller's request can come between and take its reply, and so that callers wait for each
// other's synchronous requests instead of finding the link busy. Recursive: an operation made of
// several requests holds it throughout.
std::recursive_mutex& OperationLock();

}  // namespace kv310
