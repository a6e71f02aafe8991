// The program's pane table: every pane of the main window in creation order with its tab, window
// name and child id. Instrument folders replace a stand-in entry with their own when they land.
#pragma once

#include <ui/PaneWnd.h>

PaneTable MakePaneTable();
