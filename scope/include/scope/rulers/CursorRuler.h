// COscCursorRuler: the narrow strip beside the scope chart with one arrow thumb per level cursor
// (the level marks of B and A and the marks of the saved signals C to F; the trigger level has
// its own marker on the chart). Dragging a thumb turns its pixel into a value on the record's
// own axis, stores it in the record and tells the owner. The strip keeps its own press / hover
// state and capture instead of a thumb container. Turned horizontal, the same strip carries the
// three time records. GUI thread only.
#pragma once

#include <scope/ScopeNotify.h>

#include <ui/HotItems.h>
#include <ui/PtrArrayAuto.h>

#include <core/TraceStyle.h>

#include <platform/afxwin.h>

// The painter of a cursor thumb: the hot brush while the thumb is hot (when there is one), else
// the thumb's brush, and the arrow polygon of its shape in the thumb's rectangle.
class CVisualDrawHotArrow : public CVisualItemThumb::IDraw {
 public:
  void Draw(CDC* dc, CVisualItemThumb* thumb) override;

  int m_nShape = -1;  // the DrawThumbShape number
  CBrush* m_pHotBrush = nullptr;
};

class COscCursorRuler : public CWnd, public CVisualItemThumb::IClbck, public scope::IScopeNotifyTarget {
 public:
  static constexpr const char* kClassName = "QUENTIX_COscCursorRuler";
  static constexpr notify::Sender kSenderId = notify::kFromCursorRuler;
  enum : int { kVertical = 0, kHorizontal = 1 };
  // A vertical strip's thumb reaches this far above and below its level. Item kinds 0, 4 and 6
  // take the left half of the strip, 1, 3 and 5 the right half, 2 and above 6 the full width.
  enum : int { kHalfHeight = 6 };

  // The owner hears of every record a drag changed.
  class IClbckCursor {
   public:
    virtual void OnCursorChanged(CursorRecord* record, COscCursorRuler* ruler) = 0;  // 0

   protected:
    ~IClbckCursor() = default;
  };

  // One thumb: the record it shows and the item kind that places it.
  class CursorData : public CVisualItemThumb {
   public:
    CursorData() { painter = &m_Arrow; }

    CVisualDrawHotArrow m_Arrow;
    CBrush m_brNormal;  // the record's colour
    CBrush m_brHot;     // the record's colour lightened by 40
    int m_nKind = -1;
    CursorRecord* m_pRecord = nullptr;
  };

  COscCursorRuler();
  ~COscCursorRuler() override;

  // Registers the window class once and creates the strip.
  BOOL Create(LPCSTR name, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  using CWnd::Create;

  // Appends a thumb for the record; its index, or -1 (nothing kept) when it cannot be stored.
  int AddCursor(CursorRecord* record, int kind);
  // Vertical: the level marks of B and A and the saved-signal marks C..F (item kinds 0, 1, 3..6);
  // horizontal: the three time records (kinds 0, 1, 2).
  void CreateCursorItems();
  // Paints at once through a client DC and an off-screen DC.
  void Redraw();
  // Places and draws every shown thumb whose value lies in its axis's visible span.
  void Paint(CDC* dc);
  // The thumb's rectangle from its record's value; the thumb of a record it cannot place gets an
  // empty rectangle, so it cannot be grabbed either.
  void PlaceItem(CursorData* item);
  // The value at the pixel on the record's axis; 0 (nothing changes) without an axis, for the
  // record's own value or outside the visible span; else stores it when apply and returns 1.
  BOOL MoveCursorTo(CursorData* item, int pixel, BOOL apply);
  // The first thumb, in list order, under the point whose record is shown; -1.
  int HitTest(POINT point);

  void OnSystemNotify(notify::Sender sender, notify::Code code, int param) override;

  // The thumbs report through the strip.
  void OnClick(POINT* point, CVisualItemThumb* thumb) override;
  void OnDrag(POINT* from, POINT* to, CVisualItemThumb* thumb) override;
  void OnDragEnd(POINT* from, POINT* to, CVisualItemThumb* thumb) override;

  CursorData* GetItem(int index) const { return m_Items.GetAt(index); }
  int GetCount() const { return m_Items.GetSize(); }

  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnCancelMode() override;

  IClbckCursor* m_pClbck = nullptr;
  HCURSOR m_hCursorVertical;    // over the thumbs of a vertical strip
  HCURSOR m_hCursorHorizontal;  // over the thumbs of a horizontal strip
  HCURSOR m_hCursorDefault;
  int m_nHot = -1;    // hot or pressed thumb
  int m_nState = 0;   // 0 none, 1 pressed, 2 hover
  BOOL m_bDraggable = FALSE;
  RECT m_rcPressed{0, 0, 0, 0};
  RECT m_rcClient{0, 0, 0, 0};
  CBrush m_brBackground;
  int m_nOrientation = kHorizontal;
  int m_nLastDrag = -1;
  POINT m_ptPress{0, 0};
  POINT m_ptCurrent{0, 0};
  POINT m_ptPrevious{0, 0};
  CPtrArrayAuto<CursorData> m_Items;
  CFont m_fontLabel;

 private:
  void OnThumbMoved(POINT* from, POINT* to);
  void DrawItemNow(int index);
  void TakeCapture();
  void LetCaptureGo();
  // The end of a press or a hover: capture released, state 0, the thumb repainted, none active.
  void EndPress();
};
