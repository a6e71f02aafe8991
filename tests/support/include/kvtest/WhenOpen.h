// Checks inside a modal dialog: a test that opens a dialog queues the check first, and it runs in
// the dialog's own message loop once a dialog of the class is the active window.
#pragma once

#include <platform/afxwin.h>
#include <platform/display.h>

#include <gtest/gtest.h>

#include <functional>

namespace kvtest {

// Runs fn on the active dialog of the class, asking again on up to `turns` later loop turns; a
// dialog that never opens is a test failure.
template <class Dialog>
void WhenOpen(std::function<void(Dialog&)> fn, int turns = 50) {
  kvp::headless::RunInLoop([fn, turns] {
    if (auto* dlg = dynamic_cast<Dialog*>(CWnd::FromHandlePermanent(::GetActiveWindow()))) {
      fn(*dlg);
    } else if (turns > 0) {
      WhenOpen<Dialog>(fn, turns - 1);
    } else {
      ADD_FAILURE() << "the dialog did not open";
    }
  });
}

}  // namespace kvtest
