// Drawing: device contexts, pens, brushes, fonts, bitmaps, image lists and icons, with the Windows
// pixel conventions the program's painting code is written for:
//   - FillRect covers [left, right) x [top, bottom);
//   - Rectangle, RoundRect and Ellipse draw their outline inside [left, right-1] x [top, bottom-1];
//   - LineTo draws up to, but not including, the end point;
//   - 1-pixel lines lie on pixel centres and are crisp;
//   - a fresh DC has a white brush, a black pen, the system font, black text on an opaque white
//     background, MM_TEXT and no clipping beyond its surface;
//   - SelectObject returns the object it replaced.
// Texts are byte strings in the code page of the selected font's character set; "&" is drawn as it
// is (no mnemonic prefixes). Colours are COLORREF 0x00BBGGRR.
//
// Handles are opaque 32-bit values from the platform's handle table; a deleted handle fails
// cleanly. Deleting an object that is still selected into a DC is harmless: the DC keeps using it
// until something else is selected.
#pragma once

#include <platform/codepage.h>
#include <platform/geometry.h>
#include <platform/types.h>

typedef uint32_t HDC;
typedef uint32_t HGDIOBJ;
typedef uint32_t HPEN;
typedef uint32_t HBRUSH;
typedef uint32_t HFONT;
typedef uint32_t HBITMAP;
typedef uint32_t HRGN;
typedef uint32_t HICON;
typedef uint32_t HCURSOR;
typedef uint32_t HIMAGELIST;

// Colours.
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFFu
#define CLR_NONE 0xFFFFFFFFu

// Stock objects.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

// Object types (GetObjectType).
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_MEMDC 10

// Pen styles. Dotted and dashed pens keep their pattern at every width (scaled by the width).
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_NULL 5

// Background modes, map modes.
#define TRANSPARENT 1
#define OPAQUE 2
#define MM_TEXT 1
#define MM_LOMETRIC 2  // 0.1 mm per logical unit, y grows upwards

// Region results (clipping).
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RGN_ERROR ERROR

// Raster operations. SRCAND then SRCPAINT draws a picture over its mask (the mask's white keeps
// what was there, the picture's black adds nothing).
#define SRCCOPY 0x00CC0020u
#define SRCPAINT 0x00EE0086u
#define SRCAND 0x008800C6u
#define SRCINVERT 0x00660046u
#define NOTSRCCOPY 0x00330008u
#define DSTINVERT 0x00550009u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

// Font creation.
#define LF_FACESIZE 32
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define OUT_DEFAULT_PRECIS 0
#define OUT_STRING_PRECIS 1
#define OUT_CHARACTER_PRECIS 2
#define CLIP_DEFAULT_PRECIS 0
#define CLIP_CHARACTER_PRECIS 1
#define DEFAULT_QUALITY 0
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0

struct LOGFONT {
  LONG lfHeight;  // < 0: character (em) height; > 0: cell height (ascent + descent); 0: default
  LONG lfWidth;
  LONG lfEscapement;  // text angle, tenths of a degree, counter-clockwise
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;  // picks the code page the text bytes are read in
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];
};
typedef LOGFONT* LPLOGFONT;

struct TEXTMETRIC {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};
typedef TEXTMETRIC* LPTEXTMETRIC;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

struct ICONINFO {
  BOOL fIcon;
  DWORD xHotspot;
  DWORD yHotspot;
  HBITMAP hbmMask;   // optional: black = opaque, anything else = transparent
  HBITMAP hbmColor;  // 32-bit colour; its alpha is used when it has one
};

// DrawText formats.
#define DT_TOP 0x00000000u
#define DT_LEFT 0x00000000u
#define DT_CENTER 0x00000001u
#define DT_RIGHT 0x00000002u
#define DT_VCENTER 0x00000004u
#define DT_BOTTOM 0x00000008u
#define DT_WORDBREAK 0x00000010u
#define DT_SINGLELINE 0x00000020u
#define DT_NOCLIP 0x00000100u
#define DT_CALCRECT 0x00000400u
#define DT_NOPREFIX 0x00000800u
#define DT_END_ELLIPSIS 0x00008000u
#define DT_PATH_ELLIPSIS 0x00004000u
#define DT_WORD_ELLIPSIS 0x00040000u

