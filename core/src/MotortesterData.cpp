#include <core/MotortesterData.h>
#include <core/ProbeKind.h>

#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MeasureEngine.h>
#include <core/NumberFormat.h>
#include <core/ProbeConnection.h>
#include <core/Reg.h>
#include <core/TextIds.h>

#include <platform/sync.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

// ---- stored fields -------------------------------------------------------------------------

constexpr const char* kSparkKey = "SOFTWARE\\KELO\\KV310\\Parameter\\Spark";
constexpr const char* kDieselKey = "SOFTWARE\\KELO\\KV310\\Parameter\\Diesel";

// One registry value: where its field sits in the block, how wide and signed it is, and the
// values the library accepts for it (a stored value outside them takes the library's default).
struct StoredField {
  const char* key;
  const char* name;
  size_t offset;
  int width;  // bytes
  bool isSigned;
  int minimum;
  int maximum;
  int alternative;  // for fields with two or three allowed values: they are minimum, maximum and this
};
constexpr int kRange = -1000000;  // alternative of a field that takes every value from minimum to maximum

// In the order they are written and read.
constexpr StoredField kStoredFields[] = {
    {kSparkKey, "NumberCylinders", offsetof(EngineParameterBlock, sparkNumberCylinders), 1, false, 1, 8, kRange},
    {kSparkKey, "NumberMarks", offsetof(EngineParameterBlock, sparkNumberMarks), 2, false, 1, 61, kRange},
    {kSparkKey, "MarkOffset", offsetof(EngineParameterBlock, sparkMarkOffset), 2, true, -359, 359, kRange},
    {kSparkKey, "Stroke", offsetof(EngineParameterBlock, sparkStroke), 1, false, 2, 4, 2},
    {kSparkKey, "Sensitivity", offsetof(EngineParameterBlock, sparkSensitivity), 1, false, 1, 10, kRange},
    {kSparkKey, "SpeedSensorType", offsetof(EngineParameterBlock, sparkSpeedSensorType), 4, true, 0, 3, 1},
    {kSparkKey, "CoilType", offsetof(EngineParameterBlock, sparkCoilType), 4, true, 0, 1, kRange},
    {kSparkKey, "HiVoltageTypeProbe", offsetof(EngineParameterBlock, sparkHiVoltageTypeProbe), 4, true, 0, 1, kRange},
    {kSparkKey, "PolarityHVProbe_1", offsetof(EngineParameterBlock, sparkPolarityHVProbes) + 0, 1, false, 0, 255, kRange},
    {kSparkKey, "PolarityHVProbe_2", offsetof(EngineParameterBlock, sparkPolarityHVProbes) + 1, 1, false, 0, 255, kRange},
    {kSparkKey, "PolarityHVProbe_3", offsetof(EngineParameterBlock, sparkPolarityHVProbes) + 2, 1, false, 0, 255, kRange},
    {kSparkKey, "PolarityHVProbe_4", offsetof(EngineParameterBlock, sparkPolarityHVProbes) + 3, 1, false, 0, 255, kRange},
    {kDieselKey, "NumberCylinders", offsetof(EngineParameterBlock, dieselNumberCylinders), 1, false, 1, 8, kRange},
    {kDieselKey, "NumberMarks", offsetof(EngineParameterBlock, dieselNumberMarks), 2, false, 1, 61, kRange},
    {kDieselKey, "MarkOffset", offsetof(EngineParameterBlock, dieselMarkOffset), 2, true, -359, 359, kRange},
    {kDieselKey, "Stroke", offsetof(EngineParameterBlock, dieselStroke), 1, false, 2, 4, 2},
    {kDieselKey, "ComparativeLevel", offsetof(EngineParameterBlock, dieselComparativeLevel), 1, false, 11, 15, 11},
    {kDieselKey, "PressureSensorType", offsetof(EngineParameterBlock, dieselPressureSensorType), 4, true, 0, 1, kRange},
    {kDieselKey, "SpeedSensorType", offsetof(EngineParameterBlock, dieselSpeedSensorType), 4, true, 0, 3, kRange},
    {kDieselKey, "Sensitivity", offsetof(EngineParameterBlock, dieselSensitivity), 4, true, 1, 10, kRange},
};

