#include <scope/DataPath.h>

#include <core/MeasureStatus.h>
#include <core/ValueArrays.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace scope {

OscDataRoute RouteOscData(int autosetMark, int acquisitionMode, int triggerMode) {
  if (autosetMark == 0 && acquisitionMode == 0) {
    if (triggerMode < 2) return {OSC_RECORD, false, OSC_REPAINT_STRIPS, 1};
    return {OSC_LAST_RECORD, false, OSC_RUN_ENDED, 0};
  }
  return {OSC_RECORD, true, OSC_REPAINT_STRIPS, 1};
}

std::string FormatOscErrorLog(int status, const CStringArray& lines) {
  const CString details = JoinStrings(lines, "\n");
  std::string block = "ERROR: ";
  block += GetMeasureStatusText(status);
  block += "\nDetails:\n";
  block += static_cast<LPCSTR>(details);
  block += "\n";
  block += std::string(46, '-');
  block += "\n";
  return block;
}

bool AppendOscErrorLog(const char* path, int status, const CStringArray& lines) {
  FILE* file = std::fopen(path, "a");
  if (!file) return false;
  const std::string block = FormatOscErrorLog(status, lines);
  const bool ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
  return std::fclose(file) == 0 && ok;
}

int PreTriggerShare(double triggerPosition, int recordLength) {
  const double share = std::trunc(triggerPosition * recordLength / 100.0);
  if (!std::isfinite(share) || share < 0) return 0;
  return share > recordLength ? recordLength : static_cast<int>(share);
}

namespace {
bool OneOf(notify::Code code, std::initializer_list<notify::Code> codes) {
  for (notify::Code c : codes)
    if (c == code) return true;
  return false;
}
}  // namespace

bool RestartsOnSettingChange(notify::Sender sender, notify::Code code, int rollMode, int triggerMode) {
  using namespace notify;
  if (sender == kFromSnapshot) return false;
  if (rollMode != 0)
    return OneOf(code, {kTriggerLevelChanged, kRollModeChanged, kTriggerEdgeChanged, kTriggerFilterChanged,
                        kTriggerChannelChanged, kChannelRangeA, kChannelRangeB, kChannelModeA, kChannelModeB,
                        kChannelOnOffA, kChannelOnOffB, kTimeBaseChanged});
  switch (triggerMode) {
    case 0:
      return OneOf(code, {kTriggerLevelChanged, kTriggerEdgeChanged, kTriggerFilterChanged, kTriggerChannelChanged,
                          kChannelRangeA, kChannelRangeB, kChannelModeA, kChannelModeB, kTimeBaseChanged});
    case 1: return code == kTimeBaseChanged;
    default: return false;
  }
}

HubRepaint RepaintForCode(notify::Sender sender, notify::Code code) {
  using namespace notify;
  if (OneOf(code, {kTriggerLevelChanged, kTriggerModeChanged, kTriggerFilterChanged, kChannelModeA, kChannelModeB,
                   kChannelOnOffA, kChannelOnOffB, kRunStarted, kRunStopped, kChannelShown}))
    return HubRepaint::Strips;
  if (code == kMeasuresChanged) return HubRepaint::Measures;
  if (OneOf(code, {kTriggerEdgeChanged, kZoomChanged, kTriggerChannelChanged, kChannelRangeA, kChannelRangeB,
                   kChannelPositionA, kChannelPositionB, kTimeBaseChanged, kSettingsReplaced}))
    return sender == kFromSnapshot ? HubRepaint::None : HubRepaint::RedrawAll;
  if (code == kRedrawAll) return HubRepaint::RedrawAll;
  if (code == kSavedScopeOpened || code == kSavedScopesCleared) return HubRepaint::SavedScopeStrips;
  return HubRepaint::None;
}

}  // namespace scope
