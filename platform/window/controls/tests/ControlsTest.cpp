// The standard controls driven by injected input: one table per family, plus tooltips, mouse
// leave tracking, the wait cursor and the raster operations.
#include "ControlFixture.h"

#include <platform/resources.h>

#include <cairo.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace hl = kvp::headless;
using namespace kvtest;

namespace {

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dlg.Create(kIdDialog));
    hl::Pump();
  }
  void TearDown() override { SetCursorPosOutside(); }
  void SetCursorPosOutside() {}

  HWND Item(int id) { return dlg.Item(id); }
  void Press(int id) {
    hl::MoveMouseTo(Item(id), dlg.Centre(id));
    hl::PressButton(hl::Button::Left);
  }

  kvp::HeadlessWorld world;
  RecordingDialog dlg;
};

// ------------------------------------------------------------------------------------------------
// Buttons

struct ButtonCase {
  const char* name;
  int id;
  const char* script;  // d press, o move out, i move back in, u release, s Space
  int clicks;
  int check;
};

class ButtonTable : public Controls, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(ButtonTable, ClicksAndChecks) {
  const ButtonCase& c = GetParam();
  HWND h = Item(c.id);
  RECT rc;
  ::GetClientRect(h, &rc);
  for (const char* p = c.script; *p; ++p) {
    switch (*p) {
      case 'd': hl::MoveMouseTo(h, dlg.Centre(c.id)); hl::PressButton(hl::Button::Left); break;
      case 'o': hl::MoveMouseTo(h, POINT{rc.right + 30, rc.bottom + 30}); break;
      case 'i': hl::MoveMouseTo(h, dlg.Centre(c.id)); break;
      case 'u': hl::ReleaseButton(hl::Button::Left); break;
      case 's': ::SetFocus(h); hl::PressKey(VK_SPACE, 0, ' '); break;
    }
  }
  EXPECT_EQ(dlg.Count(c.id, BN_CLICKED), c.clicks);
  EXPECT_EQ(::SendMessage(h, BM_GETCHECK, 0, 0), c.check);
  EXPECT_EQ(::GetCapture(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, ButtonTable,
    ::testing::Values(ButtonCase{"PushClick", IDCANCEL, "du", 1, 0},
                      ButtonCase{"PushDragOutRelease", IDCANCEL, "dou", 0, 0},
                      ButtonCase{"PushDragOutAndBack", IDCANCEL, "doiu", 1, 0},
                      ButtonCase{"PushSpace", IDCANCEL, "s", 1, 0},
                      ButtonCase{"CheckOnce", kIdCheck, "du", 1, BST_CHECKED},
                      ButtonCase{"CheckTwice", kIdCheck, "dudu", 2, BST_UNCHECKED},
                      ButtonCase{"CheckDragOut", kIdCheck, "dou", 0, BST_UNCHECKED},
                      ButtonCase{"CheckSpace", kIdCheck, "s", 1, BST_CHECKED},
                      ButtonCase{"ThreeStateOnce", kIdThree, "du", 1, BST_CHECKED},
                      ButtonCase{"ThreeStateTwice", kIdThree, "dudu", 2, BST_INDETERMINATE},
                      ButtonCase{"ThreeStateRound", kIdThree, "dudus", 3, BST_UNCHECKED},
                      ButtonCase{"RadioClick", kIdGreen, "du", 1, BST_CHECKED},
                      ButtonCase{"GroupBoxIgnoresClicks", kIdGroup, "du", 0, 0}),
    [](const ::testing::TestParamInfo<ButtonCase>& info) { return std::string(info.param.name); });

TEST_F(Controls, RadioGroupIsExclusiveAndArrowsMoveWithinIt) {
  hl::Click(Item(kIdRed), dlg.Centre(kIdRed));
  hl::Click(Item(kIdBlue), dlg.Centre(kIdBlue));
  EXPECT_EQ(::IsDlgButtonChecked(dlg.m_hWnd, kIdRed), BST_UNCHECKED);
  EXPECT_EQ(::IsDlgButtonChecked(dlg.m_hWnd, kIdBlue), BST_CHECKED);
  // Down from the last wraps to the first of the group; up goes back.
  hl::PressKey(VK_DOWN);
  EXPECT_EQ(::GetFocus(), Item(kIdRed));
  EXPECT_EQ(::IsDlgButtonChecked(dlg.m_hWnd, kIdRed), BST_CHECKED);
  EXPECT_EQ(::IsDlgButtonChecked(dlg.m_hWnd, kIdBlue), BST_UNCHECKED);
  hl::PressKey(VK_DOWN);
  EXPECT_EQ(::GetFocus(), Item(kIdGreen));
  hl::PressKey(VK_UP);
  EXPECT_EQ(::GetFocus(), Item(kIdRed));
  EXPECT_EQ(::IsDlgButtonChecked(dlg.m_hWnd, kIdGreen), BST_UNCHECKED);
  EXPECT_EQ(dlg.Count(kIdRed, BN_CLICKED), 3);
}

TEST_F(Controls, OwnerDrawButtonIsSelectedOnlyWhilePressedAndShowsFocus) {
  dlg.draws.clear();
  Press(kIdDraw);
  ASSERT_FALSE(dlg.draws.empty());
  bool selectedSeen = false;
  for (const DrawItem& d : dlg.draws) selectedSeen = selectedSeen || (d.action == ODA_SELECT && (d.state & ODS_SELECTED));
  EXPECT_TRUE(selectedSeen);
  EXPECT_TRUE(dlg.draws.back().state & ODS_FOCUS);
  dlg.draws.clear();
  hl::ReleaseButton(hl::Button::Left);
  ASSERT_FALSE(dlg.draws.empty());
  EXPECT_EQ(dlg.draws.back().action, static_cast<UINT>(ODA_SELECT));
  EXPECT_FALSE(dlg.draws.back().state & ODS_SELECTED);
  EXPECT_TRUE(dlg.draws.back().state & ODS_FOCUS);
  EXPECT_EQ(dlg.Count(kIdDraw, BN_CLICKED), 1);
  // A full repaint asks for the whole item, not selected.
  dlg.draws.clear();
  ::InvalidateRect(Item(kIdDraw), nullptr, TRUE);
  hl::Pump();
  ASSERT_FALSE(dlg.draws.empty());
  EXPECT_EQ(dlg.draws.back().action, static_cast<UINT>(ODA_DRAWENTIRE));
  EXPECT_EQ(dlg.draws.back().state, static_cast<UINT>(ODS_FOCUS));
  // Disabled: drawn as such and deaf to clicks.
  ::EnableWindow(Item(kIdDraw), FALSE);
  ::InvalidateRect(Item(kIdDraw), nullptr, TRUE);
  hl::Pump();
  EXPECT_TRUE(dlg.draws.back().state & ODS_DISABLED);
  hl::Click(Item(kIdDraw), dlg.Centre(kIdDraw));
  EXPECT_EQ(dlg.Count(kIdDraw, BN_CLICKED), 1);
}

// ------------------------------------------------------------------------------------------------
// Edits

std::string Text(HWND h) {
  char buffer[256] = {};
  ::GetWindowText(h, buffer, sizeof buffer);
  return buffer;
}

std::pair<DWORD, DWORD> Sel(HWND h) {
  DWORD a = 0, b = 0;
  ::SendMessage(h, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  return {a, b};
}

void Type(const char* text) {
  for (const char* p = text; *p; ++p) hl::PressKey('A', 0, *p);
}

TEST_F(Controls, EditRefusesTheCharacterPastTheLimitWithMaxText) {
  HWND name = Item(kIdName);
  ::SendMessage(name, EM_LIMITTEXT, 20, 0);
  EXPECT_EQ(::SendMessage(name, EM_GETLIMITTEXT, 0, 0), 20);
  ::SetFocus(name);
  dlg.commands.clear();
  Type("abcdefghijklmnopqrst");
  EXPECT_EQ(dlg.Count(kIdName, EN_CHANGE), 20);
  EXPECT_EQ(dlg.Count(kIdName, EN_MAXTEXT), 0);
  Type("u");
  EXPECT_EQ(Text(name), "abcdefghijklmnopqrst");
  EXPECT_EQ(dlg.Count(kIdName, EN_MAXTEXT), 1);
  EXPECT_EQ(dlg.Count(kIdName, EN_CHANGE), 20);
}

TEST_F(Controls, EditKeepsCodePageBytes) {
  HWND name = Item(kIdName);
  ::SetFocus(name);
  hl::PressKey('M', 0, static_cast<char>(0xB5));
  hl::PressKey('O', 0, static_cast<char>(0xB0));
  const std::string text = Text(name);
  ASSERT_EQ(text.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(text[0]), 0xB5);
  EXPECT_EQ(static_cast<unsigned char>(text[1]), 0xB0);
}

struct EditKeyCase {
  const char* name;
  const char* start;
  UINT vk;
  UINT modifiers;
  std::pair<DWORD, DWORD> caretBefore;  // selection before the key
  std::pair<DWORD, DWORD> selAfter;
  const char* textAfter;
};

class EditKeys : public Controls, public ::testing::WithParamInterface<EditKeyCase> {};

TEST_P(EditKeys, MovesSelectsAndDeletes) {
  const EditKeyCase& c = GetParam();
  HWND name = Item(kIdName);
  ::SetWindowText(name, c.start);
  ::SetFocus(name);
  ::SendMessage(name, EM_SETSEL, c.caretBefore.first, static_cast<LPARAM>(c.caretBefore.second));
  hl::PressKey(c.vk, c.modifiers);
  EXPECT_EQ(Sel(name), c.selAfter);
  EXPECT_EQ(Text(name), c.textAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Edit, EditKeys,
    ::testing::Values(EditKeyCase{"Left", "abc", VK_LEFT, 0, {2, 2}, {1, 1}, "abc"},
                      EditKeyCase{"ShiftLeft", "abc", VK_LEFT, MOD_SHIFT, {2, 2}, {1, 2}, "abc"},
                      EditKeyCase{"LeftCollapsesSelection", "abc", VK_LEFT, 0, {1, 3}, {1, 1}, "abc"},
                      EditKeyCase{"Home", "abc", VK_HOME, 0, {2, 2}, {0, 0}, "abc"},
                      EditKeyCase{"ShiftEnd", "abc", VK_END, MOD_SHIFT, {1, 1}, {1, 3}, "abc"},
                      EditKeyCase{"Backspace", "abc", VK_BACK, 0, {2, 2}, {1, 1}, "ac"},
                      EditKeyCase{"BackspaceAtStart", "abc", VK_BACK, 0, {0, 0}, {0, 0}, "abc"},
                      EditKeyCase{"Delete", "abc", VK_DELETE, 0, {0, 0}, {0, 0}, "bc"},
                      EditKeyCase{"DeleteSelection", "abcd", VK_DELETE, 0, {1, 3}, {1, 1}, "ad"}),
    [](const ::testing::TestParamInfo<EditKeyCase>& info) { return std::string(info.param.name); });

TEST_F(Controls, TabIntoAnEditSelectsAllOfIt) {
  ::SetWindowText(Item(kIdName), "hello");
  ::SetFocus(Item(kIdThree));
  // Three -> Red -> Name (Colour group box and the label are no tab stops).
  hl::PressKey(VK_TAB);
  hl::PressKey(VK_TAB);
  ASSERT_EQ(::GetFocus(), Item(kIdName));
  EXPECT_EQ(Sel(Item(kIdName)), std::make_pair(DWORD{0}, DWORD{5}));
}

TEST_F(Controls, MouseClickAndDragSelect) {
  HWND name = Item(kIdName);
  ::SetWindowText(name, "abcdef");
  RECT rc;
  ::GetClientRect(name, &rc);
  hl::MoveMouseTo(name, POINT{3, rc.bottom / 2});
  hl::PressButton(hl::Button::Left);
  EXPECT_EQ(::GetFocus(), name);
  EXPECT_EQ(Sel(name), std::make_pair(DWORD{0}, DWORD{0}));
  hl::MoveMouseTo(name, POINT{rc.right - 2, rc.bottom / 2});
  hl::ReleaseButton(hl::Button::Left);
  EXPECT_EQ(Sel(name), std::make_pair(DWORD{0}, DWORD{6}));
}

TEST_F(Controls, MultiLineEnterInsertsALineEndAndTheViewFollowsTheCaret) {
  HWND notes = Item(kIdNotes);
  ::SetFocus(notes);
  for (int i = 0; i < 12; ++i) {
    Type("x");
    hl::PressKey(VK_RETURN, 0, '\r');
  }
  EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
  EXPECT_EQ(dlg.oks, 0);  // Enter stayed in the field
  const std::string text = Text(notes);
  EXPECT_EQ(text.substr(0, 3), "x\r\n");
  EXPECT_EQ(::SendMessage(notes, EM_GETLINECOUNT, 0, 0), 13);
  const int first = static_cast<int>(::SendMessage(notes, EM_GETFIRSTVISIBLELINE, 0, 0));
  EXPECT_GT(first, 0);
  EXPECT_EQ(::GetScrollPos(notes, SB_VERT), first);
  hl::PressKey(VK_HOME, MOD_CONTROL);
  EXPECT_EQ(::SendMessage(notes, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(Controls, CaretBlinksOnThePlatformClock) {
  HWND name = Item(kIdName);
  ::SetFocus(name);
  hl::Pump();
  RECT rc;
  ::GetClientRect(name, &rc);
  // The caret is a one-pixel line at the text start while on.
  const int x = 4, y = rc.bottom / 2;
  const COLORREF on = kvp::WindowPixel(name, x, y);
  hl::Advance(530);
  const COLORREF off = kvp::WindowPixel(name, x, y);
  hl::Advance(530);
  EXPECT_EQ(on, RGB(0, 0, 0));
  EXPECT_EQ(off, RGB(255, 255, 255));
  EXPECT_EQ(kvp::WindowPixel(name, x, y), RGB(0, 0, 0));
}

// ------------------------------------------------------------------------------------------------
// Scroll bars

TEST_F(Controls, ScrollBarReportsAndNeverMovesByItself) {
  HWND bar = Item(kIdBar);
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 10, 50, 0};
  ::SetScrollInfo(bar, SB_CTL, &si, TRUE);
  RECT rc;
  ::GetClientRect(bar, &rc);
  struct Step {
    POINT at;
    UINT code;
  };
  const Step steps[] = {{{3, rc.bottom / 2}, SB_LINELEFT},
                        {{rc.right - 3, rc.bottom / 2}, SB_LINERIGHT},
                        {{rc.bottom + 3, rc.bottom / 2}, SB_PAGELEFT},
                        {{rc.right - rc.bottom - 3, rc.bottom / 2}, SB_PAGERIGHT}};
  for (const Step& s : steps) {
    dlg.scrolls.clear();
    hl::Click(bar, s.at);
    ASSERT_EQ(dlg.scrolls.size(), 2u) << s.code;
    EXPECT_EQ(dlg.scrolls[0].msg, static_cast<UINT>(WM_HSCROLL));
    EXPECT_EQ(dlg.scrolls[0].code, s.code);
    EXPECT_EQ(dlg.scrolls[0].bar, bar);
    EXPECT_EQ(dlg.scrolls[1].code, static_cast<UINT>(SB_ENDSCROLL));
    EXPECT_EQ(::GetScrollPos(bar, SB_CTL), 50);
  }
  // Holding an arrow repeats on the clock.
  dlg.scrolls.clear();
  hl::MoveMouseTo(bar, POINT{3, rc.bottom / 2});
  hl::PressButton(hl::Button::Left);
  hl::Advance(400 + 50 * 3);
  hl::ReleaseButton(hl::Button::Left);
  EXPECT_EQ(dlg.scrolls.size(), 1u + 4u + 1u);
  // Dragging the thumb tracks, then gives the position where it was let go.
  dlg.scrolls.clear();
  SCROLLINFO now{sizeof now, SIF_ALL, 0, 0, 0, 0, 0};
  ::GetScrollInfo(bar, SB_CTL, &now);
  const int track = rc.right - 2 * rc.bottom;
  const int thumb = std::max<int>(track * 10 / 101, 8);
  const int thumbStart = rc.bottom + (50 * (track - thumb)) / 91;
  hl::MoveMouseTo(bar, POINT{thumbStart + thumb / 2, rc.bottom / 2});
  hl::PressButton(hl::Button::Left);
  hl::MoveMouseTo(bar, POINT{thumbStart + thumb / 2 + 40, rc.bottom / 2});
  hl::ReleaseButton(hl::Button::Left);
  ASSERT_GE(dlg.scrolls.size(), 3u);
  EXPECT_EQ(dlg.scrolls.front().code, static_cast<UINT>(SB_THUMBTRACK));
  const Scroll& position = dlg.scrolls[dlg.scrolls.size() - 2];
  EXPECT_EQ(position.code, static_cast<UINT>(SB_THUMBPOSITION));
  EXPECT_GT(position.pos, 50);
  EXPECT_EQ(position.pos, dlg.scrolls[dlg.scrolls.size() - 3].pos);
  EXPECT_EQ(dlg.scrolls.back().code, static_cast<UINT>(SB_ENDSCROLL));
  EXPECT_EQ(::GetScrollPos(bar, SB_CTL), 50);
}

TEST_F(Controls, WindowScrollBarTakesItsWidthOffTheClientArea) {
  HWND list = Item(kIdList);
  RECT window, client;
  ::GetWindowRect(list, &window);
  ::GetClientRect(list, &client);
  EXPECT_EQ(client.right, (window.right - window.left) - ::GetSystemMetrics(SM_CXVSCROLL));
  ::ShowScrollBar(list, SB_VERT, FALSE);
  ::GetClientRect(list, &client);
  EXPECT_EQ(client.right, window.right - window.left);
}

// ------------------------------------------------------------------------------------------------
// List and combo boxes

TEST_F(Controls, ListSelectionByKeysAndMouseNotifies) {
  HWND list = Item(kIdList);
  const char* names[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel", "india"};
  for (const char* n : names) ::SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n));
  ::SendMessage(list, LB_SETCURSEL, 0, 0);
  EXPECT_EQ(dlg.Count(kIdList, LBN_SELCHANGE), 0);  // the program's own choice notifies nothing
  ::SetFocus(list);
  struct KeyStep {
    UINT vk;
    char ch;
    int cur;
  };
  const KeyStep steps[] = {{VK_DOWN, 0, 1}, {VK_END, 0, 8}, {VK_HOME, 0, 0}, {'G', 'g', 6}, {VK_UP, 0, 5}};
  int changes = 0;
  for (const KeyStep& s : steps) {
    hl::PressKey(s.vk, 0, s.ch);
    EXPECT_EQ(::SendMessage(list, LB_GETCURSEL, 0, 0), s.cur) << s.vk;
    EXPECT_EQ(dlg.Count(kIdList, LBN_SELCHANGE), ++changes);
  }
  const int itemHeight = static_cast<int>(::SendMessage(list, LB_GETITEMHEIGHT, 0, 0));
  const int top = static_cast<int>(::SendMessage(list, LB_GETTOPINDEX, 0, 0));
  hl::Click(list, POINT{10, 2 + itemHeight / 2});
  EXPECT_EQ(::SendMessage(list, LB_GETCURSEL, 0, 0), top);
  hl::Click(list, POINT{10, 2 + itemHeight / 2});
  EXPECT_EQ(dlg.Count(kIdList, LBN_DBLCLK), 1);
  char text[32] = {};
  ::SendMessage(list, LB_GETTEXT, static_cast<WPARAM>(top), reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, names[top]);
  // The wheel scrolls the view, not the choice.
  ::SendMessage(list, LB_SETTOPINDEX, 0, 0);
  hl::MoveMouseTo(list, POINT{10, 10});
  hl::Wheel(-WHEEL_DELTA);
  EXPECT_EQ(::SendMessage(list, LB_GETTOPINDEX, 0, 0), 3);
  EXPECT_EQ(::SendMessage(list, LB_GETCURSEL, 0, 0), top);
}

TEST_F(Controls, ComboDropsAPopupListAndNotifies) {
  HWND combo = Item(kIdCombo);
  for (const char* n : {"one", "two", "three"}) ::SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n));
  ::SendMessage(combo, CB_SETCURSEL, 0, 0);
  ::SetFocus(combo);
  hl::PressKey(VK_DOWN);
  EXPECT_EQ(::SendMessage(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(dlg.Count(kIdCombo, CBN_SELCHANGE), 1);
  // A click drops the list without taking the activation from the dialog.
  hl::Click(combo, dlg.Centre(kIdCombo));
  EXPECT_TRUE(::SendMessage(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(dlg.Count(kIdCombo, CBN_DROPDOWN), 1);
  EXPECT_EQ(::GetActiveWindow(), dlg.m_hWnd);
  // Escape closes it unchanged, and does not cancel the dialog.
  hl::PressKey(VK_ESCAPE);
  EXPECT_FALSE(::SendMessage(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(dlg.Count(kIdCombo, CBN_CLOSEUP), 1);
  EXPECT_EQ(dlg.cancels, 0);
  EXPECT_EQ(::SendMessage(combo, CB_GETCURSEL, 0, 0), 1);
  // A choice in the list closes it with CBN_SELCHANGE.
  hl::Click(combo, dlg.Centre(kIdCombo));
  RECT fieldRect;
  ::GetWindowRect(combo, &fieldRect);
  HWND popup = ::WindowFromPoint(POINT{fieldRect.left + 10, fieldRect.bottom + 5});
  ASSERT_NE(popup, 0u);
  const int itemHeight = static_cast<int>(::SendMessage(popup, LB_GETITEMHEIGHT, 0, 0));
  hl::Click(popup, POINT{10, 2 + 2 * itemHeight + itemHeight / 2});
  EXPECT_FALSE(::SendMessage(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(::SendMessage(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(dlg.Count(kIdCombo, CBN_SELCHANGE), 2);
  char text[16] = {};
  ::GetWindowText(combo, text, sizeof text);
  EXPECT_STREQ(text, "three");
  // A click outside closes it without a choice.
  hl::Click(combo, dlg.Centre(kIdCombo));
  hl::Click(dlg.m_hWnd, POINT{5, 5});
  EXPECT_FALSE(::SendMessage(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(dlg.Count(kIdCombo, CBN_SELCHANGE), 2);
}

// ------------------------------------------------------------------------------------------------
// Progress

struct ProgressCase {
  int pos;
  int sixths;  // the part of the bar filled
};

class ProgressTable : public Controls, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ProgressTable, FillWidthFollowsThePosition) {
  HWND bar = Item(kIdProgress);
  ::SetWindowLong(bar, GWL_STYLE, ::GetWindowLong(bar, GWL_STYLE) | PBS_SMOOTH);
  ::SendMessage(bar, PBM_SETRANGE, 0, 0x60000);  // 0..6
  EXPECT_EQ(::SendMessage(bar, PBM_GETRANGE, FALSE, 0), 6);
  ::SendMessage(bar, PBM_SETPOS, static_cast<WPARAM>(GetParam().pos), 0);
  ::InvalidateRect(bar, nullptr, FALSE);
  hl::Pump();
  RECT rc;
  ::GetClientRect(bar, &rc);
  const int inner = rc.right - 2;
  int filled = 0;
  for (int x = 1; x < rc.right - 1; ++x) filled += kvp::WindowPixel(bar, x, rc.bottom / 2) == GetSysColor(COLOR_HIGHLIGHT);
  EXPECT_EQ(filled, GetParam().sixths * inner / 6);
}

INSTANTIATE_TEST_SUITE_P(Progress, ProgressTable,
                         ::testing::Values(ProgressCase{0, 0}, ProgressCase{3, 3}, ProgressCase{6, 6},
                                           ProgressCase{9, 6}, ProgressCase{-2, 0}));

TEST_F(Controls, ProgressStepsAndClamps) {
  HWND bar = Item(kIdProgress);
  ::SendMessage(bar, PBM_SETRANGE32, 0, 6);
  ::SendMessage(bar, PBM_SETSTEP, 2, 0);
  ::SendMessage(bar, PBM_STEPIT, 0, 0);
  EXPECT_EQ(::SendMessage(bar, PBM_GETPOS, 0, 0), 2);
  EXPECT_EQ(::SendMessage(bar, PBM_DELTAPOS, 10, 0), 2);  // the old position
  EXPECT_EQ(::SendMessage(bar, PBM_GETPOS, 0, 0), 6);
}

// ------------------------------------------------------------------------------------------------
// Tooltips, mouse leave, wait cursor

class TipDialog : public RecordingDialog {
 public:
  std::vector<NMTTDISPINFOA> asked;
  std::vector<uint64_t> askedAt;
  std::string answer = "Sets the colour";
  BOOL OnNotify(WPARAM, LPARAM lParam, LRESULT* result) override {
    auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
    if (info->hdr.code != TTN_NEEDTEXTA) return FALSE;
    askedAt.push_back(kvp::ClockNowMs());
    asked.push_back(*info);
    // Longer answers are cut to the 80-byte buffer, as the class library's handlers do.
    const size_t n = std::min(answer.size(), sizeof info->szText - 1);
    std::memcpy(info->szText, answer.data(), n);
    info->szText[n] = 0;
    *result = 0;
    return TRUE;
  }
};

TEST(ToolTips, AskedAfterTheRestWithTheChildHandleAndCutToEightyBytes) {
  kvp::HeadlessWorld world;
  TipDialog dlg;
  ASSERT_TRUE(dlg.Create(kIdDialog));
  dlg.EnableToolTips(TRUE);
  dlg.answer = std::string(100, 'x');
  HWND check = dlg.Item(kIdCheck);
  hl::MoveMouseTo(check, POINT{5, 5});
  const uint64_t rested = kvp::ClockNowMs();
  hl::Advance(499);
  EXPECT_TRUE(dlg.asked.empty());
  hl::Advance(1);
  ASSERT_EQ(dlg.asked.size(), 1u);
  EXPECT_EQ(dlg.askedAt[0] - rested, 500u);
  EXPECT_EQ(dlg.asked[0].uFlags & TTF_IDISHWND, static_cast<UINT>(TTF_IDISHWND));
  EXPECT_EQ(dlg.asked[0].hdr.idFrom, static_cast<UINT_PTR>(check));
  EXPECT_EQ(kvp::ShownToolTipText(), std::string(79, 'x'));
  ASSERT_NE(kvp::ShownToolTip(), 0u);
  EXPECT_NE(::GetActiveWindow(), kvp::ShownToolTip());
  // It goes after 5 s, or when the pointer leaves.
  hl::Advance(5000);
  EXPECT_EQ(kvp::ShownToolTip(), 0u);
  hl::MoveMouseTo(dlg.Item(kIdThree), POINT{5, 5});
  hl::Advance(500);
  ASSERT_EQ(dlg.asked.size(), 2u);
  EXPECT_EQ(dlg.asked[1].hdr.idFrom, static_cast<UINT_PTR>(dlg.Item(kIdThree)));
  hl::MoveMouseTo(dlg.m_hWnd, POINT{2, 2});
  EXPECT_EQ(kvp::ShownToolTip(), 0u);
}

class LeaveProbe : public CWnd {
 public:
  int leaves = 0;
  void OnMouseMove(UINT, CPoint) override {
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, m_hWnd, 0};
    ::TrackMouseEvent(&tme);
  }
  void OnMouseLeave() override { ++leaves; }
};

TEST(MouseLeave, ExactlyOneWhenThePointerLeavesAlsoIntoAChild) {
  kvp::HeadlessWorld world;
  WNDCLASS wc{};
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "LeaveProbe";
  AfxRegisterClass(&wc);
  LeaveProbe top;
  top.CreateEx(0, "LeaveProbe", "top", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, 0, 0);
  CWnd child;
  child.Create("LeaveProbe", "child", WS_CHILD | WS_VISIBLE, CRect(100, 100, 150, 150), &top, 1);
  hl::MoveMouseTo(top.m_hWnd, POINT{10, 10});
  hl::MoveMouseTo(top.m_hWnd, POINT{20, 20});
  EXPECT_EQ(top.leaves, 0);
  hl::MoveMouseTo(top.m_hWnd, POINT{120, 120});  // into the child
  hl::MoveMouseTo(top.m_hWnd, POINT{125, 125});
  EXPECT_EQ(top.leaves, 1);
  hl::MoveMouseTo(top.m_hWnd, POINT{10, 10});
  hl::MoveMouse(POINT{600, 600});  // out of every window
  EXPECT_EQ(top.leaves, 2);
  hl::MoveMouse(POINT{610, 610});
  EXPECT_EQ(top.leaves, 2);
}

TEST(WaitCursor, NestedHoldsFromAnyThreadOverrideTheWindowCursor) {
  kvp::HeadlessWorld world;
  RecordingDialog dlg;
  ASSERT_TRUE(dlg.Create(kIdDialog));
  HCURSOR wait = ::LoadCursor(0, IDC_WAIT);
  hl::MoveMouseTo(dlg.m_hWnd, POINT{5, 5});
  EXPECT_NE(::GetCursor(), wait);
  {
    CWaitCursor outer;
    hl::Pump();
    EXPECT_EQ(::GetCursor(), wait);
    std::thread worker([] {
      CWaitCursor inner;
    });
    worker.join();
    hl::Pump();
    EXPECT_EQ(kvp::WaitCursorHolds(), 1);
    hl::MoveMouseTo(dlg.m_hWnd, POINT{6, 6});
    EXPECT_EQ(::GetCursor(), wait);
    dlg.BeginWaitCursor();
    dlg.EndWaitCursor();
    hl::Pump();
    EXPECT_EQ(::GetCursor(), wait);
  }
  hl::Pump();
  EXPECT_EQ(kvp::WaitCursorHolds(), 0);
  EXPECT_NE(::GetCursor(), wait);
}

// ------------------------------------------------------------------------------------------------
// Pixels and raster operations

TEST(RasterOps, PictureOverItsMaskKeepsTheBackgroundWhereTheMaskIsWhite) {
  HDC screen = CreateCompatibleDC(0);
  HDC dst = CreateCompatibleDC(0), pic = CreateCompatibleDC(0), mask = CreateCompatibleDC(0);
  HBITMAP bitmaps[3] = {CreateCompatibleBitmap(screen, 4, 1), CreateCompatibleBitmap(screen, 4, 1),
                        CreateCompatibleBitmap(screen, 4, 1)};
  SelectObject(dst, bitmaps[0]);
  SelectObject(pic, bitmaps[1]);
  SelectObject(mask, bitmaps[2]);
  const COLORREF background = RGB(10, 200, 30);
  for (int x = 0; x < 4; ++x) SetPixel(dst, x, 0, background);
  // Pixels 0-1 are the picture (mask black), 2-3 transparent (mask white, picture black).
  SetPixel(pic, 0, 0, RGB(255, 0, 0));
  SetPixel(pic, 1, 0, RGB(0, 0, 255));
  SetPixel(pic, 2, 0, RGB(0, 0, 0));
  SetPixel(pic, 3, 0, RGB(0, 0, 0));
  for (int x = 0; x < 4; ++x) SetPixel(mask, x, 0, x < 2 ? RGB(0, 0, 0) : RGB(255, 255, 255));
  ASSERT_TRUE(BitBlt(dst, 0, 0, 4, 1, mask, 0, 0, SRCAND));
  ASSERT_TRUE(BitBlt(dst, 0, 0, 4, 1, pic, 0, 0, SRCPAINT));
  EXPECT_EQ(GetPixel(dst, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dst, 1, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dst, 2, 0), background);
  EXPECT_EQ(GetPixel(dst, 3, 0), background);
  ASSERT_TRUE(BitBlt(dst, 0, 0, 4, 1, pic, 0, 0, SRCINVERT));
  EXPECT_EQ(GetPixel(dst, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dst, 3, 0), background);
  EXPECT_EQ(GetPixel(dst, 9, 0), CLR_INVALID);
  for (HDC dc : {dst, pic, mask, screen}) DeleteDC(dc);
  for (HBITMAP b : bitmaps) DeleteObject(b);
}

}  // namespace

namespace {

// Draws the text with the font into a fresh 200x20 picture and returns its pixels.
std::vector<COLORREF> Render(HFONT font, const char* text) {
  HDC dc = CreateCompatibleDC(0);
  HBITMAP bmp = CreateCompatibleBitmap(dc, 200, 20);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  RECT all{0, 0, 200, 20};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HGDIOBJ oldFont = SelectObject(dc, font);
  TextOut(dc, 0, 0, text, static_cast<int>(std::strlen(text)));
  std::vector<COLORREF> pixels;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 200; ++x) pixels.push_back(GetPixel(dc, x, y));
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBmp);
  DeleteObject(bmp);
  DeleteDC(dc);
  return pixels;
}

// "Příliš žluťoučký kůň" in Windows-1250.
constexpr const char kCzech[] = "P\xF8\xED\x6C\x69\x9A \x9E\x6C\x75\x9D\x6F\x75\xE8\x6B\xFD \x6B\xF9\xF2";

TEST(CharacterSet, StockAndDialogFontsDrawInTheActiveLanguagesCodePage) {
  const unsigned before = kvp::ActiveCodePage();
  kvp::SetActiveCodePage(1250);
  HFONT stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LOGFONT lf{};
  GetObject(stock, sizeof lf, &lf);
  lf.lfCharSet = EASTEUROPE_CHARSET;
  HFONT central = CreateFontIndirect(&lf);
  lf.lfCharSet = ANSI_CHARSET;
  HFONT western = CreateFontIndirect(&lf);
  const auto drawn = Render(stock, kCzech);
  EXPECT_EQ(drawn, Render(central, kCzech));
  EXPECT_NE(drawn, Render(western, kCzech));
  kvp::SetActiveCodePage(before);
  EXPECT_EQ(Render(stock, kCzech), Render(western, kCzech));
  DeleteObject(central);
  DeleteObject(western);
}

}  // namespace

namespace {

// Screen text is hinted with whole-pixel advances: a run of one letter is exactly that many
// letter widths, so small dialog text is evenly spaced.
TEST(ScreenText, HintedAdvancesAreWholePixels) {
  HDC dc = CreateCompatibleDC(0);
  HFONT font = CreateFont(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
  HGDIOBJ old = SelectObject(dc, font);
  for (const char* letter : {"i", "V", "/", "d", "v"}) {
    SIZE one{};
    GetTextExtentPoint32(dc, letter, 1, &one);
    ASSERT_GT(one.cx, 0);
    for (int n = 2; n <= 12; ++n) {
      const std::string run(static_cast<size_t>(n), letter[0]);
      SIZE many{};
      GetTextExtentPoint32(dc, run.c_str(), n, &many);
      EXPECT_EQ(many.cx, n * one.cx) << letter << " x" << n;
    }
  }
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
}

}  // namespace

namespace {

// Pictures compiled in with kv_resources (see the test's CMake): a bitmap and a cursor by id.
TEST(Resources, EmbeddedPicturesLoadById) {
  kvp::HeadlessWorld world;
  HBITMAP green = LoadBitmap(0, MAKEINTRESOURCE(700));
  ASSERT_NE(green, 0u);
  BITMAP bm{};
  GetObject(green, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 8);
  HDC dc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(dc, green);
  EXPECT_EQ(GetPixel(dc, 3, 3), RGB(0, 160, 0));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(green);
  HCURSOR cursor = LoadCursor(0, MAKEINTRESOURCE(701));
  ASSERT_NE(cursor, 0u);
  EXPECT_EQ(LoadCursor(0, MAKEINTRESOURCE(701)), cursor);
  cairo_surface_t* picture = nullptr;
  POINT hot{};
  ASSERT_TRUE(kvp::CursorPicture(cursor, &picture, &hot));
  EXPECT_EQ(hot.x, 8);
  EXPECT_EQ(hot.y, 8);
  EXPECT_FALSE(kvp::CursorPicture(LoadCursor(0, IDC_ARROW), &picture, &hot));
  // A module without the cursor has none; a missing bitmap or string fails cleanly.
  EXPECT_EQ(LoadCursor(static_cast<HINSTANCE>(0x1234), MAKEINTRESOURCE(999)), 0u);
  EXPECT_EQ(LoadBitmap(0, MAKEINTRESOURCE(999)), 0u);
  char text[8] = "x";
  EXPECT_EQ(LoadString(0, 999, text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  kvp::RegisterStringResource(0, 998, "Volt\xB5");
  EXPECT_EQ(LoadString(0, 998, text, 4), 3);
  EXPECT_STREQ(text, "Vol");
}

}  // namespace
