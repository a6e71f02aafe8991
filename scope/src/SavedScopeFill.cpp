#include <scope/SavedScopeFill.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>
#include <core/OscScale.h>

namespace scope {

namespace {

constexpr COLORREF kNewSignalColor = 0x00FF00;
constexpr int kTraceColorBase = 30;  // scheme colour of display slot C; D..F follow
constexpr int kFillLightening = 170;
constexpr int kSavedTraceStyle = 2;

const char* SignalLetter(const CSavedSignal* signal) {
  static const char* const kLetters[] = {"C", "D", "E", "F"};
  if (!signal || signal->m_nKind < 0 || signal->m_nKind > 3) return "Err";
  return kLetters[signal->m_nKind];
}

void HideSavedDisplay(int slot) {
  GetGlobalProps().m_Styles[GlobalProps::STYLE_SAVED_C + slot].m_nFlags &= ~1;
}

}  // namespace

CString SavedScopeTitle(const CSavedScope* scope) {
  if (!scope || scope->m_Signals.GetSize() == 0) return "Err";
  if (scope->m_Signals.GetSize() == 1) return SignalLetter(scope->m_Signals[0]);
  CString title;
  title.Format("%s + %s", SignalLetter(scope->m_Signals[0]), SignalLetter(scope->m_Signals[1]));
  return title;
}

void ClearSavedScope(int which) {
  if (which < 0 || which >= kSavedScopeSlots) return;
  GetSavedScopes()[which].RemoveAllSignals();
  HideSavedDisplay(2 * which);
  HideSavedDisplay(2 * which + 1);
}

void ClearAllSavedScopes() {
  for (int i = 0; i < kSavedScopeSlots; ++i) ClearSavedScope(i);
}

CSavedScope* FirstFreeSavedScope(int* index) {
  CSavedScope* scopes = GetSavedScopes();
  for (int i = 0; i < kSavedScopeSlots; ++i) {
    if (scopes[i].m_bEmpty) {
      if (index) *index = i;
      return &scopes[i];
    }
  }
  return nullptr;
}

CSavedSignal* AddSignal(CSavedScope& scope, int channel, int* index) {
  auto* signal = new CSavedSignal;
  signal->m_nKind = channel + (scope.m_bPair == 1 ? 2 : 0);
  signal->m_crColor = kNewSignalColor;
  signal->m_crFill = kNewSignalColor;
  const INT_PTR at = scope.m_Signals.Add(signal);
  if (index) *index = static_cast<int>(at);
  return signal;
}

void SetTitle(CSavedScope& scope, const char* text) { scope.m_strName = text ? text : ""; }
void SetComment(CSavedScope& scope, const char* text) { scope.m_strDescription2 = text ? text : ""; }

void PlaceSavedSignalAxis(CScale& axis, double perDivision, int position) {
  axis.SetDivisions(-5.0 * perDivision, 5.0 * perDivision, 10, perDivision, false);
  axis.m_dStart = (50 - position) * axis.m_dSpan / 100.0;
  axis.Recompute();
}

bool LoadIntoSavedScope(const SignalFile& file, const char* fileName, const char* fileTitle, int* scopeIndex) {
  int index = 0;
  CSavedScope* scope = FirstFreeSavedScope(&index);
  if (!scope) return false;
  if (scopeIndex) *scopeIndex = index;
  if (file.m_nChannelsStored == 0) return true;  // nothing to load, and that is no failure

  scope->RemoveAllSignals();
  scope->m_bPair = index == 1 ? 1 : 0;
  scope->m_dSampleRate = file.m_nSampleRate;
  scope->m_bAngleMode = file.m_bAngleMode;
  scope->m_nTriggerSource = file.m_nTriggerSource;
  scope->m_nTriggerEdge = file.m_nTriggerEdge;
  scope->m_nSweep = file.m_nSweep;
  scope->m_nTriggerFilter = file.m_nTriggerFilter;
  scope->m_dTriggerLevel = file.m_dTriggerLevel;
  scope->m_nTriggerUnit = file.m_nTriggerUnit;
  scope->m_nModeSelector = file.m_nModeSelector;
  scope->m_bModeSelectorFlag = file.m_bModeSelectorFlag;
  scope->m_bRollMode = file.m_bModeSelectorFlag != 0;
  scope->m_bTriggerChannelMissing = file.TriggerChannelMissing();
  scope->m_bOlderFormat = file.m_bOlderFormat ? 1 : 0;
  SetTitle(*scope, fileName);
  SetComment(*scope, fileTitle);

  for (int ch = 0; ch < 2; ++ch) {
    const SignalChannel& source = file.m_Channels[static_cast<size_t>(ch)];
    if (!source.m_bPresent) continue;
    CSavedSignal* signal = AddSignal(*scope, ch);
    const int slot = signal->m_nKind;
    const int count = static_cast<int>(source.m_Points.size());
    signal->SetSize(count);
    for (int k = 0; k < count; ++k)
      signal->SetPoint(k, source.m_Points[static_cast<size_t>(k)].m_dValue, source.m_Points[static_cast<size_t>(k)].m_nFlag);
    signal->m_bValid = 1;
    signal->m_bShowLevel1 = source.m_bClipNote1;
    signal->m_bShowLevel2 = source.m_bClipNote2;
    signal->m_dMin = source.m_dMin;
    signal->m_dMax = source.m_dMax;
    signal->m_dPerDivision = source.m_dPerDivision;
    signal->m_dFullScale = source.m_dFullScale;
    signal->m_nCoupling = source.m_nCoupling;
    signal->m_nUnit = source.m_nUnit;
    signal->m_nPosition = source.m_nPosition;
    signal->m_crColor = GetSchemeColor(kTraceColorBase + slot);
    signal->m_crFill = AdjustColor(signal->m_crColor, kFillLightening);
    signal->m_nStyle = kSavedTraceStyle;
    // The slot's axis at the saved position; the slot's level record is shown, so its thumb can be
    // grabbed.
    CScale& axis = GetOscScale().m_Vertical[COscScale::AXIS_C + slot];
    PlaceSavedSignalAxis(axis, source.m_dPerDivision, source.m_nPosition);
    signal->m_pScale = &axis;
    GetGlobalProps().m_Styles[GlobalProps::STYLE_SAVED_C + slot].m_nFlags |= 1;
  }
  scope->m_bEmpty = 0;
  return true;
}

}  // namespace scope
