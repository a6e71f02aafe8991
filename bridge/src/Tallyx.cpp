// The bridge library Tallyx: ten plain exports over the engine-tester meters of the measurement
// library Kv310, which it loads from the installation folder by itself. It shares the program's
// single-instance lock, so the program and a host of this library never use the board together.
//
// Everything the host calls runs on the host's thread; the library itself serialises the calls
// it receives. No C++ exception leaves an export.
#include <tallyx.h>

#include <kv310/Kv310.h>

#include <platform/module.h>
#include <platform/registry.h>
#include <platform/sync.h>
#include <platform/unique.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#define TALLYX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char* kInstanceLock = "DravixScope";

// The loaded measurement library and the six interfaces the exports use.
class CKelo_DLL {
 public:
  CKelo_DLL() = default;
  // The bridge unloaded with Kv310 still loaded (a host's dlclose without Close).
  virtual ~CKelo_DLL() { Close(); }
  CKelo_DLL(const CKelo_DLL&) = delete;
  CKelo_DLL& operator=(const CKelo_DLL&) = delete;

  // 0 loaded; 2 any failure, with nothing left loaded.
  int Load();
  // Link stopped and closed, library unloaded, pointers cleared, lock released. Idempotent.
  void Close();
  bool IsLoaded() const { return m_hModule != 0; }

  kvp::UniqueHandle m_hMutex;
  IInfo_0* m_pInfo = nullptr;
  ICommunication_1* m_pCommunication = nullptr;
  IMotortester_6* m_pMotortester = nullptr;
  IMTAdvancemeter_11* m_pAdvance = nullptr;
  IMTDwellanglemeter_13* m_pDwell = nullptr;
  IMTTemperaturemeter_12* m_pTemperature = nullptr;
  int m_nAdvanceKind = 0;  // the advance probe SetAdvanceProbe selected, 0 none

 private:
  void ClearInterfaces();
  HMODULE m_hModule = 0;
};

CKelo_DLL g_kelo;

