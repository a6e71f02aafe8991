// CRepeatCtrl: the program's spin control, a rounded value field showing one number with two
// arrow buttons that step it, once per click and repeatedly while an arrow is held. The value,
// its limits, its steps and its precision live in one NumericOptionRecord; the owner keeps the
// record and hears of every change through IScrollClbck. The arrows are two CVisualItemBtn items
// painted by CVisualDrawArrow; their layout and polygons are pure integer geometry below.
#pragma once

#include <ui/HotItems.h>
#include <ui/OptionData.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxwin.h>

// ------------------------------------------------------------------------------------------------
// Arrow geometry

// The rectangles of arrow item 0 and item 1 in a client rectangle. orientation 0: item 0 up,
// item 1 down, at the right; 1: item 0 left, item 1 right, at the two ends, or grouped round the
// centre with `grouped` (option 0x2).
struct ArrowPair {
  RECT first;
  RECT second;
};
ArrowPair LayoutArrows(const RECT& client, int orientation, bool grouped);

// The box an arrow is drawn in: the item rectangle (moved by (1, 1) when pressed) shrunk by 3,
// made odd along its longer side, half as deep plus one, centred on the item.
RECT ArrowBox(const RECT& item, int state);
// The three points of the arrow in its box; direction 0 up, 1 down, 2 left, 3 right (-1 = up).
struct ArrowPolygon {
  POINT p[3];
};
ArrowPolygon ArrowPoints(const RECT& box, int direction);

// The default text of the value field: the value with the record's decimals ("%.<decimals>f").
CString FormatOptionValue(const NumericOptionRecord& record);

// ------------------------------------------------------------------------------------------------
// CVisualItemBtn: a button item (the arrows of the repeat control)

class CVisualItemBtn : public CVisualItem {
 public:
  class IClbck {
   public:
    virtual void OnItemClick(POINT* point, BOOL repeat, CVisualItemBtn* item) = 0;

   protected:
    ~IClbck() = default;
  };
  // The item's two brushes, handed to a painter.
  struct Brushes {
    CBrush* brush = nullptr;
    CBrush* pressedBrush = nullptr;
  };
  class IDraw {
   public:
    virtual void Draw(CDC* dc, CVisualItem* data, Brushes* brushes, CVisualItemBtn* item) = 0;

   protected:
    ~IDraw() = default;
  };

  // Through the painter when set; else a divider line (look 0 vertical, 1 horizontal) or a
  // button face with its edge and image.
  void Draw(CDC* dc) override;
  // Forwards to IClbck (arg: repeat).
  void OnClick(POINT* point, int repeat) override;

  RECT rect2{0, 0, 0, 0};
  int look = -1;  // -1 button, 0 vertical divider, 1 horizontal divider
  Brushes brushes;
  int image = -1;
  int hotImage = -1;
  CImageList* imageList = nullptr;
  IClbck* clbck = nullptr;
  IDraw* painter = nullptr;
};

// The arrow painter.
class CVisualDrawArrow : public CVisualItemBtn::IDraw {
 public:
  void Draw(CDC* dc, CVisualItem* data, CVisualItemBtn::Brushes* brushes, CVisualItemBtn* item) override;

  int direction = 0;  // 0 up, 1 down, 2 left, 3 right; -1 counts as 0
};

// ------------------------------------------------------------------------------------------------
// CRepeatCtrl

class CRepeatCtrl : public CWnd, public CVisualItemBtn::IClbck, public OptionData, public IToolkitPaint {
 public:
  static constexpr const char* kClassName = "RepeatCtrl";
  enum : uint32_t {
    kFlat = 0x1,     // no shadow, darker outline
    kGrouped = 0x2,  // horizontal: arrows grouped round the centre
  };
  enum : UINT_PTR { kTimerFirst = 1, kTimerRepeat = 2 };

  class IScrollClbck {
   public:
    virtual void OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) = 0;

   protected:
    ~IScrollClbck() = default;
  };
  class IDrawClbck {
   public:
    // Draws the value field instead of the default text.
    virtual void Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) = 0;

   protected:
    ~IDrawClbck() = default;
  };

  CRepeatCtrl();
  ~CRepeatCtrl() override;

  BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  using CWnd::Create;
  // Copies the whole record into the control; owners then call Redraw.
  void InitOptionFromRecord(const NumericOptionRecord* source);
  // Paints at once through a window DC and an off-screen DC.
  void Redraw();
  // Stores the flag in the record, enables or disables the window; no arrows while disabled.
  void Enable(BOOL enable, BOOL redraw);
  // Directions, painters and brushes of the two items from the orientation; the next paint lays
  // the arrows out again.
  void SetArrowLayout();
  // Reports the record to the owner's IScrollClbck, as after a change.
  void ReportValue();
  void PaintNow(CDC* dc) override;

  // A click of an arrow: steps the value of the active arrow's direction.
  void OnItemClick(POINT* point, BOOL repeat, CVisualItemBtn* item) override;

  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnCancelMode() override;
  void OnCaptureChanged(CWnd* newCapture) override;
  void OnTimer(UINT_PTR id) override;

  BOOL autoRepeat = TRUE;
  UINT firstDelay = 500;
  UINT repeatPeriod = 200;
  BOOL dragMode = FALSE;
  RECT pressedRect{0, 0, 0, 0};  // screen coordinates
  NumericOptionRecord record;
  IScrollClbck* scrollClbck = nullptr;
  IDrawClbck* drawClbck = nullptr;
  CVisualItemBtn* item[2];
  int active = -1;  // the pressed or hot arrow
  int state = 0;    // 0 none, 1 pressed, 2 hot
  CRect rcClient;   // at the last paint; the value field
  int repeatCount = 0;
  CBrush faceBrush;
  CBrush arrowHotBrush;
  CBrush arrowBrush;
  CBrush shadowBrush;
  CPen outlinePen;
  CPen shadowPen;
  COLORREF face;
  COLORREF back;
  COLORREF arrow;
  CVisualItemBtn items[2];
  CVisualDrawArrow painters[2];
  int orientation = 0;  // 0 vertical (up, down), 1 horizontal (left, right)
  POINT pressPoint{0, 0};
  POINT lastPoint{0, 0};
  CFont valueFont;
  HCURSOR hoverCursor;

 private:
  int HitArrow(POINT p) const;
  // Kills both timers, releases the capture, clears the arrow's look.
  void Stop();
  void HoverMove(POINT p);
};

// Copies the record into the control's own record.
inline void InitOptionFromRecord(CRepeatCtrl* control, const NumericOptionRecord* source) {
  control->InitOptionFromRecord(source);
}
