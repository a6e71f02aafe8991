// The rules of the scope's data path that need no window: how a data record from the acquisition
// thread is routed (sent code, posted follow-up), the texts of measurement statuses, the error
// log, the bounded silent restarts after read failures and the pre-trigger share of mode 2.
#pragma once

#include <scope/ScopeNotify.h>

#include <platform/afx.h>

#include <string>

namespace scope {

// WM_OSCMEASURE codes.
enum OscMeasureCode : int {
  OSC_REPAINT_STRIPS = 24,
  OSC_RUN_ENDED = 25,
  OSC_LAST_RECORD = 27,
  OSC_RECORD = 28,
  OSC_QUERY_SETTINGS = 29,
  OSC_MESSAGE = 34,
  OSC_ERROR = 36,
};

// How OnOscData hands a record to the GUI: the code it sends, then what it posts. With
// `postByAnswer` the post is 24 and the result 1 when the answer is non-zero, else 25 and 0;
// otherwise `post` and `result` hold as given.
struct OscDataRoute {
  int send = OSC_RECORD;
  bool postByAnswer = false;
  int post = OSC_REPAINT_STRIPS;
  int result = 1;
};
OscDataRoute RouteOscData(int autosetMark, int acquisitionMode, int triggerMode);


inline constexpr const char kOscErrorLogName[] = "ErrorOscMsg.log";
inline constexpr const char kOscErrorBoxText[] =
    "Error communication with hardware.\n(Cannot set or read any params from hardware.)\n\nYou can try again "
    "press \"Run\" button of oscilloscope.\n\nMore info about this error is in file \"ErrorOscMsg.log\".";

// One block of the error log: "ERROR: <status text>\nDetails:\n<lines joined by \n>\n" and a rule
// of 46 '-'.
std::string FormatOscErrorLog(int status, const CStringArray& lines);
// Appends the block to the log file; false when the file cannot be opened (the box still shows).
bool AppendOscErrorLog(const char* path, int status, const CStringArray& lines);

// A read failure (status 7) restarts the run silently at most three times in a row; the fourth is
// logged, shown and ends the run. A good record resets the count.
class CReadRestartGuard {
 public:
  static constexpr int kMaxSilentRestarts = 3;
  // True: restart silently. False: treat as an error.
  bool OnReadFailure() { return ++m_nInRow <= kMaxSilentRestarts; }
  void OnGoodRecord() { m_nInRow = 0; }
  int InRow() const { return m_nInRow; }

 private:
  int m_nInRow = 0;
};

// The pre-trigger share of a record in points: trunc(trigger position × record length ÷ 100).
int PreTriggerShare(double triggerPosition, int recordLength);

// The hub's restart on a setting change (settings applied from a snapshot never restart): in a
// rolling mode on a change of the trigger (level, edge, filter, channel), the roll mode, a
// channel's range, mode or switch, or the time base; in mode 0 with "Trig" on the same less the
// roll mode and the channel switches; with "Auto" only on the time base; with "Single" never.
bool RestartsOnSettingChange(notify::Sender sender, notify::Code code, int rollMode, int triggerMode);

// What the hub repaints for a notification code.
enum class HubRepaint {
  None,
  Strips,           // "Bottom", "Top" and "Measures"
  Measures,         // "Measures"
  RedrawAll,        // CWndOsc::RedrawAll
  SavedScopeStrips  // option bits 0x80 / 0x100 by the saved scopes, show, lay out, RedrawAll
};
HubRepaint RepaintForCode(notify::Sender sender, notify::Code code);

}  // namespace scope
