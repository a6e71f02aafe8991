// The dialog templates of the program's own dialogs (about box, notice, message, comment, print
// and settings dialogs), in dialog units, and the resource ids the dialogs use. Every dialog
// registers the templates before it is built, so a program that links only some of them still
// finds each template.
#pragma once

namespace ui_dialogs {

enum TemplateId : int {
  IDD_ABOUTBOX = 100,
  IDD_MESSAGE = 181,
  IDD_TURNON = 195,
  IDD_PRINTHEADER = 199,
  IDD_PRINT = 200,
  IDD_COMMENT = 201,
};

enum ControlId : int {
  IDC_TURNON_TEXT = 1045,
  IDC_TURNON_CHECK = 1042,
  IDC_COMMENT_EDIT = 1050,
  IDC_HEADER_VEHICLE = 1048,
  IDC_HEADER_PLATE = 1044,
};

enum ResourceId : int {
  IDI_PROGRAM = 133,     // the program icon (comes with the main window)
  IDC_CLIENT_CURSOR = 145,  // the shared client-area cursor
};

// Registers every template of this folder once (thread-safe; later calls do nothing).
void RegisterDialogTemplates();

}  // namespace ui_dialogs