// DrawEdge.
#define BDR_RAISEDOUTER 0x0001u
#define BDR_SUNKENOUTER 0x0002u
#define BDR_RAISEDINNER 0x0004u
#define BDR_SUNKENINNER 0x0008u
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define EDGE_ETCHED (BDR_SUNKENOUTER | BDR_RAISEDINNER)
#define EDGE_BUMP (BDR_RAISEDOUTER | BDR_SUNKENINNER)
#define BF_LEFT 0x0001u
#define BF_TOP 0x0002u
#define BF_RIGHT 0x0004u
#define BF_BOTTOM 0x0008u
#define BF_TOPLEFT (BF_TOP | BF_LEFT)
#define BF_BOTTOMRIGHT (BF_BOTTOM | BF_RIGHT)
#define BF_RECT (BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM)

// System colours: one fixed classic scheme (every index 0..30; others give black).
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_DESKTOP COLOR_BACKGROUND
#define COLOR_ACTIVECAPTION 2
#define COLOR_INACTIVECAPTION 3
#define COLOR_MENU 4
#define COLOR_WINDOW 5
#define COLOR_WINDOWFRAME 6
#define COLOR_MENUTEXT 7
#define COLOR_WINDOWTEXT 8
#define COLOR_CAPTIONTEXT 9
#define COLOR_ACTIVEBORDER 10
#define COLOR_INACTIVEBORDER 11
#define COLOR_APPWORKSPACE 12
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
#define COLOR_BTNFACE 15
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_BTNSHADOW 16
#define COLOR_3DSHADOW COLOR_BTNSHADOW
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_INACTIVECAPTIONTEXT 19
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DHIGHLIGHT COLOR_BTNHIGHLIGHT
#define COLOR_3DHILIGHT COLOR_BTNHIGHLIGHT
#define COLOR_BTNHILIGHT COLOR_BTNHIGHLIGHT
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22
#define COLOR_INFOTEXT 23
#define COLOR_INFOBK 24
#define COLOR_HOTLIGHT 26
#define COLOR_GRADIENTACTIVECAPTION 27
#define COLOR_GRADIENTINACTIVECAPTION 28
#define COLOR_MENUHILIGHT 29
#define COLOR_MENUBAR 30

// Device capabilities.
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define PHYSICALWIDTH 110
#define PHYSICALHEIGHT 111
#define PHYSICALOFFSETX 112
#define PHYSICALOFFSETY 113
#define DT_RASDISPLAY 1
#define DT_RASPRINTER 2

// Image lists.
#define ILC_MASK 0x0001u
#define ILC_COLOR24 0x0018u
#define ILC_COLOR32 0x0020u
#define ILD_NORMAL 0x0000u
#define ILD_TRANSPARENT 0x0001u

extern "C" {

// Device contexts. CreateCompatibleDC(0) makes a memory DC compatible with the screen; it starts
// with a 1x1 bitmap selected.
PLATFORM_API HDC CreateCompatibleDC(HDC dc);
PLATFORM_API BOOL DeleteDC(HDC dc);
PLATFORM_API int GetDeviceCaps(HDC dc, int index);

// Objects.
PLATFORM_API HPEN CreatePen(int style, int width, COLORREF color);
PLATFORM_API HBRUSH CreateSolidBrush(COLORREF color);
PLATFORM_API HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                              DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                              DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
PLATFORM_API HFONT CreateFontIndirect(const LOGFONT* lf);
PLATFORM_API HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// 32 bits per pixel only: rows top-down, each pixel B, G, R, A bytes (A = 0 everywhere: opaque).
PLATFORM_API HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
PLATFORM_API HRGN CreateRectRgn(int left, int top, int right, int bottom);
PLATFORM_API HGDIOBJ GetStockObject(int index);
PLATFORM_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);  // regions: see SelectClipRgn
PLATFORM_API BOOL DeleteObject(HGDIOBJ obj);
PLATFORM_API DWORD GetObjectType(HGDIOBJ obj);
// Bitmaps fill a BITMAP, fonts a LOGFONT; returns the bytes written, 0 on failure.
PLATFORM_API int GetObject(HGDIOBJ obj, int size, LPVOID out);
PLATFORM_API HGDIOBJ GetCurrentObject(HDC dc, UINT type);
PLATFORM_API COLORREF GetSysColor(int index);
// One pixel; CLR_INVALID outside the clip and on a printer DC.
PLATFORM_API COLORREF GetPixel(HDC dc, int x, int y);
PLATFORM_API COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

