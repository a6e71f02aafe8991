// The dialog templates of the program's own dialogs (about box, notice, message, comment, print
// and settings dialogs), in dialog units, and the resource ids the dialogs use. Every dialog
// registers the templates before it is built, so a program that links only some of them still
// finds each template.
#pragma once

namespace ui_dialogs {

enum TemplateId : int {
  IDD_ABOUTBOX = 100,
  IDD_FILE_EXTENSION = 169,  // the file dialog's keyboard button below the standard controls
  IDD_MESSAGE = 181,
  IDD_CUSTOM_SAVE = 182,
  IDD_CUSTOM_LOAD = 183,
  IDD_RENAME = 186,
  IDD_TURNON = 195,
  IDD_PRINTHEADER = 199,
  IDD_PRINT = 200,
  IDD_COMMENT = 201,
  IDD_PRINT_PREVIEW = 211,
};

enum ControlId : int {
  IDC_TURNON_TEXT = 1045,
  IDC_TURNON_CHECK = 1042,
  IDC_COMMENT_EDIT = 1050,
  IDC_HEADER_VEHICLE = 1048,
  IDC_HEADER_PLATE = 1044,
  IDC_RENAME_EDIT = 1043,
  IDC_FILE_PLACEHOLDER = 1119,  // the standard controls of the file dialog fill it
  IDC_KEYBOARD = 1003,          // starts the on-screen keyboard
};

// The custom-settings slot buttons (slot 1 first) and the file button of both selection dialogs.
// The save dialog's slots 4 and 8 carry the ids 2 and 3 its callers have always used.
inline constexpr int kLoadSlotIds[10] = {1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037};
inline constexpr int kSaveSlotIds[10] = {1027, 1012, 1013, 2, 1017, 1018, 1020, 3, 1024, 1025};
inline constexpr int IDC_LOAD_FILE = 1053;
inline constexpr int IDC_SAVE_FILE = 1019;

enum ResourceId : int {
  IDI_PROGRAM = 133,     // the program icon (comes with the main window)
  IDC_CLIENT_CURSOR = 145,  // the shared client-area cursor
};

// Registers every template of this folder once (thread-safe; later calls do nothing).
void RegisterDialogTemplates();

}  // namespace ui_dialogs
