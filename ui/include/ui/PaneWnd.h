// IPaneWnd, the interface of every pane on a tab of the main window, and the pane table the
// program hands the main window: one entry per pane with its tab, window name, child id and a
// factory. The main window creates the panes in table order and never knows their classes, so
// the frame stays below the instrument folders.
#pragma once

#include <platform/afxwin.h>

#include <functional>
#include <memory>
#include <vector>

class IPaneWnd {
 public:
  // 0: called once for every pane at the end of the main window's initialisation.
  virtual void Init() = 0;
  // 1: the pane becomes the shown one; previousTab is the tab shown before (-1: none).
  virtual void Activate(int previousTab) = 0;
  // 2: the pane is asked to give way; FALSE keeps it shown and cancels the tab change.
  virtual BOOL Deactivate() = 0;
  // 3: shows (SW_SHOW) or hides (SW_HIDE) the pane's window.
  virtual void Show(BOOL show) = 0;

 protected:
  ~IPaneWnd() = default;
};

// What the main window needs of one pane. The factory makes the pane object (not its window);
// `create` makes the window as a hidden child with an empty rectangle and returns FALSE on failure.
struct PaneEntry {
  int tab = -1;  // 0..9, or -1 for the start screen, which has no tab
  const char* name = "";
  UINT childId = 0;
  std::function<std::unique_ptr<CWnd>()> make;
  std::function<BOOL(CWnd& pane, const char* name, CWnd* parent, UINT id)> create;
  // The scope entry's hot keys (application active: register; inactive: unregister). May be empty.
  std::function<void(CWnd& pane, BOOL active)> hotKeys;
  // The pane's window is the engine-tester window (target of the engine's refusals).
  bool engineTester = false;
};

using PaneTable = std::vector<PaneEntry>;

// The interface of a pane object made by a table entry (null when it has none).
inline IPaneWnd* PaneInterface(CWnd* pane) { return dynamic_cast<IPaneWnd*>(pane); }
