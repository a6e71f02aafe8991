#include <core/MeasureEngine.h>
#include <core/ProbeKind.h>

#include <core/NumberFormat.h>
#include <core/Texts.h>

namespace {

ScaledValue Scaled(int32_t mantissa, int32_t exponent) {
  ScaledValue v{};
  v.mantissa = mantissa;
  v.exponent = static_cast<int8_t>(exponent & 0xFF);
  return v;
}

struct KindLook {
  double scale;
  int decimals;
  const char* label;  // null: the full-scale text
};

// Scale factor, decimals and label by probe kind; kinds not listed keep the reset values.
bool LookOfKind(int kind, KindLook& look) {
  switch (kind) {
    case probekind::kVoltage: case probekind::kPressure: look = {1.0, 3, nullptr}; return true;
    case probekind::kClamp50A: case probekind::kClamp500A: look = {1.25, 3, nullptr}; return true;
    case probekind::kHighVoltageReference: case probekind::kReferenceC4: case probekind::kReferenceN:
    case probekind::kReferenceN4: look = {1.0, 8, nullptr}; return true;
    case probekind::kScan: look = {1.0, 3, "SSCN"}; return true;
    case probekind::kClamp5A: look = {1.25, 7, nullptr}; return true;
    case probekind::kHighVoltageCapacitive: look = {1.25, 3, "HV/C"}; return true;
    default: return false;
  }
}

}  // namespace

void ApplyProbeInfo(CNxDoubleArray& target, const ProbeDescriptor& probe) {
  target.Reset();
  if (probe.kind == probekind::kNone) {
    target.m_nKind = probekind::kNone;
    target.m_strLabel = GetDefaultText(18);
    return;
  }
  target.m_nKind = probe.kind;
  target.m_nUnit = probe.probeClass;
  target.m_dFullScale = ScaledValueToDouble(Scaled(probe.codeA, probe.codeB));
  target.m_dMultiplier = ScaledValueToDouble(Scaled(probe.scaleMantissa, probe.scaleExponent));
  target.m_nRangeLow = static_cast<int>((static_cast<uint32_t>(probe.rangeWindow) >> 16) & 0xFFFF);
  target.m_nRangeHigh = static_cast<int>(static_cast<uint32_t>(probe.rangeWindow) & 0xFFFF);
  KindLook look{};
  if (!LookOfKind(probe.kind, look)) {
    target.m_strLabel.Empty();
    return;
  }
  target.m_dScale = look.scale;
  target.m_nDecimals = look.decimals;
  if (look.label) {
    target.m_strLabel = look.label;
  } else {
    CString number;
    FormatScaledValue(number, target.m_dFullScale, GetEngineeringExponent(target.m_dFullScale), 1);
    target.m_strLabel.Format("%s%s", (LPCSTR)number, GetUnitSymbol(target.m_nUnit));
  }
}