bool Accepts(const StoredField& f, int v) {
  if (f.alternative == kRange) return v >= f.minimum && v <= f.maximum;
  return v == f.minimum || v == f.maximum || v == f.alternative;
}

// The field widened to a DWORD: signed fields through int32, so -30 is 0xFFFFFFE2.
DWORD FieldToDword(const EngineParameterBlock& block, const StoredField& f) {
  const auto* p = reinterpret_cast<const uint8_t*>(&block) + f.offset;
  switch (f.width) {
    case 1: return *p;
    case 2: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      return f.isSigned ? static_cast<DWORD>(static_cast<int32_t>(static_cast<int16_t>(v))) : v;
    }
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

// The DWORD truncated to the field's width, as the field's signed or unsigned value.
int DwordToFieldValue(DWORD d, const StoredField& f) {
  switch (f.width) {
    case 1: return static_cast<uint8_t>(d);
    case 2: return f.isSigned ? static_cast<int>(static_cast<int16_t>(d)) : static_cast<int>(static_cast<uint16_t>(d));
    default: return static_cast<int32_t>(d);
  }
}

void StoreFieldValue(EngineParameterBlock& block, const StoredField& f, int v) {
  auto* p = reinterpret_cast<uint8_t*>(&block) + f.offset;
  switch (f.width) {
    case 1: *p = static_cast<uint8_t>(v); break;
    case 2: {
      const uint16_t w = static_cast<uint16_t>(v);
      std::memcpy(p, &w, 2);
      break;
    }
    default: {
      const int32_t w = v;
      std::memcpy(p, &w, 4);
      break;
    }
  }
}

// ---- speed-sensor and pressure codes -----------------------------------------------------------

// User code -> stored code, per kind; the index is the user code.
int SparkSensorStored(int user) {
  switch (user) {
    case 1: return 0;
    case 2: return 1;
    case 3: return 3;
    default: return -1;
  }
}
int SparkSensorUser(int stored) {
  switch (stored) {
    case 0: return 1;
    case 1: return 2;
    case 3: return 3;
    default: return -1;
  }
}
int DieselSensorStored(int user) {
  switch (user) {
    case 2: return 1;
    case 3: return 3;
    case 4: return 2;
    default: return -1;
  }
}
int DieselSensorUser(int stored) {
  switch (stored) {
    case 1: return 2;
    case 3: return 3;
    case 2: return 4;
    default: return -1;
  }
}

// ---- probe check ---------------------------------------------------------------------------

// Every non-zero mask of `any` needs one fitting input among its bits; no mask: always met.
struct Need {
  uint16_t any[3];
  bool byReference = false;  // ids 11 to 14: by the reference probe's code
};
constexpr uint16_t In(std::initializer_list<int> inputs) {
  uint16_t mask = 0;
  for (int i : inputs) mask = static_cast<uint16_t>(mask | (1u << i));
  return mask;
}
constexpr Need kAlways{{0, 0, 0}, false};
constexpr Need kByReference{{0, 0, 0}, true};
constexpr uint16_t kSpeedInputs = In({5, 8, 9});

struct IdRule {
  int first;
  int last;
  Need engineTester;  // the engine-tester board's inputs 0..9
  Need board;         // the measuring board's channels as inputs 0 and 1
};

// The probes each measurement needs, on either path.
constexpr IdRule kIdRules[] = {
    {4, 4, {{In({7, 8, 9})}}, kAlways},
    {5, 5, {{In({0}), In({2, 3})}}, kAlways},
    {6, 8, kAlways, kAlways},
    {9, 9, {{In({6})}}, kAlways},
    {10, 10, {{In({0, 1, 2, 3, 4})}}, {{In({0, 1})}}},
    {11, 14, kByReference, kAlways},
    {15, 16, {{In({0})}}, kAlways},
    {17, 17, {{In({5, 7, 8})}}, kAlways},
    {18, 18, {{In({0}), In({2, 3})}}, kAlways},
    {19, 19, {{In({5})}}, kAlways},
    {20, 20, {{In({6})}}, kAlways},
    {21, 21, {{In({0, 1, 2, 3, 4})}}, kAlways},
    {22, 22, {{In({0})}}, {{In({0})}}},
    {23, 23, {{In({2})}}, {{In({1})}}},
    {24, 24, {{In({0})}}, {{In({0})}}},
    {25, 25, {{In({0, 1, 2, 3, 4})}}, kAlways},
    {26, 26, {{In({0}), In({2, 3})}}, {{In({0}), In({1})}}},
    {32, 32, {{In({0}), In({1}), kSpeedInputs}}, {{In({0}), In({1})}}},
    {34, 34, {{In({0})}}, {{In({0})}}},
    {35, 35, {{In({0}), In({1})}}, {{In({0}), In({1})}}},
    {39, 40, {{In({0}), In({2, 3}), kSpeedInputs}}, {{In({0}), In({1})}}},
    {42, 42, {{In({0})}}, {{In({0})}}},
    {43, 43, {{In({2, 3})}}, {{In({0, 1})}}},
    // Every other id from 27 to 41.
    {4, 43, {{In({0}), kSpeedInputs}}, {{In({0})}}},
};

const IdRule& RuleOf(int id) {
  for (const IdRule& rule : kIdRules)
    if (id >= rule.first && id <= rule.last) return rule;
  return kIdRules[std::size(kIdRules) - 1];
}

bool Met(const Need& need, const bool fits[10]) {
  for (uint16_t mask : need.any) {
    if (mask == 0) continue;
    bool one = false;
    for (int i = 0; i < 10; ++i)
      if ((mask & (1u << i)) && fits[i]) one = true;
    if (!one) return false;
  }
  return true;
}

constexpr int kMaxInputs = 10;

}  // namespace

