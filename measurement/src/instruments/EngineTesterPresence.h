// The board's own instruments (oscilloscope, voltmeter, ohmmeter, diode test) read the probe
// code of channel A from their replies: when it names the engine-tester module, the engine-tester
// board is attached and answers in their place.
#pragma once

namespace kv310 {

// Looks the code up (with the probe table's side effects). The engine-tester module: sets the
// engine tester's FirmwareChecked and EngineTesterReady flags, sets the board mode to 0 and
// returns true (the instrument then gives kLinkError). Any other probe: clears both flags, returns false.
bool EngineTesterFound(int channelAProbeCode);

}  // namespace kv310
