// The board reports each connected probe or sensor as a one-byte probe code; the library turns a
// code into a ProbeDescriptor through one built-in table.
#pragma once

#include <kv310/Records.h>

#include <cstdint>

namespace kv310 {

inline constexpr int kProbeKindCount = 17;  // kinds 0..16
inline constexpr int kEngineTesterClass = 2;
inline constexpr int32_t kReferenceProbeNone = 255;

// The built-in descriptor of a kind; kind 0 ("no probe") for any kind outside 0..16.
ProbeDescriptor DescriptorOfKind(int kind);

// The kind of a probe code (only its low byte counts); 0 for an unknown code.
int ProbeKindOfCode(int code);

// Copies the descriptor of the code's kind. A high-voltage reference probe (codes 36, 84, 67)
// first records which variant the board reported (ReferenceProbeCode 110, 111, 112) and sets the
// engine tester's high-voltage probe type (1 for code 84, else 0).
void LookupProbeDescriptor(ProbeDescriptor* out, int code);

// Whether a reply's identity code names the engine-tester module (descriptor class 2).
bool IsEngineTesterModule(int code);

// Which reference probe variant the board last reported: 110, 111, 112, or 255 when none was
// seen since load.
int32_t ReferenceProbeCode();
void SetReferenceProbeCode(int32_t code);

}  // namespace kv310