// ---- construction and interfaces -----------------------------------------------------------

CMotortesterData::CMotortesterData() { m_Block.engineType = ENGINE_UNSET; }

void CMotortesterData::Reset() {
  SetInterfaces(nullptr, nullptr, nullptr, nullptr);
  {
    std::lock_guard lock(m_BlockLock);
    m_Block = EngineParameterBlock{};
  }
  m_nEngineType = ENGINE_UNSET;
  m_nSparkSpeedSensorType = 0;
  m_nDieselSpeedSensorType = 0;
  m_nSparkCoilType = -1;
  m_nHelpMode = 10;
  m_nEngineMode = 0;
  m_bPressure = 0;
  m_bAveraging = 1;
  m_bProbeSetupDone = 0;
  m_bAutoPolarity = 0;
  m_bFirstRead = 1;
  m_Status = StatusRecord();
  for (Channel& channel : m_Channels) channel = Channel();
}

void CMotortesterData::SetInterfaces(IMotortester_6* motortester, IMTVoltmeter_8* voltmeter,
                                     ICommunication_1* communication, IOscilloscope_2* oscilloscope) {
  m_pMotortester.store(motortester);
  m_pVoltmeter.store(voltmeter);
  m_pCommunication.store(communication);
  m_pOscilloscope.store(oscilloscope);
}

IOscilloscope_2* CMotortesterData::GetBoardOscilloscope() const {
  IOscilloscope_2* own = m_pOscilloscope.load();
  return own ? own : GetKeloDll().Oscilloscope();
}

BOOL CMotortesterData::IsReady() const {
  IMotortester_6* tester = m_pMotortester.load();
  return tester && tester->IsReady() ? TRUE : FALSE;
}

// ---- the block -----------------------------------------------------------------------------

EngineParameterBlock CMotortesterData::LockedBlock() const {
  std::lock_guard lock(m_BlockLock);
  return m_Block;
}

