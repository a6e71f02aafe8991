// The items and selection of a list box, shared by "ListBox" and the list of a "ComboBox".
#pragma once

#include "window/controls/ControlKit.h"

#include <string>
#include <vector>

namespace kvp::win::controls {

struct ListModel {
  struct Item {
    std::string text;
    ULONG_PTR data;
  };
  std::vector<Item> items;
  int cur = -1;

  static bool Handles(UINT msg);
  // The LB_* messages on the items (LB_SETTOPINDEX and the like are left to the window).
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam, bool sorted, bool combo);
  // The next item after `after` (wrapping round) that starts with / equals the text, ignoring case.
  int Find(int after, const char* text, bool exact) const;
  int NextStartingWith(unsigned char ch) const;
};

// The model inside a list window ("ListBox" or the combo box's list).
ListModel* ListModelOf(HWND list);
// Makes the list report to a combo box instead of its parent.
void AttachListToCombo(HWND list, HWND combo);

}  // namespace kvp::win::controls
