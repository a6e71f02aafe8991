#include <core/ProbeConnection.h>

#include <core/GlobalProps.h>
#include <core/MotortesterData.h>
#include <core/TextIds.h>

#include <initializer_list>

namespace {

const char* Text(int id) { return GetGlobalProps().GetText(id); }

bool In(int mode, int first, int last) { return mode >= first && mode <= last; }

void Set(ProbeConnection& out, const CString& text, std::initializer_list<int> codes) {
  out.m_strText = text;
  out.m_nCodeCount = 0;
  for (int code : codes)
    if (out.m_nCodeCount < ProbeConnection::MAX_CODES) out.m_nCodes[out.m_nCodeCount++] = code;
}

CString Format1(const char* format, int id) {
  CString s;
  s.Format(format, Text(id));
  return s;
}

CString Format2(const char* format, int first, int second) {
  CString s;
  s.Format(format, Text(first), Text(second));
  return s;
}

// Voltage, current and indication: the default list of the oscilloscope inputs.
void SetDefault(ProbeConnection& out) {
  CString s;
  s.Format("%s, %s, %s", Text(kTextProbeVoltage), Text(kTextProbeCurrent), Text(kTextProbeIndication));
  Set(out, s, {1, 15, 2, 3, 14, 16});
}

BOOL WithEngineTester(int input, int mode, int coil, ProbeConnection& out) {
  switch (input) {
    case 0:
      if (mode == 5 || mode == 15 || mode == 16 || mode == 18 || mode == 22 || mode == 24 || In(mode, 26, 42)) {
        Set(out, Text(kTextProbeVoltage), {1});
      } else {
        SetDefault(out);
      }
      return TRUE;
    case 1: Set(out, Format2("%s, %s", kTextProbeVoltage, kTextProbeIndication), {1, 14, 16}); return TRUE;
    case 2:
    case 3:
      if (mode == 26 || mode == 43) {
        Set(out, Format1("%s 500A", kTextProbeCurrent), {3});
      } else if (mode == 39 || mode == 40) {
        Set(out, Format1("%s 50A", kTextProbeCurrent), {2});
      } else {
        Set(out, Text(kTextProbeCurrent), {2, 3, 15});
      }
      return TRUE;
    case 4:
      if (mode == 11 || mode == 14 || ((mode == 12 || mode == 13) && coil == 0)) {
        Set(out, Format1("%s N, C4", kTextProbeHighVoltage), {111, 110});
      } else if (mode == 12 || mode == 13) {
        Set(out, Format1("%s C4, N4", kTextProbeHighVoltage), {110, 112});
      } else {
        Set(out, Format1("%s N, C4, N4", kTextProbeHighVoltage), {111, 110, 112});
      }
      return TRUE;
    case 5: Set(out, Text(kTextProbePressure), {6}); return TRUE;
    case 6: Set(out, Text(kTextProbeTemperature), {8}); return TRUE;
    case 7: Set(out, Text(kTextProbeStroboscope), {9}); return TRUE;
    case 8:
      if (In(mode, 11, 14)) {
        Set(out, "SYNC1", {12});
      } else {
        Set(out, Format2("%s, %s, SYNC1", kTextProbeInductive, kTextProbeSemiconductor), {7, 10, 12});
      }
      return TRUE;
    case 9:
      if (mode == 12 || mode == 13) {
        Set(out, Format1("%s 2x", kTextProbeIgnition), {13});
      } else {
        Set(out, Format2("%s, %s 2x", kTextProbeIgnition, kTextProbeIgnition), {13, 5});
      }
      return TRUE;
    default: return FALSE;
  }
}

BOOL WithoutEngineTester(int input, int mode, ProbeConnection& out) {
  switch (input) {
    case 0:
      if (mode == 22 || mode == 24 || In(mode, 26, 42)) {
        Set(out, Text(kTextProbeVoltage), {1});
      } else if (mode == 43) {
        Set(out, Format1("%s 500A", kTextProbeCurrent), {3});
      } else {
        SetDefault(out);
      }
      return TRUE;
    case 1:
      if (mode == 23) {
        Set(out, Text(kTextProbeCurrent), {2, 3, 15});
      } else if (mode == 26 || mode == 43) {
        Set(out, Format1("%s 500A", kTextProbeCurrent), {3});
      } else if (mode == 32 || mode == 35) {
        Set(out, Text(kTextProbeVoltage), {1});
      } else if (mode == 39 || mode == 40) {
        Set(out, Format1("%s 50A", kTextProbeCurrent), {2});
      } else {
        SetDefault(out);
      }
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

bool ProbeConnection::Contains(int code) const {
  for (int i = 0; i < m_nCodeCount; ++i)
    if (m_nCodes[i] == code) return true;
  return false;
}

BOOL FormatProbeConnection(int input, int helpMode, BOOL engineTester, int coilType, ProbeConnection& out) {
  Set(out, CString(), {});
  return engineTester ? WithEngineTester(input, helpMode, coilType, out) : WithoutEngineTester(input, helpMode, out);
}

BOOL FormatProbeConnection(int input, ProbeConnection& out) {
  const CMotortesterData* data = GetMotortesterDevice();
  return FormatProbeConnection(input, data->GetHelpMode(), data->IsReady(), data->GetCoilType(), out);
}