EngineParameterBlock CMotortesterData::GetParamBlock() const {
  EngineParameterBlock block = LockedBlock();
  block.engineType = m_nEngineType.load();
  block.sparkSpeedSensorType = m_nSparkSpeedSensorType.load();
  block.sparkCoilType = m_nSparkCoilType.load();
  block.dieselSpeedSensorType = m_nDieselSpeedSensorType.load();
  return block;
}

void CMotortesterData::StoreBlock(const EngineParameterBlock& block) {
  {
    std::lock_guard lock(m_BlockLock);
    m_Block = block;
  }
  m_nSparkSpeedSensorType.store(block.sparkSpeedSensorType);
  m_nSparkCoilType.store(block.sparkCoilType);
  m_nDieselSpeedSensorType.store(block.dieselSpeedSensorType);
}

void CMotortesterData::SetParamBlock(const EngineParameterBlock& block) {
  StoreBlock(block);
  m_nEngineType.store(block.engineType);
}

template <typename F>
int CMotortesterData::WithBlock(F&& change) {
  std::lock_guard lock(m_BlockLock);
  change(m_Block);
  return 0;
}

int CMotortesterData::SetNumberCylinders(int kind, int value) {
  if (kind == ENGINE_SPARK) return WithBlock([&](EngineParameterBlock& b) { b.sparkNumberCylinders = static_cast<uint8_t>(value); });
  if (kind == ENGINE_DIESEL) return WithBlock([&](EngineParameterBlock& b) { b.dieselNumberCylinders = static_cast<uint8_t>(value); });
  return kind - 1;
}

int CMotortesterData::GetNumberCylinders(int kind) const {
  const EngineParameterBlock b = LockedBlock();
  return kind == ENGINE_SPARK ? b.sparkNumberCylinders : kind == ENGINE_DIESEL ? b.dieselNumberCylinders : -1;
}

int CMotortesterData::SetNumberMarks(int kind, int value) {
  if (kind == ENGINE_SPARK) return WithBlock([&](EngineParameterBlock& b) { b.sparkNumberMarks = static_cast<uint16_t>(value); });
  if (kind == ENGINE_DIESEL) return WithBlock([&](EngineParameterBlock& b) { b.dieselNumberMarks = static_cast<uint16_t>(value); });
  return kind - 1;
}

int CMotortesterData::GetNumberMarks(int kind) const {
  const EngineParameterBlock b = LockedBlock();
  return kind == ENGINE_SPARK ? b.sparkNumberMarks : kind == ENGINE_DIESEL ? b.dieselNumberMarks : -1;
}

int CMotortesterData::SetMarkOffset(int kind, int value) {
  if (kind == ENGINE_SPARK) return WithBlock([&](EngineParameterBlock& b) { b.sparkMarkOffset = static_cast<int16_t>(value); });
  if (kind == ENGINE_DIESEL) return WithBlock([&](EngineParameterBlock& b) { b.dieselMarkOffset = static_cast<int16_t>(value); });
  return kind - 1;
}

int CMotortesterData::GetMarkOffset(int kind) const {
  const EngineParameterBlock b = LockedBlock();
  return kind == ENGINE_SPARK ? b.sparkMarkOffset : kind == ENGINE_DIESEL ? b.dieselMarkOffset : -1;
}

int CMotortesterData::SetStroke(int kind, int value) {
  if (kind == ENGINE_SPARK) return WithBlock([&](EngineParameterBlock& b) { b.sparkStroke = static_cast<uint8_t>(value); });
  if (kind == ENGINE_DIESEL) return WithBlock([&](EngineParameterBlock& b) { b.dieselStroke = static_cast<uint8_t>(value); });
  return kind - 1;
}

int CMotortesterData::GetStroke(int kind) const {
  const EngineParameterBlock b = LockedBlock();
  return kind == ENGINE_SPARK ? b.sparkStroke : kind == ENGINE_DIESEL ? b.dieselStroke : -1;
}

