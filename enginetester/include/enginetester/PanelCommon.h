// What the engine-tester panels share: the colours of their title and display buttons, the status
// texts of a reading, the creation of a panel button and the painting of a centred face text. GUI
// thread, except the status texts (any thread).
#pragma once

#include <ui/XPCtrlBtn.h>

#include <platform/afxgdi.h>
#include <platform/afxwin.h>

namespace et {

// Button colours: the title's face is scheme colour 6, a display field's scheme colour 29 with the
// flat look; hot face and background both 0x10000 (the face lightened), frame dark grey.
inline constexpr int kTitleFaceScheme = 6;
inline constexpr int kDisplayFaceScheme = 29;
inline constexpr uint32_t kDisplayStyle = CXPCtrlBtn::kFlat;
inline constexpr COLORREF kHotFace = 0x10000;
inline constexpr COLORREF kFrame = RGB(80, 80, 80);
// Text colours: scheme colour 8 for titles, 13 for the captions of choice buttons.
inline constexpr int kTitleTextScheme = 8;
inline constexpr int kCaptionTextScheme = 13;

// The face a panel button gets.
enum class Face { Title, Display, Plain };

// Status of a reading (the data object's statuses and the board's): 2 "no sensor", 3 "Bad probe",
// 4 "No response", anything else "Error", in the current language.
const char* StatusText(int status);

// Sets the button's colours by face, makes the owner its drawing and click callback and creates
// it as a child of the owner with an empty rectangle. FALSE when the window could not be made.
BOOL CreatePanelButton(CXPCtrlBtn& button, CWnd* owner, LPCSTR name, UINT id, Face face, BOOL visible,
                       CXPCtrlBtn::IDrawClbck* draw, CXPCtrlBtn::IBtnClbck* click);

// Draws the text (Windows-1252) in the font and colour, transparently, single line, with the
// format's alignment (DT_CENTER / DT_RIGHT, DT_VCENTER / DT_BOTTOM); the DC's font, colour and
// background mode are restored.
void DrawFaceText(CDC* dc, const RECT& rect, LPCSTR text, CFont* font, COLORREF color, UINT format);

// Recreates the font as bold Arial of the height (negative: character height) in the language's
// character set.
void MakePanelFont(CFont& font, int height);

// The largest character height, at most `height`, at which the text in the bold Arial of
// MakePanelFont fits the box on one line (its extent no wider and no higher than the box); at
// least 1.
int FittingFontHeight(CDC* dc, LPCSTR text, int height, CSize box);

}  // namespace et
