// COscTimeRuler: the strip along the scope chart that stands for the whole 1000-point record. A
// window thumb marks the part the chart shows and scrolls it when dragged; three small thumbs
// (CHICCursors) show the left and right time cursors and the trigger position and move them.
// Drags never move a thumb themselves: they change the record, notify, and the notification
// handlers place the thumbs again. GUI thread only.
#pragma once

#include <scope/ScopeNotify.h>

#include <ui/HotItems.h>
#include <ui/OptionData.h>

#include <core/TraceStyle.h>

#include <platform/afxwin.h>

#include <cstdint>

class GlobalProps;

// The ruler's scroll record, set whole by the owner: a linear map from pixels to divisions, the
// shown width and the position of the window thumb in divisions, and the limits of the position.
struct TimeRulerParams {
  int32_t m_nReserved0 = 0;
  double m_dValueFirst = 0.0;   // value at the first pixel (the owner sets minimum)
  double m_dValueLast = 0.0;    // value at the last pixel (the owner sets maximum)
  double m_dPixelFirst = 0.0;
  double m_dPixelLast = 0.0;
  double m_dValuePerPixel = 1.0;
  int32_t m_nShown = 0;           // divisions shown in the chart
  int32_t m_nShownLess1 = -1;     // shown - 1
  int32_t m_nPosition = 0;        // the horizontal offset in divisions
  int32_t m_nMinimum = 0;
  int32_t m_nMaximum = 0;         // the record length in divisions
  int32_t m_nReserved1 = 0;
  int32_t m_nReserved2 = -1;
};

// The three time-record thumbs of the ruler: laid out over the whole record, dragged along it.
class CHICCursors : public CHotItemsContainer, public CVisualItemThumb::IDraw {
 public:
  enum : int { kHalfLeft = 5, kHalfRight = 6 };

  // One thumb and the record it shows.
  class CVICursor : public CVisualItemThumb {
   public:
    CBrush m_brNormal;
    CBrush m_brHot;
    COLORREF m_crColor = 0;
    CursorRecord* m_pRecord = nullptr;
  };

  explicit CHICCursors(CWnd* host);

  // The percent map (0 at the left, 100 at the right) from the container rectangle.
  void RecalcRange() override;
  // One thumb per time record (left cursor, right cursor, trigger position).
  void CreateCursors();
  // Every thumb at its record's value, the record's time axis spread over the whole record.
  void LayoutCursors();
  // Paints a visible thumb and its label.
  void Draw(CDC* dc, CVisualItemThumb* thumb) override;
  using CHotItemsContainer::Draw;
  // The drag rule of a thumb whose anchor would move to pixel x; moves the record, never the
  // thumb.
  void MoveCursor(CVisualItemThumb* thumb, int x);

  CFont m_fontLabel;
  GlobalProps* m_pProps;
  double m_dPercentLeft = 0.0;
  double m_dPercentRight = 100.0;
  double m_dPixelLeft = 0.0;
  double m_dPixelRight = 0.0;
  double m_dPercentPerPixel = 1.0;

 private:
  void MoveTimeCursor(CursorRecord& record, int x);
  void MoveTriggerPosition(CursorRecord& record, int x);
  void Notify(notify::Code code, const CursorRecord& record);
};

class COscTimeRuler : public CWnd,
                      public CVisualItemThumb::IClbck,
                      public OptionData,
                      public CHotItemsContainer::IClbckHotItemsContainer,
                      public scope::IScopeNotifyTarget {
 public:
  static constexpr const char* kClassName = "QUENTIX_COscTimeRuler";
  static constexpr notify::Sender kSenderId = notify::kFromTimeRuler;
  enum : uint32_t { kSnapBack = 0x1 };  // the window thumb returns when the pointer leaves
  enum : int { kExtendBy = 50 };

  class IScrollClbck {
   public:
    // The window thumb moved the position.
    virtual void OnTimeScroll(TimeRulerParams* params, COscTimeRuler* ruler) = 0;  // 0

   protected:
    ~IScrollClbck() = default;
  };

  COscTimeRuler();
  ~COscTimeRuler() override;

  // Registers the window class once and creates the strip.
  BOOL Create(LPCSTR name, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  using CWnd::Create;

  void SetParams(const TimeRulerParams& params) { m_Params = params; }
  // Pixels of the scroll map, the extended rectangle, the cursor thumbs and the window thumb.
  void Layout();
  // Paints at once through a client DC and an off-screen DC.
  void Redraw(BOOL markers);
  void Paint(CDC* dc, BOOL markers);
  void PlaceWindowThumb();

  void OnSystemNotify(notify::Sender sender, notify::Code code, int param) override;

  // The window thumb.
  void OnClick(POINT* point, CVisualItemThumb* thumb) override;
  void OnDrag(POINT* from, POINT* to, CVisualItemThumb* thumb) override;
  void OnDragEnd(POINT* from, POINT* to, CVisualItemThumb* thumb) override;
  // The cursor thumbs' container.
  void DrawBackground(CDC* dc) override;
  BOOL OnItemMoving(int index, CVisualItemThumb* thumb, ItemMovingData* data, CHotItemsContainer* c) override;

  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnCancelMode() override;

  TimeRulerParams m_Params;
  IScrollClbck* m_pClbck = nullptr;
  int m_nHot = -1;   // -1 or 0: the window thumb
  int m_nState = 0;  // 0 none, 1 pressed, 2 hover
  BOOL m_bDraggable = FALSE;
  RECT m_rcPressed{0, 0, 0, 0};
  int m_nPressPosition = -1;
  POINT m_ptPress{0, 0};
  POINT m_ptCurrent{0, 0};
  BOOL m_bMoved = FALSE;
  RECT m_rcClient{0, 0, 0, 0};
  RECT m_rcDraw{0, 0, 0, 0};
  RECT m_rcExtended{0, 0, 0, 0};  // screen coordinates
  COLORREF m_crBackground;
  COLORREF m_crAxis;
  COLORREF m_crThumb;
  COLORREF m_crThumbHot;
  CBrush m_brBackground;
  CBrush m_brThumb;
  CBrush m_brThumbHot;
  CPen m_penAxis;
  CPen m_penBorder;
  CVisualItemThumb m_Thumb;  // its rect is the window thumb's
  HCURSOR m_hCursorDefault;
  CHICCursors m_Cursors;

 private:
  void OnThumbMoved(POINT* from, POINT* to);
  void MakeGdiObjects();
  void TakeCapture();
  void LetCaptureGo();
};