// The installation folder from the machine-wide "Path" (REG_SZ only), ending in a separator.
bool ReadInstallPath(std::string& path) {
  HKEY key = 0;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  bool ok = RegQueryValueEx(key, "Path", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ;
  std::vector<char> data(size + 1, '\0');
  if (ok) ok = RegQueryValueEx(key, "Path", nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (!ok) return false;
  path.assign(data.data(), strnlen(data.data(), data.size()));
  if (path.empty()) return false;
  if (path.back() != '/' && path.back() != '\\') path += path.find('\\') != std::string::npos ? '\\' : '/';
  return true;
}

// Runs the close sequence before the process's exit finalises Kv310. Registered after each load,
// so it comes before the library's own finalisers; on a dlclose of the bridge it runs too.
void CloseAtExit() { g_kelo.Close(); }

int CKelo_DLL::Load() {
  std::string path;
  if (!ReadInstallPath(path)) return 2;
  m_hModule = LoadLibrary((path + "Kv310.dll").c_str());
  if (!m_hModule) return 2;
  auto query = reinterpret_cast<Kv310QueryInterfaceProc>(
      reinterpret_cast<void (*)()>(GetProcAddress(m_hModule, "QueryInterface")));
  void* found[6] = {};
  const unsigned ids[6] = {kv310::kInfo, kv310::kCommunication, kv310::kMotortester, kv310::kMTAdvancemeter,
                           kv310::kMTDwellanglemeter, kv310::kMTTemperaturemeter};
  bool all = query != nullptr;
  for (int i = 0; all && i < 6; ++i) all = query(ids[i], &found[i]) != 0 && found[i] != nullptr;
  if (!all) {
    FreeLibrary(m_hModule);
    m_hModule = 0;
    return 2;
  }
  m_pInfo = static_cast<IInfo_0*>(found[0]);
  m_pCommunication = static_cast<ICommunication_1*>(found[1]);
  m_pMotortester = static_cast<IMotortester_6*>(found[2]);
  m_pAdvance = static_cast<IMTAdvancemeter_11*>(found[3]);
  m_pDwell = static_cast<IMTDwellanglemeter_13*>(found[4]);
  m_pTemperature = static_cast<IMTTemperaturemeter_12*>(found[5]);
  m_nAdvanceKind = 0;
  std::atexit(&CloseAtExit);
  return 0;
}

void CKelo_DLL::ClearInterfaces() {
  m_pInfo = nullptr;
  m_pCommunication = nullptr;
  m_pMotortester = nullptr;
  m_pAdvance = nullptr;
  m_pDwell = nullptr;
  m_pTemperature = nullptr;
  m_nAdvanceKind = 0;
}

void CKelo_DLL::Close() {
  if (m_hModule) {
    if (m_pCommunication) {
      m_pCommunication->Stop();
      m_pCommunication->Close();
    }
    ClearInterfaces();
    FreeLibrary(m_hModule);
    m_hModule = 0;
  }
  ClearInterfaces();
  if (m_hMutex) {
    ReleaseMutex(m_hMutex.get());
    m_hMutex.reset();
  }
}

// A measured value truncated toward zero, held within int.
int Trunc(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

double Value(const ScaledValue& v) { return static_cast<double>(v.mantissa) * std::pow(10.0, v.exponent); }

// A meter value by its probe: kind 0 no probe, an accepted kind its value (or "not valid"),
// any other kind the wrong-probe marker.
template <typename Accept>
int MarkedInt(const MeasuredValue& m, Accept accepted) {
  if (m.probe.kind == 0) return TALLYX_MARK_NO_PROBE;
  if (!accepted(m.probe.kind)) return TALLYX_MARK_WRONG_PROBE;
  return m.valid ? Trunc(Value(m.value)) : TALLYX_MARK_NOT_VALID;
}

bool IsTemperatureKind(int k) { return k == 8; }

// Every export runs its body here: a C++ exception becomes 2.
template <typename F>
int Guarded(F&& body) {
  try {
    return body();
  } catch (...) {
    return TALLYX_FAILED;
  }
}

}  // namespace

TALLYX_EXPORT int InitKV310DLL(void) {
  return Guarded([] {
    if (g_kelo.IsLoaded()) return TALLYX_OK;
    kvp::UniqueHandle mutex(CreateMutex(nullptr, TRUE, kInstanceLock));
    if (!mutex) return TALLYX_FAILED;
    if (GetLastError() == ERROR_ALREADY_EXISTS) return TALLYX_PROGRAM_RUNS;
    g_kelo.m_hMutex = std::move(mutex);
    if (g_kelo.Load() != 0) {
      g_kelo.Close();
      return TALLYX_FAILED;
    }
    if (g_kelo.m_pCommunication->Open() != 0 || g_kelo.m_pCommunication->Start() != 0) {
      g_kelo.Close();
      return TALLYX_NO_LINK;
    }
    const int detected = g_kelo.m_pMotortester->Detect();
    if (detected == 0) return TALLYX_OK;
    g_kelo.Close();
    return detected == 28 ? TALLYX_NO_ENGINE_TESTER : TALLYX_NO_LINK;
  });
}

TALLYX_EXPORT int CloseKV310DLL(void) {
  Guarded([] {
    g_kelo.Close();
    return 0;
  });
  return TALLYX_OK;
}

TALLYX_EXPORT int SetAllParams(int set, int cylinders, int stroke, int speedSensorType, int marks, int markOffset,
                               int pressureSensorType, int sensitivity, int coilType, int comparativeLevel) {
  return Guarded([&] {
    IMotortester_6* tester = g_kelo.m_pMotortester;
    if (!tester) return TALLYX_FAILED;
    if (tester->IsReady()) {
      int16_t count = 0;
      if (tester->GetInputCount(&count) != 0) return TALLYX_FAILED;
      const int n = count < 0 ? 0 : (count > 10 ? 10 : count);
      uint8_t inputs[10];
      ProbeInputRecord records[10] = {};
      for (int i = 0; i < n; ++i) inputs[i] = static_cast<uint8_t>(i);
      if (n > 0 && tester->ReadProbes(static_cast<uint16_t>(n), inputs, records) != 0) return TALLYX_FAILED;
    }
    EngineParameterBlock block{};
    block.engineType = set;
    if (tester->GetAllParams(&block) != 0) return TALLYX_FAILED;
    const EngineParameterBlock before = block;  // the set as it was, with the library's engine type
    block.engineType = set;  // the library wrote its current type here; send the set asked for
    if (set == 0) {
      block.sparkNumberCylinders = static_cast<uint8_t>(cylinders);
      block.sparkStroke = static_cast<uint8_t>(stroke);
      block.sparkSpeedSensorType = speedSensorType;
      block.sparkNumberMarks = static_cast<uint16_t>(marks);
      block.sparkMarkOffset = static_cast<int16_t>(markOffset);
      block.sparkSensitivity = static_cast<uint8_t>(sensitivity);
      block.sparkCoilType = coilType;
    } else {
      block.dieselNumberCylinders = static_cast<uint8_t>(cylinders);
      block.dieselStroke = static_cast<uint8_t>(stroke);
      block.dieselSpeedSensorType = speedSensorType;
      block.dieselNumberMarks = static_cast<uint16_t>(marks);
      block.dieselMarkOffset = static_cast<int16_t>(markOffset);
      block.dieselSensitivity = static_cast<uint8_t>(sensitivity);
      block.dieselPressureSensorType = pressureSensorType;
      block.dieselComparativeLevel = static_cast<uint8_t>(comparativeLevel);
    }
    const int rc = tester->SetAllParams(block);
    if (rc == 0) return TALLYX_OK;
    // The library takes the fields one at a time and keeps those before a refused one: the set read
    // above goes back, and the engine type that taking it sets returns to the one the host had.
    EngineParameterBlock restore = before;
    restore.engineType = set;
    if (tester->SetAllParams(restore) == 0 && before.engineType != set) tester->SetEngineType(before.engineType);
    return rc == 29 || rc == 34 ? TALLYX_PARAMS_REFUSED : TALLYX_FAILED;
  });
}

TALLYX_EXPORT int GetAllParams(int set, int* engineType, uint8_t* cylinders, uint8_t* stroke, int* speedSensorType,
                               int16_t* marks, int16_t* markOffset, int* pressureSensorType, uint8_t* sensitivity,
                               int* coilType, uint8_t* comparativeLevel) {
  return Guarded([&] {
    if (!engineType || !cylinders || !stroke || !speedSensorType || !marks || !markOffset || !pressureSensorType ||
        !sensitivity || !coilType || !comparativeLevel) {
      return TALLYX_FAILED;
    }
    IMotortester_6* tester = g_kelo.m_pMotortester;
    EngineParameterBlock block{};
    block.engineType = set;
    if (!tester || tester->GetAllParams(&block) != 0) {
      *engineType = *speedSensorType = *pressureSensorType = *coilType = 0;
      *cylinders = *stroke = *sensitivity = *comparativeLevel = 0;
      *marks = *markOffset = 0;
      return TALLYX_FAILED;
    }
    // The library fills the asked set and reports its current type, which may be the other one.
    *engineType = block.engineType;
    if (set == 0) {
      *cylinders = block.sparkNumberCylinders;
      *stroke = block.sparkStroke;
      *speedSensorType = block.sparkSpeedSensorType;
      *marks = static_cast<int16_t>(block.sparkNumberMarks);
      *markOffset = block.sparkMarkOffset;
      *sensitivity = block.sparkSensitivity;
      *coilType = block.sparkCoilType;
    } else {
      *cylinders = block.dieselNumberCylinders;
      *stroke = block.dieselStroke;
      *speedSensorType = block.dieselSpeedSensorType;
      *marks = static_cast<int16_t>(block.dieselNumberMarks);
      *markOffset = block.dieselMarkOffset;
      *pressureSensorType = block.dieselPressureSensorType;
      *sensitivity = static_cast<uint8_t>(block.dieselSensitivity);
      *comparativeLevel = block.dieselComparativeLevel;
    }
    return TALLYX_OK;
  });
}

TALLYX_EXPORT int SetAdvanceProbe(int* kind) {
  return Guarded([&] {
    if (!kind || (*kind != 7 && *kind != 9 && *kind != 10)) return TALLYX_FAILED;
    IMotortester_6* tester = g_kelo.m_pMotortester;
    IMTAdvancemeter_11* meter = g_kelo.m_pAdvance;
    if (!tester || !meter || !tester->IsReady()) return TALLYX_FAILED;
    uint16_t count = 0;
    if (meter->GetProbeCount(&count) != 0 || count == 0) return TALLYX_FAILED;
    std::vector<ProbeDescriptor> probes(count);
    if (meter->GetProbes(count, probes.data()) != 0) return TALLYX_FAILED;
    bool connected = false;
    for (const ProbeDescriptor& p : probes) connected = connected || p.kind == *kind;
    if (!connected) return TALLYX_NO_ADVANCE_PROBE;
    if (meter->SelectProbe(*kind) != 0) return TALLYX_FAILED;
    g_kelo.m_nAdvanceKind = *kind;
    return TALLYX_OK;
  });
}

TALLYX_EXPORT int GetProbeAdvance(int* advanceProbe, int* speedProbe, int* temperatureProbe) {
  return Guarded([&] {
    IMTAdvancemeter_11* meter = g_kelo.m_pAdvance;
    if (!advanceProbe || !speedProbe || !temperatureProbe || !meter) return TALLYX_FAILED;
    ProbeDescriptor advance{}, speed{}, temperature{};
    if (meter->ReadProbes(&advance, &speed, &temperature) != 0) return TALLYX_FAILED;
    *advanceProbe = advance.kind == 7 || advance.kind == 9 || advance.kind == 10;
    *speedProbe = speed.kind == 5 || speed.kind == 6 || speed.kind == 13;
    *temperatureProbe = temperature.kind == 8;
    return TALLYX_OK;
  });
}

TALLYX_EXPORT int GetSpeedAndTempProbe(int* speedProbeKind, int* temperatureProbeKind) {
  return Guarded([&] {
    IMTTemperaturemeter_12* meter = g_kelo.m_pTemperature;
    if (!speedProbeKind || !temperatureProbeKind || !meter) return TALLYX_FAILED;
    ProbeDescriptor temperature{}, speed{};
    if (meter->ReadProbes(&temperature, &speed) != 0) return TALLYX_FAILED;
    *speedProbeKind = speed.kind;
    *temperatureProbeKind = temperature.kind;
    return TALLYX_OK;
  });
}

TALLYX_EXPORT int GetAdvanceData(int* speed, double* advance, int* temperature, int* probeButton) {
  return Guarded([&] {
    IMTAdvancemeter_11* meter = g_kelo.m_pAdvance;
    if (!speed || !advance || !temperature || !probeButton || !meter) return TALLYX_FAILED;
    AdvanceReading r{};
    if (meter->Measure(&r) != 0) return TALLYX_FAILED;
    *probeButton = static_cast<uint8_t>(r.flag);
    *speed = MarkedInt(r.speed, [](int k) { return k == 5 || k == 6 || k == 13; });
    *temperature = MarkedInt(r.temperature, IsTemperatureKind);
    const int kind = r.advance.probe.kind;
    if (kind == 0) {
      *advance = TALLYX_MARK_NO_PROBE;
    } else if ((kind == 7 || kind == 9 || kind == 10) && kind == g_kelo.m_nAdvanceKind) {
      *advance = r.advance.valid ? Value(r.advance.value) : TALLYX_MARK_NOT_VALID;
    } else {
      *advance = TALLYX_MARK_WRONG_PROBE;
    }
    return TALLYX_OK;
  });
}

TALLYX_EXPORT int GetSpeedAndTemp(int* speed, int* temperature) {
  return Guarded([&] {
    IMTTemperaturemeter_12* meter = g_kelo.m_pTemperature;
    if (!speed || !temperature || !meter) return TALLYX_FAILED;
    SpeedTemperatureReading r{};
    for (int attempt = 1;; ++attempt) {
      if (meter->Measure(&r) == 0) break;
      Sleep(30);
      if (attempt == 5) return TALLYX_FAILED;
    }
    *temperature = MarkedInt(r.temperature, IsTemperatureKind);
    *speed = MarkedInt(r.speed, [](int k) { return k == 5 || k == 6 || k == 7 || k == 10 || k == 13; });
    return TALLYX_OK;
  });
}

TALLYX_EXPORT int GetDwellAngleData(double* dwellAngle, int* speed, int* temperature) {
  return Guarded([&] {
    IMTDwellanglemeter_13* meter = g_kelo.m_pDwell;
    if (!dwellAngle || !speed || !temperature || !meter) return TALLYX_FAILED;
    DwellReading r{};
    if (meter->Measure(&r) != 0) return TALLYX_FAILED;
    const MeasuredValue& t = r.temperature;
    if (!t.valid) {
      *temperature = TALLYX_MARK_NOT_VALID;
    } else if (t.probe.kind == 0) {
      *temperature = TALLYX_MARK_NO_PROBE;
    } else {
      *temperature = t.probe.kind == 8 ? Trunc(Value(t.value)) : TALLYX_MARK_WRONG_PROBE;
    }
    if (!r.valid) {
      *dwellAngle = TALLYX_MARK_NOT_VALID;
      *speed = TALLYX_MARK_NOT_VALID;
    } else if (r.dwellProbe.kind == 0) {
      *dwellAngle = TALLYX_MARK_NO_PROBE;
      *speed = TALLYX_MARK_NO_PROBE;
    } else if (r.dwellProbe.kind == 1) {
      *dwellAngle = Value(r.dwell);
      *speed = Trunc(Value(r.speed));
    } else {
      *dwellAngle = TALLYX_MARK_WRONG_PROBE;
      *speed = TALLYX_MARK_WRONG_PROBE;
    }
    return TALLYX_OK;
  });
}
