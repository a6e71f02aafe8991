// Exports of "zlinksim.dll": the seven link functions the measurement library binds, over one
// in-process board, the accessor through which a test reaches that board, and a plain C control
// for hosts written in C.
#include "FakeLink.h"

#include <sim/ZlinkSim.h>

#include <cstring>
#include <string>

namespace {
sim::FakeLink g_link;
}

KV_EXPORT int Init(const char* key, const char* port) { return g_link.Init(key, port); }
KV_EXPORT int Deinit(void) { return g_link.Deinit(); }
KV_EXPORT int Write(const void* frame, int length) { return g_link.Write(frame, length); }
KV_EXPORT int Read(void* buffer, int length) { return g_link.Read(buffer, length); }
KV_EXPORT HANDLE GetEvent(void) { return g_link.GetEvent(); }
KV_EXPORT void GetHwSwInfo(HwSwInfo* out) { g_link.GetHwSwInfo(out); }
KV_EXPORT int SetSerialBlocksize(int size) { return g_link.SetSerialBlocksize(size); }

KV_EXPORT sim::BoardModel* ZlinkSimBoard() { return &g_link.Board(); }

// Sets one scenario knob under the board's lock; 0 done, -1 an unknown knob. Knobs:
// "engineTester" (0/1), "identity", "probe0".."probe9" (probe codes), "rpm", "advance",
// "dwell" (percent), "temperature", "probeButton" (0/1), "silent" (0/1: no command is answered).
KV_EXPORT int ZlinkSimSet(const char* knob, double value) {
  if (!knob) return -1;
  const std::string name = knob;
  const auto byte = static_cast<uint8_t>(value < 0.0 ? 0.0 : (value > 255.0 ? 255.0 : value));
  int result = 0;
  g_link.Board().Update([&](sim::BoardScenario& s) {
    if (name == "engineTester") {
      s.engineTesterAttached = value != 0.0;
    } else if (name == "identity") {
      s.engineTesterIdentity = byte;
    } else if (name.size() == 6 && name.compare(0, 5, "probe") == 0 && name[5] >= '0' && name[5] <= '9') {
      s.inputProbeCodes[static_cast<size_t>(name[5] - '0')] = byte;
    } else if (name == "rpm") {
      s.engine.rpm = value;
    } else if (name == "advance") {
      s.engine.advanceDegrees = value;
    } else if (name == "dwell") {
      s.engine.dwellPercent = value;
    } else if (name == "temperature") {
      s.engine.temperatureCelsius = value;
    } else if (name == "probeButton") {
      s.engine.probeButton = value != 0.0;
    } else if (name == "silent") {
      s.commandFaults.clear();
      if (value != 0.0) {
        for (int command = 0; command < 256; ++command) {
          s.commandFaults[static_cast<uint8_t>(command)] = sim::CommandFault{sim::Fault{sim::FaultKind::Silence}, -1};
        }
      }
    } else {
      result = -1;
    }
  });
  return result;
}