int CMotortesterData::SetSpeedSensorType(int kind, int userCode) {
  if (kind != ENGINE_SPARK && kind != ENGINE_DIESEL) return kind - 1;
  const int stored = kind == ENGINE_SPARK ? SparkSensorStored(userCode) : DieselSensorStored(userCode);
  if (stored < 0) return -1;
  (kind == ENGINE_SPARK ? m_nSparkSpeedSensorType : m_nDieselSpeedSensorType).store(stored);
  return 0;
}

int CMotortesterData::GetSpeedSensorType(int kind) const {
  if (kind == ENGINE_SPARK) return SparkSensorUser(m_nSparkSpeedSensorType.load());
  if (kind == ENGINE_DIESEL) return DieselSensorUser(m_nDieselSpeedSensorType.load());
  return -1;
}

int CMotortesterData::SetCoilType(int kind, int value) {
  if (kind != ENGINE_SPARK) return kind - 1;
  m_nSparkCoilType.store(value);
  return 0;
}

int CMotortesterData::GetCoilType() const {
  const int type = m_nSparkCoilType.load();
  return type == 0 || type == 1 ? type : -1;
}

int CMotortesterData::SetPressureSensorType(int kind, int userCode) {
  if (kind != ENGINE_DIESEL) return kind - 1;
  if (userCode != 1 && userCode != 2) return -1;
  return WithBlock([&](EngineParameterBlock& b) { b.dieselPressureSensorType = userCode - 1; });
}

int CMotortesterData::GetPressureSensorType(int kind) const {
  if (kind != ENGINE_DIESEL) return -1;
  const int stored = LockedBlock().dieselPressureSensorType;
  return stored == 0 || stored == 1 ? stored + 1 : -1;
}

int CMotortesterData::TogglePolarity(int probe) {
  if (probe < 1 || probe > 4) return 0;
  WithBlock([&](EngineParameterBlock& b) {
    uint8_t& p = b.sparkPolarityHVProbes[probe - 1];
    p = p ? 0 : 1;
  });
  return 1;
}

int CMotortesterData::GetPolarity(int probe) const {
  if (probe < 1 || probe > 4) return -1;
  return LockedBlock().sparkPolarityHVProbes[probe - 1];
}

// ---- library calls on a copy -----------------------------------------------------------------

int CMotortesterData::ApplyMotortesterParams(int engineType) {
  m_nEngineType.store(engineType);
  return ApplyMotortesterParams();
}

int CMotortesterData::ApplyMotortesterParams() {
  IMotortester_6* tester = m_pMotortester.load();
  if (!tester) return NO_INTERFACE;
  return tester->SetAllParams(GetParamBlock());
}

int CMotortesterData::ReloadDefaults() {
  IMotortester_6* tester = m_pMotortester.load();
  if (!tester) return NO_INTERFACE;
  EngineParameterBlock defaults{};
  const int rc = tester->GetDefaultParams(&defaults);
  if (rc != 0) return rc;
  EngineParameterBlock block = GetParamBlock();
  switch (block.engineType) {
    case ENGINE_SPARK:
      std::memcpy(&block.sparkNumberCylinders, &defaults.sparkNumberCylinders,
                  offsetof(EngineParameterBlock, dieselNumberCylinders) - offsetof(EngineParameterBlock, sparkNumberCylinders));
      break;
    case ENGINE_DIESEL:
      std::memcpy(&block.dieselNumberCylinders, &defaults.dieselNumberCylinders,
                  sizeof(EngineParameterBlock) - offsetof(EngineParameterBlock, dieselNumberCylinders));
      break;
    case ENGINE_UNSET: {
      const int type = block.engineType;
      block = defaults;
      block.engineType = type;
      break;
    }
    default: return 0;
  }
  StoreBlock(block);
  return rc;
}

