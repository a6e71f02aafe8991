// The scope pane's notifications: the senders (its parts) and the codes (what changed) that pass
// through the system sink (<core/Notify.h>, which names the ones that cross panes), and
// IScopeNotifyTarget, a child of the scope pane that takes them. The pane's hub
// (CWndOsc::OnSystemNotify) forwards every notification it receives to its children in a fixed
// order: time ruler, level-marker ruler, chart, control panel, cursor panel, minimize panel.
// Called on the GUI thread only; `sender` is the part that raised the notification, `code` what
// changed and `param` its value (a channel, a cursor's index, a position or 0).
#pragma once

#include <core/Notify.h>

namespace notify {

// The scope's parts as senders. A part ignores what it raised itself, unless it was raised as
// kFromAnyone.
inline constexpr Sender kFromScopePane{1};       // the pane and its hub
inline constexpr Sender kFromChart{2};
inline constexpr Sender kFromTimeRuler{3};
inline constexpr Sender kFromCursorRuler{4};
inline constexpr Sender kFromSnapshot{6};        // settings applied from a record or a file: no restart, no redraw
inline constexpr Sender kFromCursorPanel{7};
inline constexpr Sender kFromScopeRun{8};        // the scope's run as it ends

// The scope's codes. Per-channel codes come in pairs (channel A, then B: Nth(kXA, channel)).
inline constexpr Code kScopeInit{0};             // the pane starts: every part builds its items
inline constexpr Code kTriggerPositionChanged{2};  // value: the new position
inline constexpr Code kTriggerLevelChanged{3};
inline constexpr Code kTriggerModeChanged{4};    // the run restarts
inline constexpr Code kRollModeChanged{5};
inline constexpr Code kTriggerEdgeChanged{6};
inline constexpr Code kTriggerFilterChanged{7};
inline constexpr Code kTimePositionChanged{8};
inline constexpr Code kZoomChanged{9};           // the shown part of the record (zoom, docking)
inline constexpr Code kTriggerChannelChanged{10};
inline constexpr Code kChannelRangeA{11};        // and kChannelRangeB
inline constexpr Code kChannelRangeB{12};
inline constexpr Code kChannelPositionA{13};     // and kChannelPositionB
inline constexpr Code kChannelPositionB{14};
inline constexpr Code kSavedSignalMoved{15};     // saved signals C..F: Nth(kSavedSignalMoved, 0..3)
inline constexpr Code kChannelModeA{19};         // and kChannelModeB
inline constexpr Code kChannelModeB{20};
inline constexpr Code kChannelOnOffA{21};        // and kChannelOnOffB
inline constexpr Code kChannelOnOffB{22};
inline constexpr Code kTimeBaseChanged{23};
inline constexpr Code kNewRecord{26};            // a record was shown; value: the samples dropped
inline constexpr Code kCursorLeftMoved{30};      // value: the cursor's index in the style table
inline constexpr Code kCursorRightMoved{31};
inline constexpr Code kCursorsShown{32};         // the cursors were switched on or off
inline constexpr Code kCursorsPlaced{33};        // the cursors go to their first places
inline constexpr Code kChannelShown{37};         // value: the channel whose shown settings were renewed
inline constexpr Code kSettingsReplaced{38};     // every setting at once (autoset)
inline constexpr Code kPrintChart{40};
inline constexpr Code kSignalFileOpened{41};
inline constexpr Code kShowCursors{45};          // switch the cursors on if they are off
inline constexpr Code kMeasuresChanged{46};
inline constexpr Code kCursorValuesChanged{47};
inline constexpr Code kRedrawAll{50};            // settings loaded, signals inverted, pane docked
inline constexpr Code kStopRecording{51};        // a click on the chart while recording
inline constexpr Code kInversionChanged{52};
inline constexpr Code kSavedScopeOpened{53};
inline constexpr Code kSavedScopesCleared{54};
inline constexpr Code kMinimizeToggled{81};      // the floating pane's panel slid in or out

}  // namespace notify

namespace scope {

class IScopeNotifyTarget {
 public:
  virtual void OnSystemNotify(notify::Sender sender, notify::Code code, int param) = 0;

 protected:
  ~IScopeNotifyTarget() = default;
};

}  // namespace scope
