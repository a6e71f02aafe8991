#include <ui/dialogs/DialogResources.h>

#include <platform/afxwin.h>
#include <platform/dialogtemplate.h>

#include <deque>
#include <mutex>
#include <string>

namespace ui_dialogs {

namespace {

// The about box: program icon, name, two lines of notice, an etched rule and OK.
const kvp::DialogTemplate kAbout{
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    0, 0, 0, 235, 84,
    "About Dravix\xAE Scope ...",
    nullptr, "MS Sans Serif", 8,
    {{WC_STATIC, "#133", -1, SS_ICON, 0, 11, 10, 20, 20},
     {WC_STATIC, "Dravix-Scope", -1, SS_LEFT | SS_NOPREFIX, 0, 40, 10, 180, 8},
     {WC_STATIC, "Measuring software for the KV310 board.", -1, SS_LEFT | SS_NOPREFIX, 0, 40, 24, 180, 8},
     {WC_STATIC, "All rights reserved by the makers of the board.", -1, SS_LEFT | SS_NOPREFIX, 0, 40, 36, 180, 8},
     {WC_STATIC, "", -1, SS_ETCHEDHORZ, 0, 7, 54, 221, 1},
     {WC_BUTTON, "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 178, 62, 50, 14}}};

// The message dialog draws everything itself; the frame is placed from the parent at start.
const kvp::DialogTemplate kMessage{
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 186, 95, "", nullptr,
    "MS Sans Serif", 8, {}};

// The notice before an engine test.
const kvp::DialogTemplate kTurnOn{
    WS_POPUP | DS_MODALFRAME | DS_SETFONT | DS_CENTER,
    0, 0, 0, 206, 76, nullptr, nullptr, "Arial", 10,
    {{WC_STATIC, "", IDC_TURNON_TEXT, SS_CENTER, 0, 7, 7, 192, 36},
     {WC_BUTTON, "", IDC_TURNON_CHECK, BS_AUTOCHECKBOX | WS_TABSTOP, 0, 7, 52, 130, 12},
     {WC_BUTTON, "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 149, 52, 50, 16}}};

// The comment editor; the dialog places the edit and its own buttons at start.
const kvp::DialogTemplate kComment{
    WS_POPUP | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 190, 95, nullptr, nullptr, "Arial", 12,
    {{WC_EDIT, "", IDC_COMMENT_EDIT, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
      0, 5, 20, 175, 50}}};

// The report's header texts; the dialog places its own labels, title and buttons at start.
const kvp::DialogTemplate kPrintHeader{
    WS_POPUP | DS_MODALFRAME | DS_SETFONT | DS_CENTER, 0, 0, 0, 190, 75, nullptr, nullptr, "Arial", 10,
    {{WC_EDIT, "", IDC_HEADER_VEHICLE, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 68, 20, 112, 12},
     {WC_EDIT, "", IDC_HEADER_PLATE, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 68, 38, 112, 12}}};

// The print dialog draws all its controls; it places itself on its parent at start.
const kvp::DialogTemplate kPrint{
    WS_POPUP | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT | DS_CENTER, 0, 0, 0, 240, 140, nullptr, nullptr,
    "MS Shell Dlg", 8, {}};

// The custom-settings selection dialogs: ten slot buttons in two columns of five and the file
// button under them. The slots get their captions from the registry at start.
kvp::DialogTemplate SlotTemplate(const char* title, const int (&slots)[10], int fileId, const char* slotText,
                                 const char* fileText) {
  static std::deque<std::string> texts;  // the templates keep pointers to their texts
  kvp::DialogTemplate t{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 186, 124, title,
                        nullptr, "Arial", 10, {}};
  for (int i = 0; i < 10; ++i) {
    texts.push_back(std::string(slotText) + " " + std::to_string(i + 1));
    const short x = static_cast<short>(i < 5 ? 8 : 97), y = static_cast<short>(7 + (i % 5) * 18);
    t.items.push_back({WC_BUTTON, texts.back().c_str(), slots[i], BS_PUSHBUTTON | WS_TABSTOP, 0, x, y, 81, 14});
  }
  t.items.push_back({WC_BUTTON, fileText, fileId, BS_PUSHBUTTON | WS_TABSTOP, 0, 52, 101, 81, 14});
  return t;
}

const kvp::DialogTemplate kCustomLoad =
    SlotTemplate("Load custom settings", kLoadSlotIds, IDC_LOAD_FILE, "Load settings", "Load from file");
const kvp::DialogTemplate kCustomSave =
    SlotTemplate("Save custom params", kSaveSlotIds, IDC_SAVE_FILE, "Save settings", "Save to file");

// The new caption of a custom-settings slot.
const kvp::DialogTemplate kRename{
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 150, 48, "Rename", nullptr, "Arial", 10,
    {{WC_EDIT, "", IDC_RENAME_EDIT, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 7, 7, 136, 14},
     {WC_BUTTON, "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 50, 28, 50, 14}}};

// The file dialog's extension: the standard controls fill the placeholder, the keyboard button
// (hidden until the dialog finds the keyboard program) sits below them.
const kvp::DialogTemplate kFileExtension{
    WS_CHILD | DS_CONTROL | DS_SETFONT | WS_CLIPSIBLINGS, 0, 0, 0, 311, 204, "", nullptr, "MS Shell Dlg", 8,
    {{WC_STATIC, "", IDC_FILE_PLACEHOLDER, SS_LEFT, 0, 3, 1, 305, 147},
     {WC_BUTTON, "", IDC_KEYBOARD, BS_OWNERDRAW | WS_TABSTOP, 0, 18, 150, 34, 27}}};

// The print queue preview draws everything itself; it sizes and places itself at start.
const kvp::DialogTemplate kPrintPreview{
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
    0, 0, 0, 400, 330, nullptr, nullptr, "MS Shell Dlg", 8, {}};

}  // namespace

void RegisterDialogTemplates() {
  static std::once_flag once;
  std::call_once(once, [] {
    kvp::RegisterDialogTemplate(0, IDD_ABOUTBOX, &kAbout);
    kvp::RegisterDialogTemplate(0, IDD_MESSAGE, &kMessage);
    kvp::RegisterDialogTemplate(0, IDD_TURNON, &kTurnOn);
    kvp::RegisterDialogTemplate(0, IDD_COMMENT, &kComment);
    kvp::RegisterDialogTemplate(0, IDD_PRINTHEADER, &kPrintHeader);
    kvp::RegisterDialogTemplate(0, IDD_PRINT, &kPrint);
    kvp::RegisterDialogTemplate(0, IDD_CUSTOM_LOAD, &kCustomLoad);
    kvp::RegisterDialogTemplate(0, IDD_CUSTOM_SAVE, &kCustomSave);
    kvp::RegisterDialogTemplate(0, IDD_RENAME, &kRename);
    kvp::RegisterDialogTemplate(0, IDD_FILE_EXTENSION, &kFileExtension);
    kvp::RegisterDialogTemplate(0, IDD_PRINT_PREVIEW, &kPrintPreview);
  });
}

}  // namespace ui_dialogs