BOOL CMotortesterData::ReadPolarities() {
  IMotortester_6* tester = m_pMotortester.load();
  uint32_t packed = 0;
  if (!tester || tester->GetSparkPolarityHVProbes(&packed) != 0) return FALSE;
  WithBlock([&](EngineParameterBlock& b) {
    for (int i = 0; i < 4; ++i) b.sparkPolarityHVProbes[i] = static_cast<uint8_t>(packed >> (8 * i));
  });
  return TRUE;
}

BOOL CMotortesterData::SaveMotortesterParams() {
  IMotortester_6* tester = m_pMotortester.load();
  if (!tester) return FALSE;
  EngineParameterBlock both{};
  for (int set : {ENGINE_SPARK, ENGINE_DIESEL}) {
    // Word 0 selects the set the library fills; the other words keep what the first call wrote.
    both.engineType = set;
    if (tester->GetAllParams(&both) != 0) return FALSE;
  }
  CReg reg;
  for (const StoredField& f : kStoredFields) {
    if (reg.WriteDword(HKEY_CURRENT_USER, f.key, f.name, FieldToDword(both, f)) != CReg::OK) return FALSE;
  }
  return TRUE;
}

int CMotortesterData::LoadMotortesterParams() {
  m_nEngineType.store(ENGINE_SPARK);
  IMotortester_6* tester = m_pMotortester.load();
  if (!tester) return NO_INTERFACE;
  EngineParameterBlock block{};
  const int rc = tester->GetDefaultParams(&block);
  if (rc != 0) return rc;
  CReg reg;
  for (const StoredField& f : kStoredFields) {
    DWORD stored = 0;
    if (reg.ReadDword(HKEY_CURRENT_USER, f.key, f.name, stored) != CReg::OK) continue;
    const int value = DwordToFieldValue(stored, f);
    if (Accepts(f, value)) StoreFieldValue(block, f, value);
  }
  block.engineType = ENGINE_SPARK;
  StoreBlock(block);
  // The library takes one set per call: the diesel set first, so that it ends in spark mode.
  EngineParameterBlock diesel = block;
  diesel.engineType = ENGINE_DIESEL;
  tester->SetAllParams(diesel);
  tester->SetAllParams(block);
  return 1;
}

// ---- probes ----------------------------------------------------------------------------------

BOOL CMotortesterData::WaitMotortesterReady(int measurementId) {
  if (measurementId < 4 || measurementId > 43) return TRUE;
  if (ICommunication_1* comm = m_pCommunication.load()) {
    // A request holding the link (a leak test recording) is waited for and its read never ended.
    CMeasureEngine& engine = GetMeasureEngine();
    if (engine.IsLinkReserved()) engine.WaitLinkIdle();
    for (int i = 0; i < 8; ++i) {
      const int state = comm->GetState();
      if (state == 2) break;
      if (state == 3 && !engine.IsLinkReserved()) comm->AbortRead();
      if (state == 4) comm->Recover();
      Sleep(250);
    }
  }

  int kinds[kMaxInputs] = {};
  int referenceCode = 0;
  const bool engineTester = IsReady() != FALSE;
  if (engineTester) {
    IMotortester_6* tester = m_pMotortester.load();
    int16_t count = 0;
    if (tester->GetInputCount(&count) != 0) return FALSE;
    const int n = std::clamp<int>(count, 0, kMaxInputs);
    uint8_t inputs[kMaxInputs];
    ProbeInputRecord records[kMaxInputs] = {};
    for (int i = 0; i < n; ++i) inputs[i] = static_cast<uint8_t>(i);
    if (n > 0 && tester->ReadProbes(static_cast<uint16_t>(n), inputs, records) != 0) return FALSE;
    for (int i = 0; i < n; ++i) kinds[i] = records[i].probe.kind;
    int32_t code = 0;
    const int rc = tester->FindReferenceProbe(&code);
    if (rc == 0) {
      referenceCode = code;
    } else if (rc != 31 && rc != 35) {
      return FALSE;
    }
    kinds[4] = referenceCode;
  } else {
    IOscilloscope_2* osc = GetBoardOscilloscope();
    if (!osc) return FALSE;
    for (uint16_t ch = 0; ch < 2; ++ch) {
      ProbeDescriptor probe{};
      if (osc->GetProbeInfo(ch, &probe) != 0) return FALSE;
      kinds[ch] = probe.kind;
    }
  }

  const int coil = GetCoilType();
  bool fits[kMaxInputs] = {};
  for (int i = 0; i < kMaxInputs; ++i) {
    ProbeConnection connection;
    FormatProbeConnection(i, measurementId, engineTester ? TRUE : FALSE, coil, connection);
    fits[i] = kinds[i] != 0 && connection.Contains(kinds[i]);
  }
  const IdRule& rule = RuleOf(measurementId);
  if (!engineTester) return Met(rule.board, fits) ? TRUE : FALSE;
  if (rule.engineTester.byReference) {
    if (referenceCode == 110 || referenceCode == 111) return fits[4] && fits[9] ? TRUE : FALSE;
    if (referenceCode == 112) return fits[4] && fits[8] ? TRUE : FALSE;
    return FALSE;
  }
  return Met(rule.engineTester, fits) ? TRUE : FALSE;
}

