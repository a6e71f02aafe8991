// Dialog templates: dialogs described as C++ tables in dialog units, registered per module at
// static construction and built into windows by CDialog(id), CDialog::Create(id, parent) and
// CreateDialogIndirect.
//
// Building a template: the dialog window is created (WM_CREATE), then the controls in template
// order (which is also the tab order), each with WM_SETFONT of the template's font, then
// WM_INITDIALOG; the focus goes to the first tab stop unless the dialog answers FALSE.
//
// Dialog units: the font height is -MulDiv(points, 96, 72); the base units come from the font that
// really draws the dialog: bx = (width of "A..Za..z" / 26 + 1) / 2, by = tmHeight. A horizontal
// unit is bx / 4 pixels, a vertical one by / 8 (MulDiv rounding). Windows have no frame here, so
// the template's cx x cy is the client size. Without WS_CAPTION the dialog is an undecorated popup.
#pragma once

#include <platform/controls.h>
#include <platform/gdi.h>
#include <platform/window.h>

#include <vector>

#define DS_ABSALIGN 0x01L
#define DS_SYSMODAL 0x02L
#define DS_3DLOOK 0x0004L
#define DS_FIXEDSYS 0x0008L
#define DS_NOFAILCREATE 0x0010L
#define DS_LOCALEDIT 0x20L
#define DS_CONTROL 0x0400L
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

#define DWLP_DLGPROC 4
#define DWLP_USER 8

typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

namespace kvp {

// One control of a template. `text` is the control's text, or "#<id>" naming an icon resource for
// an SS_ICON static. Coordinates are dialog units in the dialog's client area.
struct DialogItem {
  const char* windowClass;  // "Button", "Static", "Edit", "ScrollBar", "ListBox", "ComboBox",
                            // PROGRESS_CLASS or a registered class
  const char* text;
  int id;
  DWORD style;  // WS_CHILD | WS_VISIBLE are implied
  DWORD exStyle;
  short x, y, cx, cy;
};

struct DialogTemplate {
  DWORD style;  // WS_POPUP or WS_CHILD | DS_CONTROL, WS_CAPTION, WS_SYSMENU, DS_MODALFRAME, DS_CENTER,
                // DS_SETFONT, WS_VISIBLE ...
  DWORD exStyle;
  short x, y, cx, cy;
  const char* caption;
  const char* windowClass;  // null: the dialog class WC_DIALOG
  const char* fontFace;     // with DS_SETFONT; otherwise "MS Shell Dlg" 8
  int fontPoints;
  std::vector<DialogItem> items;
};

// Registers a template under (module, id) for the life of the process (module 0: the program).
PLATFORM_API void RegisterDialogTemplate(HMODULE module, int id, const DialogTemplate* dialog);
// The template of (module, name): the module's own first, then the program's; null when none.
PLATFORM_API const DialogTemplate* FindDialogTemplate(HMODULE module, LPCSTR name);

// The font a template draws with (kept for the life of the process; one per face and size).
PLATFORM_API HFONT DialogTemplateFont(const DialogTemplate& dialog);
// Base units of a font, measured as dialogs measure them.
PLATFORM_API SIZE DialogBaseUnitsOf(HFONT font);
// Dialog units to pixels with the given base units.
PLATFORM_API RECT DialogUnitsToPixels(const RECT& dlu, SIZE baseUnits);

// Builds the template's controls inside an existing window (a dialog, or the child dialog of an
// extension template); returns the base units used.
PLATFORM_API SIZE CreateDialogItems(HWND dialog, const DialogTemplate& dialog_template);

}  // namespace kvp

typedef const kvp::DialogTemplate* LPCDLGTEMPLATE;

extern "C" {
// Creates a modeless dialog from a template: dialogProc answers the dialog's messages first
// (TRUE: handled; the DWLP_MSGRESULT value is the result), DefDlgProc does the rest.
PLATFORM_API HWND CreateDialogIndirect(HINSTANCE instance, LPCDLGTEMPLATE dialog, HWND parent, DLGPROC dialogProc);
PLATFORM_API HWND CreateDialogParam(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC dialogProc, LPARAM init);
// Runs a template dialog modally; the EndDialog value, -1 when it could not be made.
PLATFORM_API INT_PTR DialogBoxIndirect(HINSTANCE instance, LPCDLGTEMPLATE dialog, HWND parent, DLGPROC dialogProc);
PLATFORM_API INT_PTR DialogBoxParam(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC dialogProc, LPARAM init);
PLATFORM_API BOOL EndDialog(HWND dialog, INT_PTR result);
PLATFORM_API BOOL MapDialogRect(HWND dialog, LPRECT rect);
// Base units of the system font: low word horizontal, high word vertical.
PLATFORM_API LONG GetDialogBaseUnits(void);
PLATFORM_API int MulDiv(int number, int numerator, int denominator);
}