// State. SaveDC keeps the selected pen, brush and font, colours, modes, origins, clipping and
// current position (the selected bitmap stays as it is).
PLATFORM_API int SaveDC(HDC dc);
PLATFORM_API BOOL RestoreDC(HDC dc, int saved);  // -1: the last saved state
PLATFORM_API int SetMapMode(HDC dc, int mode);
PLATFORM_API int GetMapMode(HDC dc);
PLATFORM_API BOOL SetWindowOrgEx(HDC dc, int x, int y, LPPOINT old);
PLATFORM_API BOOL GetWindowOrgEx(HDC dc, LPPOINT org);
PLATFORM_API BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT old);
PLATFORM_API BOOL GetViewportOrgEx(HDC dc, LPPOINT org);
PLATFORM_API BOOL LPtoDP(HDC dc, LPPOINT points, int count);
PLATFORM_API BOOL DPtoLP(HDC dc, LPPOINT points, int count);
PLATFORM_API int SetBkMode(HDC dc, int mode);
PLATFORM_API int GetBkMode(HDC dc);
PLATFORM_API COLORREF SetBkColor(HDC dc, COLORREF color);
PLATFORM_API COLORREF GetBkColor(HDC dc);
PLATFORM_API COLORREF SetTextColor(HDC dc, COLORREF color);
PLATFORM_API COLORREF GetTextColor(HDC dc);

// Clipping. Rectangles in logical units; a region in device units; SelectClipRgn(dc, 0) removes
// the clipping that IntersectClipRect and SelectClipRgn added.
PLATFORM_API int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
PLATFORM_API int SelectClipRgn(HDC dc, HRGN rgn);
PLATFORM_API int GetClipBox(HDC dc, LPRECT rect);

// Primitives.
PLATFORM_API int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
PLATFORM_API BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
PLATFORM_API BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
PLATFORM_API BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
PLATFORM_API BOOL Polygon(HDC dc, const POINT* points, int count);
PLATFORM_API BOOL Polyline(HDC dc, const POINT* points, int count);
PLATFORM_API BOOL MoveToEx(HDC dc, int x, int y, LPPOINT old);
PLATFORM_API BOOL LineTo(HDC dc, int x, int y);
// The lines of a LineTo to each point in turn, pixel for pixel, in one call; the current
// position ends at the last point.
PLATFORM_API BOOL PolylineTo(HDC dc, const POINT* points, DWORD count);
PLATFORM_API BOOL DrawFocusRect(HDC dc, const RECT* rect);  // dotted, inverting: twice restores
PLATFORM_API BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags);

// Blits. TransparentBlt copies every source pixel except those of the key colour (scaled when
// the sizes differ).
PLATFORM_API BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop);
PLATFORM_API BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                                 int widthSrc, int heightSrc, UINT keyColor);

// Text.
PLATFORM_API int DrawText(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format);
PLATFORM_API BOOL TextOut(HDC dc, int x, int y, LPCSTR text, int count);
PLATFORM_API BOOL GetTextExtentPoint32(HDC dc, LPCSTR text, int count, LPSIZE size);
PLATFORM_API BOOL GetTextMetrics(HDC dc, LPTEXTMETRIC tm);

// Icons.
PLATFORM_API HICON CreateIconIndirect(ICONINFO* info);
PLATFORM_API BOOL DestroyIcon(HICON icon);
PLATFORM_API BOOL DrawIcon(HDC dc, int x, int y, HICON icon);

// Image lists: images of one size, each with its own transparency.
PLATFORM_API HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
PLATFORM_API BOOL ImageList_Destroy(HIMAGELIST list);
// Cuts the bitmap into images of the list's width; pixels of the mask colour become transparent.
// Returns the index of the first new image, -1 on failure.
PLATFORM_API int ImageList_AddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF maskColor);
PLATFORM_API int ImageList_GetImageCount(HIMAGELIST list);
PLATFORM_API BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);

}  // extern "C"