// ---- voltage and current ---------------------------------------------------------------------

void CMotortesterData::ResetStatus() { m_Status = StatusRecord(); }

void CMotortesterData::RecoverLink() {
  if (ICommunication_1* comm = m_pCommunication.load()) comm->Recover();
}

BOOL CMotortesterData::StartVoltCurrent() {
  ResetStatus();
  GetMeasureEngine().WaitLinkIdle();
  IMTVoltmeter_8* volt = m_pVoltmeter.load();
  return volt && volt->SetMode(2) == 0 ? TRUE : FALSE;
}

void CMotortesterData::SetACMode(int ac) {
  for (Channel& channel : m_Channels) {
    MeterReading& r = channel.m_Reading;
    if (r.m_bAC == ac) continue;
    r.m_bAC = ac;
    r.m_bMinMaxSet = 0;
    r.m_dMin = r.m_dMax = 0.0;
  }
}

void CMotortesterData::LoadChannelRanges(int channel) {
  MeterReading& r = m_Channels[channel].m_Reading;
  r.m_Ranges.RemoveAll();
  r.m_nCachedRange = -1;
  r.m_Map.Reset();
  IMTVoltmeter_8* volt = m_pVoltmeter.load();
  if (!volt || r.m_Ranges.m_nKind == probekind::kNone) return;
  const uint16_t ch = static_cast<uint16_t>(channel);
  uint16_t count = 0;
  if (volt->GetRangeCount(ch, &count) != 0 || count == 0) return;
  std::vector<ScaledValue> values(count);
  if (volt->GetRanges(ch, count, values.data()) != 0) return;
  for (const ScaledValue& v : values) r.m_Ranges.Add(ScaledValueToDouble(v) * r.m_Ranges.m_dScale);
}

// The description of a probe: the core's probe look (unit, scale 1.25 for the clamps, label),
// with "no probe" for kind 0.
static void DescribeChannel(CMotortesterData::Channel& channel, const ProbeDescriptor& probe) {
  channel.m_Probe = probe;
  MeterReading& r = channel.m_Reading;
  ApplyProbeInfo(r.m_Ranges, probe);
  r.m_strProbe = probe.kind == probekind::kNone ? CString(GetGlobalProps().GetText(kTextNoProbe)) : r.m_Ranges.m_strLabel;
  r.m_Ranges.m_nChangeMark = 1;
}

bool CMotortesterData::ReadChannelProbe(int channel) {
  IMTVoltmeter_8* volt = m_pVoltmeter.load();
  ProbeDescriptor probe{};
  if (!volt || volt->ReadProbe(static_cast<uint16_t>(channel), &probe) != 0) return false;
  DescribeChannel(m_Channels[channel], probe);
  LoadChannelRanges(channel);
  return true;
}

