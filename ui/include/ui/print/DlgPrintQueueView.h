// CDlgPrintQueueView: the print queue's preview, opened by the print dialog's View. Every queued
// item is drawn as the report will print it, one under the other in a scrolling column, each in
// its own CWndPrintedItem with three boxes: edit the comment, remove the item (after a question),
// include or exclude it from the report. Changes act on the queue at once. GUI thread only.
#pragma once

#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxwin.h>

#include <memory>
#include <vector>

class CDlgPrintQueueView : public CDialog {
 public:
  enum {
    kHeaderBand = 48,  // the title band above the first item
    kMargin = 20,      // white margins at both sides
    kItemFont = 20,    // the items' font height
    kStep = 20,        // pixels per scroll position
    kGap = 20,         // below every item (its dotted line lies 10 pixels above the gap's end)
    kBox = 32,         // the boxes' places
    kWidth = 600,
    kHeight = 500,
    kSmallIcon = 132,
  };

  // One queued item. Its id is its index in the queue and follows removals above it.
  class CWndPrintedItem : public CXPWndBaseColor,
                          public CXPCheckBtn::ICheckBtnClbck,
                          public CXPCheckBtn::ICheckDrawClbck {
   public:
    enum { ID_COMMENT = 0, ID_REMOVE = 1, ID_INCLUDE = 2 };
    enum { IDB_UNTICKED = 204, IDB_TICKED = 205, IDB_REMOVE = 212, IDB_COMMENT = 216 };

    CWndPrintedItem();
    ~CWndPrintedItem() override;

    BOOL CreateChildren() override;
    void RecalcLayout() override;
    void PaintContent(CDC* dc) override;
    void OnWindowPosChanged(WINDOWPOS* pos) override;

    void OnCheck(BOOL newState, CXPCheckBtn* box) override;
    void Draw(BOOL checked, CDC* dc, RECT* box, CXPCheckBtn* control) override;

    CXPCheckBtn m_BoxRemove;
    CXPCheckBtn m_BoxComment;
    CXPCheckBtn m_BoxInclude;

   private:
    enum { FACE_COMMENT, FACE_REMOVE, FACE_TICKED, FACE_UNTICKED, FACE_COUNT };
    CBitmap m_Faces[FACE_COUNT];  // loaded on first use
  };

  // Without a parent the preview is centred on the main window, without one on the screen.
  explicit CDlgPrintQueueView(CWnd* parent = nullptr);
  ~CDlgPrintQueueView() override;

  INT_PTR DoModal() override;
  BOOL OnInitDialog() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnVScroll(UINT code, UINT pos, CScrollBar* bar) override;
  BOOL OnMouseWheel(UINT flags, short delta, CPoint screenPoint) override;
  void OnDestroy() override;

  // Moves the item windows for the scroll offset (0 or negative pixels).
  void Layout(int offset);
  // Paints the view at once through a window DC and an off-screen DC.
  void RedrawNow();
  // The scroll range from the items' heights at the layout's width; the position is kept inside
  // it. The bar is hidden when everything fits.
  void UpdateScrollRange();

  int m_nOffset = 0;  // scroll offset in pixels, 0 or negative
  HICON m_hSmallIcon = 0;
  std::vector<std::unique_ptr<CWndPrintedItem>> m_Items;
  int m_nScrollMax = 0;  // the scroll range's maximum (its minimum is 0)
  int m_nColumnBottom = kHeaderBand;  // where the last item window ends at the last layout

 private:
  void PaintView(CDC* dc);
  void ScrollTo(int pos);
  // The total height of the column at the layout's width.
  int ColumnHeight();
  CFont m_TitleFont;
};
