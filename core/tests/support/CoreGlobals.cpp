#include <kvtest/CoreGlobals.h>

#include <core/ColorScheme.h>
#include <core/DeviceStartup.h>
#include <core/EngineRecords.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureType.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>
#include <core/OscScale.h>
#include <core/Reg.h>
#include <core/ResourceHolder.h>
#include <core/SavedScope.h>

namespace kvtest {

namespace {

void ResetSettings() {
  GlobalProps& props = GetGlobalProps();
  props.FreeLanguage();
  static_cast<CMeasureProps&>(props) = CMeasureProps();
  for (CTraceStyle& style : props.m_Styles) style = CTraceStyle();
  props.m_bCursorsOn = 1;
  props.m_bRunning = 0;
  props.m_bInitialized = 0;
  props.m_nCurrentTab = 0;
  props.m_nPreviousTab = 0;
  props.m_nShownChannels = 0;
  props.m_bMeasureSwitch = 0;
  SetDeviceStartup(nullptr);
  FreeTraceList();
  // The display record: the settings it was taken with and its two signals.
  OscMeasureRecord& display = GetCursorSettings();
  display.m_nStatus = 0;
  display.m_Settings = CMeasureProps();
  display.m_dExtraValue = 0.0;
  display.m_bTriggered = 0;
  display.m_nTriggerIndex = -1;
  for (CSignalData& signal : display.m_Signal) signal.Reset();
}

void ResetScalesAndLayout() {
  GetOscScale() = COscScale();
  GetTimeStepScale() = CStepScale();
  CStepScale& vertical = GetVerticalGrid();
  vertical = CStepScale();
  vertical.m_nSteps = vertical.m_nCurrentStep = vertical.m_nTicks = 10;
  GetTimeDivisorBase() = 10;

  CResourceHolder& holder = GetResourceHolder();
  holder.m_rcClient = CRect();
  for (HCURSOR& cursor : holder.m_hCursors) cursor = 0;  // they belonged to a display now closed
  holder.m_nZoomType = 0;
  holder.m_strText1.Empty();
  holder.m_strText2.Empty();
  holder.m_bNarrowChart = 1;
  GetCursorScaleRecord() = CursorScaleRecord();
  for (int i = 0; i < kSavedScopeSlots; ++i) GetSavedScopes()[i].RemoveAllSignals();
}

void ResetSharedState() {
  SetSystemNotify(nullptr);
  SetAnalyzerNotify(nullptr);
  MeasureType& preset = GetMeasureType();
  preset.m_nAngleMode = 0;
  preset.m_nSubmode = 1;
  preset.m_bStartRetry = 0;
  preset.m_nMeasureType = 0;
  preset.m_nSegmentCount = 0;
  GetColorScheme().SetDefaults();
  GetRegistryCalls() = RegistryCalls();
  GetMotortesterDevice()->Reset();
}

}  // namespace

void ResetCoreGlobals() {
  ResetPlatformGlobals();
  ResetSettings();
  ResetScalesAndLayout();
  ResetSharedState();
}

}  // namespace kvtest