void CMotortesterData::ConvertChannel(int channel, const int16_t raw[3], uint16_t rangeIndex,
                                      const ProbeDescriptor& probe) {
  Channel& c = m_Channels[channel];
  int32_t& status = m_Status.m_nStatus[channel];
  if (probe.kind == probekind::kNone) {
    status = STATUS_NO_PROBE;
    return;
  }
  if (probe.probeClass != channel) {
    status = STATUS_WRONG_PROBE;
    return;
  }
  if (std::memcmp(&probe, &c.m_Probe, sizeof probe) != 0) {
    DescribeChannel(c, probe);
    LoadChannelRanges(channel);
  }
  MeterReading& r = c.m_Reading;
  if (r.m_Ranges.GetSize() == 0) {
    status = STATUS_NO_PROBE;
    return;
  }
  const SHORT index = static_cast<SHORT>(rangeIndex);
  if (index != r.m_nCachedRange) {
    const double range = r.m_Ranges.GetValueOrZero(index);
    r.m_Map.Set(-range, range, -32768.0, 32767.0);
    r.m_nCachedRange = index;
  }
  for (int i = 0; i < 3; ++i) c.m_dValues[i] = r.m_Map.ToValue(raw[i]);
  r.m_dRawValue = c.m_dValues[0];
  r.m_dValue = r.m_dRawValue - r.m_dOffset;
  UpdateReadingMinMax(r);
}

const CMotortesterData::StatusRecord& CMotortesterData::ReadVoltCurrent() {
  ResetStatus();
  IMTVoltmeter_8* volt = m_pVoltmeter.load();
  if (!IsReady() || !volt) return m_Status;
  RecoverLink();
  DualVoltmeterReading reading{};
  const bool ac = m_Channels[0].m_Reading.m_bAC || m_Channels[1].m_Reading.m_bAC;
  const int rc = ac ? volt->ReadStatisticsRms(&reading) : volt->ReadStatistics(&reading);
  if (rc != 0) {
    for (int32_t& status : m_Status.m_nStatus) {
      status = STATUS_FAILED;
      RecoverLink();
    }
    return m_Status;
  }
  if (m_bFirstRead.exchange(0)) {
    ReadChannelProbe(CHANNEL_VOLTAGE);
    ReadChannelProbe(CHANNEL_CURRENT);
  }
  ConvertChannel(CHANNEL_CURRENT, reading.values1, reading.rangeIndex1, reading.probe1);
  ConvertChannel(CHANNEL_VOLTAGE, reading.values0, reading.rangeIndex0, reading.probe0);
  if (m_Status.m_nStatus[0] != STATUS_OK || m_Status.m_nStatus[1] != STATUS_OK) RecoverLink();
  return m_Status;
}

const CMotortesterData::StatusRecord& CMotortesterData::ReadVoltCurrentSpeed(double& speed) {
  ResetStatus();
  int32_t& status = m_Status.m_nStatus[0];
  IMTVoltmeter_8* volt = m_pVoltmeter.load();
  MeasuredValue measured{};
  if (!IsReady() || !volt || volt->GetEngineSpeed(&measured) != 0) {
    status = STATUS_FAILED;
  } else if (measured.probe.kind == probekind::kNone) {
    status = STATUS_NO_PROBE;
  } else {
    const int type = m_nEngineType.load();
    if (type != ENGINE_SPARK && type != ENGINE_DIESEL) {
      status = STATUS_FAILED;
    } else {
      const int sensor = type == ENGINE_SPARK ? m_nSparkSpeedSensorType.load() : m_nDieselSpeedSensorType.load();
      const int needed = probekind::SpeedSensorTypeOf(measured.probe.kind);
      if (needed < 0 || needed != sensor) {
        status = STATUS_WRONG_PROBE;
      } else {
        speed = ScaledValueToDouble(measured.value);
      }
    }
  }
  if (status != STATUS_OK) RecoverLink();
  return m_Status;
}

CMotortesterData* GetMotortesterDevice() {
  static CMotortesterData data;
  return &data;
}
