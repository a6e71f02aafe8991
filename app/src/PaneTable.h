// The program's pane table: every pane of the main window in creation order with its tab, window
// name and child id.
#pragma once

#include <ui/PaneWnd.h>

PaneTable MakePaneTable();
