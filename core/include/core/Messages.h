// The program's private window messages (WM_APP + 1000 onwards). The acquisition engine sends two
// of them (the refusal of a high-voltage measurement and the tab switch), so the list lives in the
// core; the main window and every pane include it. All carry lParam 0 unless said.
#pragma once

#include <platform/window.h>

enum : UINT {
  WM_OSCCOMMAND = WM_APP + 1000,        // 0x83E8 scope pane to itself: 0 copy settings and restart, 26 position
  WM_OSCMEASURE = WM_APP + 1001,        // 0x83E9 acquisition thread to scope pane: code in wParam, record in lParam
  WM_SELECTTAB = WM_APP + 1002,         // 0x83EA to the main window: select tab wParam (0..9)
  WM_KVREFUSED = WM_APP + 1003,         // 0x83EB to the engine-tester pane: the board refused (code 34)
  WM_ANALYZERRESET = WM_APP + 1004,     // 0x83EC recorder to record analyzer: finished, reset the view
  WM_ANALYZERNOTIFY = WM_APP + 1005,    // 0x83ED recorder to record analyzer: code (progress) in wParam
  WM_LEAKRESULT = WM_APP + 1006,        // 0x83EE leak-check worker to its panel: result code
  WM_KVBATCH = WM_APP + 1007,           // 0x83EF high-voltage worker to its panel: one batch done
  WM_PRINTITEMCHANGED = WM_APP + 1008,  // 0x83F0 print-queue item to the queue view
  WM_PRINTITEMREMOVE = WM_APP + 1009,   // 0x83F1 print-queue item to the queue view: remove it
};

// The name the leak-check worker uses for its result.
enum : UINT {
  WM_LEAKTEST_DONE = WM_LEAKRESULT,
};

static_assert(WM_OSCCOMMAND == 0x83E8 && WM_PRINTITEMREMOVE == 0x83F1);
