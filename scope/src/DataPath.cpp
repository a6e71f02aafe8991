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
bool OneOf(int code, std::initializer_list<int> codes) {
  for (int c : codes)
    if (c == code) return true;
  return false;
}
}  // namespace

bool RestartsOnSettingChange(int sender, int code, int rollMode, int triggerMode) {
  if (sender == 6) return false;
  if (rollMode != 0) return OneOf(code, {3, 5, 6, 7, 10, 11, 12, 19, 20, 21, 22, 23});
  switch (triggerMode) {
    case 0: return OneOf(code, {3, 6, 7, 10, 11, 12, 19, 20, 23});
    case 1: return code == 23;
    default: return false;
  }
}

HubRepaint RepaintForCode(int sender, int code) {
  if (OneOf(code, {3, 4, 7, 19, 20, 21, 22, 24, 25, 37})) return HubRepaint::Strips;
  if (code == 46) return HubRepaint::Measures;
  if (OneOf(code, {6, 9, 10, 11, 12, 13, 14, 23, 38})) return sender == 6 ? HubRepaint::None : HubRepaint::RedrawAll;
  if (code == 50) return HubRepaint::RedrawAll;
  if (code == 53 || code == 54) return HubRepaint::SavedScopeStrips;
  return HubRepaint::None;
}

}  // namespace scope
