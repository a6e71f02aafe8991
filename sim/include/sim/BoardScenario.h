// What the simulated board is and how it misbehaves: the knobs a test or the demo sets before and
// between requests. Plain data; the board model reads it under its lock.
#pragma once

#include <sim/BoardFrame.h>
#include <sim/Engine.h>
#include <sim/LeakSignal.h>

#include <link/LinkExports.h>

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>

namespace sim {

inline constexpr int kEngineTesterInputs = 10;

// Busy replies the board sends before the final reply to one command.
struct BusyPlan {
  int polls = 0;           // busy replies before the final one (0 = answer at once)
  bool abortable = true;   // busy payload byte 2 = 00 (abortable) or 01
};

enum class FaultKind {
  None,
  Nack,         // reply payload FF; the request is not carried out
  Silence,      // no answer at all; the request is not carried out
  Malformed,    // the reply goes out as a broken frame (defect below)
  EmptyEvent,   // the data event fires but nothing can be read; the request is not carried out
  ErrorStatus,  // the answer's payload byte 1 (the status) is replaced by `status`
  Truncate,     // the answer's payload is cut to `length` bytes (at least 1)
};
// A fault acts on the answer to the request it hits: for a request held behind busy replies that
// is the busy reply (a Truncate to 2 makes a busy reply without its abort byte); the final reply
// is the answer to the last poll (FD).


struct Fault {
  FaultKind kind = FaultKind::None;
  FrameDefect defect = FrameDefect::BadEnd;
  uint8_t status = 0x81;
  size_t length = 1;
};

struct CommandFault {
  Fault fault;
  int times = -1;  // requests of the command it hits, counted down; -1 = every one
};

// One of the four high-voltage probes on the leads of cylinders 1 to 4, as the engine-tester
// module sees it in the frames of the polarity detection. The spark it shows is the engine's
// (EngineScenario: spark voltage, weak cylinder); the probe adds only what is its own.
struct HighVoltageProbe {
  bool sparks = true;          // false: no spark reaches the probe (lead off, cylinder misfiring)
  bool normalPolarity = true;  // the spark shows upright while the host sets the probe's polarity normal
};

// Board information record of a healthy board running its application firmware.
HwSwInfo DefaultHwSwInfo();

// Copies a text into a fixed record field: truncated to the field, NUL-padded; the last byte is
// a terminator only when the text is shorter than the field.
template <size_t N>
void SetHwSwText(char (&field)[N], const std::string& text) {
  for (size_t i = 0; i < N; ++i) field[i] = i < text.size() ? text[i] : '\0';
}

// A synthetic signal on one board channel, in the units of the channel's probe (volts for a test
// lead, amperes for a current clamp): offset + amplitude x shape(frequency x t) on the board's
// clock. Noise is a repeatable pseudo-random value per sample within +-amplitude.
enum class Waveform { Dc, Sine, Square, Triangle, Noise };

struct SignalSource {
  Waveform shape = Waveform::Sine;
  double amplitude = 0.0;  // peak
  double offset = 0.0;     // DC level
  double frequencyHz = 50.0;
};

struct BoardScenario {
  // The engine-tester module: when attached, every reply that carries an identity carries this
  // probe code (7 or 23); when absent, such replies carry channel A's code instead.
  bool engineTesterAttached = false;
  uint8_t engineTesterIdentity = 7;
  // Probe codes on the engine-tester inputs 0..9, a set that every engine-tester measurement's
  // probe rule accepts: the 400 V test leads on inputs 0 and 1, a 50 A clamp on input 2 and a
  // 500 A clamp (the starter current of the leak test) on input 3, the high-voltage reference
  // probe on input 4, the pressure sensor on 5, the temperature sensor on 6, the stroboscope on 7,
  // the inductive timing probe on 8 and the ignition pick-up "2x" on 9 (the speed sensor the kV
  // measurements of all and of a selected cylinder ask for).
  std::array<uint8_t, kEngineTesterInputs> inputProbeCodes{3, 3, 4, 5, 36, 52, 68, 19, 37, 85};

  // The measuring board: hardware byte of 02 02 (0 full board, 1 reduced), channel A/B probes.
  uint8_t hardwareByte = 0;
  std::array<uint8_t, 2> channelProbeCodes{3, 3};
  HwSwInfo hwSwInfo = DefaultHwSwInfo();

  // Engine-tester firmware: the version text 60 01 reports, the text after a download, a line
  // (1-based count of 60 03 requests in one download) the board refuses, and the six correction
  // bytes of 60 05.
  std::string engineTesterFirmware = "Version 1.00";
  std::string engineTesterFirmwareAfterDownload = "Version 1.00";
  int refuseFirmwareLine = 0;
  std::array<uint8_t, 6> corrections{0, 0, 0, 0, 0, 0};

  // The engine on the engine-tester module's sensors (speed, timing, dwell, temperature, secondary
  // voltage, battery, clamp current).
  EngineScenario engine;
  // The starter current of the leak recording (22), cranking the same engine.
  LeakSignal leak;
  // A version request answered with this status and detail byte instead of the text (0 = the
  // text is reported).
  uint8_t firmwareVersionStatus = 0;
  uint8_t firmwareVersionDetail = 0;

  // The four high-voltage probes the polarity detection looks at (the sparks they show are the
  // engine's above), and how many frame reads after the first arming set-up or a restart still
  // find no new engine data.
  std::array<HighVoltageProbe, 4> hvProbes{};
  int engineFramesAfterArming = 1;

  // Signals on the two board channels (oscilloscope and voltmeter): a 5 V, 50 Hz sine on A and
  // nothing on B.
  std::array<SignalSource, 2> channelSignals{SignalSource{Waveform::Sine, 5.0, 0.0, 50.0},
                                             SignalSource{Waveform::Dc, 0.0, 0.0, 50.0}};
  // The value acquisition mode 1 reports before the samples; without one, the board measures the
  // frequency of channel A in millihertz (the engine-tester module: the engine's turning
  // frequency).
  std::optional<int32_t> oscMeasuredValue;
  uint8_t oscErrorFlags = 0;        // high nibble of the trigger byte of every acquisition reply
  bool instantAcquisition = false;  // answer acquisitions at once, whatever the rate takes
  uint32_t recordingMemory = 262144;  // samples the board memory holds (shared by both channels)

  // Ohmmeter and diode test: the resistance between the test leads (infinity = open circuit),
  // the forward voltage of the diode under test, and the status the board reports for 30/31
  // (2 = not ready for the measurement).
  double resistanceOhms = 1000.0;
  double diodeForwardVolts = 0.65;
  uint8_t ohmmeterStatus = 0;

  // Timing and faults.
  std::array<BusyPlan, 256> busy{};          // per command byte
  uint32_t replyDelayMs = 0;                 // every answer is due this long after its request
  std::map<uint64_t, Fault> faultOnRequest;  // key: request number, 1-based since Reset
  std::map<uint8_t, CommandFault> commandFaults;

  // The in-process link library: what its Init returns.
  int linkInitResult = 0;
};

}  // namespace sim
