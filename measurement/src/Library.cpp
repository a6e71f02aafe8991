#include "Library.h"

#include "Calibration.h"
#include "ComPort.h"
#include "EngineTesterState.h"
#include "ProbeTable.h"
#include "instruments/ImplementationCommunication_1.h"
#include "instruments/ImplementationDiodeTest_5.h"
#include "instruments/ImplementationInfo_0.h"
#include "instruments/ImplementationMTAdvancemeter_11.h"
#include "instruments/ImplementationMTDiodeTest_10.h"
#include "instruments/ImplementationMTDwellanglemeter_13.h"
#include "instruments/ImplementationMTHiVoltage_14.h"
#include "instruments/ImplementationMTLeakTest_15.h"
#include "instruments/ImplementationMTOhmmeter_9.h"
#include "instruments/ImplementationMTOscilloscope_7.h"
#include "instruments/ImplementationMTTemperaturemeter_12.h"
#include "instruments/ImplementationMTVoltmeter_8.h"
#include "instruments/ImplementationMotortester_6.h"
#include "instruments/ImplementationOhmmeter_4.h"
#include "instruments/ImplementationOscilloscope_2.h"
#include "instruments/ImplementationVoltmeter_3.h"

#include <kv310/Kv310.h>

#include <atomic>
#include <cstring>

namespace kv310 {

namespace {

struct State {
  void* interfaces[kInterfaceCount] = {};
  void (*destroy[kInterfaceCount])(void*) = {};
  std::atomic<CComPort*> link{nullptr};
  std::atomic<int> boardMode{0};
  std::mutex configurationLock;
  uint8_t lastConfiguration[kConfigurationLength] = {};
  // Owned; a plain pointer so that the record stays trivially destructible (the module's entry
  // object, not static destruction, ends the library's state).
  EngineTesterState* engineTester = nullptr;
  ChannelCalibration calibration = {};
  std::recursive_mutex operationLock;
};

State g_state;

template <typename Impl, typename Interface>
void Create(unsigned id) {
  g_state.interfaces[id] = static_cast<Interface*>(new Impl());
  g_state.destroy[id] = [](void* object) { delete static_cast<Impl*>(static_cast<Interface*>(object)); };
}

}  // namespace

void LibraryAttach() {
  g_state.link.store(nullptr);
  g_state.boardMode.store(0);
  {
    std::lock_guard<std::mutex> hold(g_state.configurationLock);
    std::memset(g_state.lastConfiguration, 0, sizeof g_state.lastConfiguration);
  }
  SetReferenceProbeCode(kReferenceProbeNone);
  LoadDefaultCalibration(&g_state.calibration);
  delete g_state.engineTester;
  g_state.engineTester = new EngineTesterState();

  Create<ImplementationInfo_0, IInfo_0>(kInfo);
  Create<ImplementationCommunication_1, ICommunication_1>(kCommunication);
  Create<ImplementationOscilloscope_2, IOscilloscope_2>(kOscilloscope);
  Create<ImplementationVoltmeter_3, IVoltmeter_3>(kVoltmeter);
  Create<ImplementationOhmmeter_4, IOhmmeter_4>(kOhmmeter);
  Create<ImplementationDiodeTest_5, IDiodeTest_5>(kDiodeTest);
  Create<ImplementationMotortester_6, IMotortester_6>(kMotortester);
  Create<ImplementationMTOscilloscope_7, IMTOscilloscope_7>(kMTOscilloscope);
  Create<ImplementationMTVoltmeter_8, IMTVoltmeter_8>(kMTVoltmeter);
  Create<ImplementationMTOhmmeter_9, IMTOhmmeter_9>(kMTOhmmeter);
  Create<ImplementationMTDiodeTest_10, IMTDiodeTest_10>(kMTDiodeTest);
  Create<ImplementationMTAdvancemeter_11, IMTAdvancemeter_11>(kMTAdvancemeter);
  Create<ImplementationMTTemperaturemeter_12, IMTTemperaturemeter_12>(kMTTemperaturemeter);
  Create<ImplementationMTDwellanglemeter_13, IMTDwellanglemeter_13>(kMTDwellanglemeter);
  Create<ImplementationMTHiVoltage_14, IMTHiVoltage_14>(kMTHiVoltage);
  Create<ImplementationMTLeakTest_15, IMTLeakTest_15>(kMTLeakTest);
}

void LibraryDetach() {
  for (unsigned id = 0; id < kInterfaceCount; ++id) {
    if (g_state.interfaces[id]) g_state.destroy[id](g_state.interfaces[id]);
    g_state.interfaces[id] = nullptr;
    g_state.destroy[id] = nullptr;
  }
  // A link the caller did not close still runs its worker thread in this library's code, and a
  // link whose library was never bound cannot be closed at all: end it here (stop the link, quit
  // and join the worker, free the link library) before the code goes away.
  delete g_state.link.exchange(nullptr);
  delete g_state.engineTester;
  g_state.engineTester = nullptr;
}

void* InterfaceOf(unsigned id) { return id < kInterfaceCount ? g_state.interfaces[id] : nullptr; }

EngineTesterState& EngineState() { return *g_state.engineTester; }

ImplementationMotortester_6* EngineTester() {
  void* object = g_state.interfaces[kMotortester];
  return object ? static_cast<ImplementationMotortester_6*>(static_cast<IMotortester_6*>(object)) : nullptr;
}

CComPort* Link() { return g_state.link.load(); }
void SetLink(CComPort* link) { g_state.link.store(link); }

int BoardMode() { return g_state.boardMode.load(); }
void SetBoardMode(int mode) { g_state.boardMode.store(mode); }

void GetLastConfiguration(uint8_t configuration[kConfigurationLength]) {
  std::lock_guard<std::mutex> hold(g_state.configurationLock);
  std::memcpy(configuration, g_state.lastConfiguration, kConfigurationLength);
}

void SetLastConfiguration(const uint8_t configuration[kConfigurationLength]) {
  std::lock_guard<std::mutex> hold(g_state.configurationLock);
  std::memcpy(g_state.lastConfiguration, configuration, kConfigurationLength);
}

bool DiffersFromLastConfiguration(const uint8_t configuration[kConfigurationLength]) {
  std::lock_guard<std::mutex> hold(g_state.configurationLock);
  return std::memcmp(g_state.lastConfiguration, configuration, kConfigurationLength) != 0;
}

bool ReplaceLastConfiguration(const uint8_t configuration[kConfigurationLength]) {
  std::lock_guard<std::mutex> hold(g_state.configurationLock);
  if (std::memcmp(g_state.lastConfiguration, configuration, kConfigurationLength) == 0) return false;
  std::memcpy(g_state.lastConfiguration, configuration, kConfigurationLength);
  return true;
}

const ChannelCalibration& Calibration() { return g_state.calibration; }

std::recursive_mutex& OperationLock() { return g_state.operationLock; }

}  // namespace kv310
