// Interactive marks that are not windows: CVisualItem (a rectangle with a state, a visibility bit
// and a cursor, drawn into its host window's DC), CVisualItemThumb (the draggable kind) and
// CHotItemsContainer, which owns the thumbs of one host window and does their hit-testing, hover
// cursor, mouse capture, clicking and bounded dragging, so the host only forwards three mouse
// messages. Also the chart thumbs that stand for a display record and their placement on the
// chart's sides.
#pragma once

#include <ui/OptionData.h>
#include <ui/PtrArrayAuto.h>

#include <platform/afxwin.h>

class CTraceStyle;

// The rectangle of a thumb: slot 15 tests against it, normalised, so a thumb given with its
// corners in either order is still found.
bool PointInItemRect(const RECT& rect, POINT p);

class CVisualItem {
 public:
  enum : int { kHidden = 0x1 };

  CVisualItem() = default;
  CVisualItem(const CVisualItem&) = delete;
  CVisualItem& operator=(const CVisualItem&) = delete;

  // Virtual operations in slot order.
  virtual ~CVisualItem();                                              // 0
  virtual RECT* GetRect();                                             // 1
  virtual void SetRect(int left, int top, int right, int bottom);      // 2 (calls 3)
  virtual void SetRect(const RECT* rect);                              // 3
  virtual BOOL IsVisible();                                            // 4
  virtual void Show(BOOL show);                                        // 5
  virtual int QueryValue(int a, int b);                                // 6: every item answers 0
  virtual void Draw(CDC* dc) = 0;                                      // 7
  virtual void OnClick(POINT* point, int arg);                         // 8
  virtual HCURSOR GetCursor();                                         // 9
  virtual void SetCursor(HCURSOR cursor);                              // 10
  virtual BOOL IsDraggable();                                          // 11
  virtual void OnDrag(POINT* from, POINT* to);                         // 12
  virtual void OnDragEnd(POINT* from, POINT* to);                      // 13
  virtual void SetState(int state);                                    // 14
  virtual BOOL HitTest(POINT point);                                   // 15

  int flags = 0;       // bit 0x1 hidden
  int state = 0;       // 0 normal, 1 pressed, 2 hot
  RECT rect{0, 0, 0, 0};
  HCURSOR cursor = 0;  // null: the container's default
};

class CVisualItemThumb : public CVisualItem {
 public:
  class IClbck {
   public:
    virtual void OnClick(POINT* point, CVisualItemThumb* thumb) = 0;                    // 0
    virtual void OnDrag(POINT* from, POINT* to, CVisualItemThumb* thumb) = 0;          // 1
    virtual void OnDragEnd(POINT* from, POINT* to, CVisualItemThumb* thumb) = 0;       // 2

   protected:
    ~IClbck() = default;
  };
  class IDraw {
   public:
    virtual void Draw(CDC* dc, CVisualItemThumb* thumb) = 0;

   protected:
    ~IDraw() = default;
  };

  // Draws through the painter when set, else fills rect (pressedBrush when pressed) and adds the edge.
  void Draw(CDC* dc) override;
  void OnClick(POINT* point, int arg) override;
  BOOL IsDraggable() override;
  void OnDrag(POINT* from, POINT* to) override;
  void OnDragEnd(POINT* from, POINT* to) override;

  RECT rect2{0, 0, 0, 0};
  int edge = -1;  // -1 none, 1 raised, 2 sunken
  CBrush* brush = nullptr;
  CBrush* pressedBrush = nullptr;
  IClbck* clbck = nullptr;
  IDraw* painter = nullptr;
  int anchorX = 0;
  int anchorY = 0;
  int axis = 0;  // 1 horizontal, 2 vertical; read by containers with the per-item-axis flag
};

// A chart thumb that stands for a display record (a cursor, level or trigger mark) on one side
// of the chart.
class CRecordThumb : public CVisualItemThumb {
 public:
  enum Side { kBottom = 0, kTop = 1, kRight = 2, kLeft = 3 };

  CTraceStyle* record = nullptr;
  int side = kBottom;
};

// The recorder's view mapping of its two cursors (display kinds 4 and 5): the pixel of a cursor
// at a position. The recorder implements it.
class IRecorderViewMap {
 public:
  virtual int CursorPixel(double position) const = 0;

 protected:
  ~IRecorderViewMap() = default;
};

// The rectangle of a side thumb at pixel a against the bounds, corners in exactly this order
// (left, top, right, bottom): bottom- and right-side thumbs come out with top below bottom or
// left right of right, as the analyzer's marker painter expects.
RECT SideThumbRect(int side, int a, const RECT& bounds);

// The pixel of a display record: kinds 4 and 5 through the recorder's mapping (0 without one),
// any other through its scale (0 without one).
int RecordPixel(const CTraceStyle& record, const IRecorderViewMap* recorder);

// The data handed to OnItemMoving: the new anchor position, then the new rectangle.
struct ItemMovingData {
  int x;
  int y;
  RECT rect;
};

class CHotItemsContainer : public CVisualItemThumb::IClbck, public OptionData {
 public:
  // Option flags: the drag axis. None of them: a drag moves nothing. kHorizontal wins.
  enum : uint32_t { kHorizontal = 0x1, kVertical = 0x2, kPerItemAxis = 0x4 };

  class IClbckHotItemsContainer {
   public:
    // Paints the host's background during a drag.
    virtual void DrawBackground(CDC* dc) = 0;                                                          // 0
    // TRUE lets the container move the thumb itself.
    virtual BOOL OnItemMoving(int index, CVisualItemThumb* thumb, ItemMovingData* data, CHotItemsContainer* c) = 0;  // 1

   protected:
    ~IClbckHotItemsContainer() = default;
  };

  explicit CHotItemsContainer(CWnd* host);

  // Virtual operations in slot order.
  void OnClick(POINT* point, CVisualItemThumb* thumb) override;                 // 0: empty
  void OnDrag(POINT* from, POINT* to, CVisualItemThumb* thumb) override;       // 1: the bounded move
  void OnDragEnd(POINT* from, POINT* to, CVisualItemThumb* thumb) override;    // 2: empty
  virtual void RecalcRange();                                                  // 3: empty
  virtual ~CHotItemsContainer();                                               // 4

  // Appends a thumb (owned from now on; it reports to this container unless it has a callback);
  // its index, or -1 when it could not be stored.
  int AddItem(CVisualItemThumb* thumb);
  CVisualItemThumb* GetItem(int index) const { return items.GetAt(index); }
  int GetCount() const { return items.GetSize(); }

  // The host's mouse messages (client points); each returns whether a thumb took the message.
  BOOL OnLButtonDown(POINT point);
  BOOL OnMouseMove(POINT point);
  BOOL OnLButtonUp(POINT point);
  // WM_CANCELMODE: ends a press or hover like a button-up without a callback.
  BOOL OnCancelMode();

  // The host's background (when asked), then every visible thumb in index order.
  void Draw(CDC* dc, BOOL background);
  // Draw on an off-screen DC over a window DC of the host.
  void Redraw(BOOL background);
  // Sets the active thumb's state to the mode and draws only that thumb.
  void RedrawItem();
  // The first thumb in index order whose hit test succeeds, among the visible ones unless all; -1.
  int HitTest(POINT* point, BOOL all);
  void RemoveAll();
  // Every record thumb shows bit 0x1 of its record's flags.
  void ApplyItemState();
  // Deletes the thumbs from index 2 on (the recorder's two cursors stay).
  void RemoveExtraItems();
  // Places every record thumb on its side against bounds, then shows it per its record.
  void PlaceThumbs(const IRecorderViewMap* recorder = nullptr);

  IClbckHotItemsContainer* hostClbck = nullptr;
  POINT pressOffset{0, 0};
  CPtrArrayAuto<CVisualItemThumb> items;
  int active = -1;
  int mode = 0;  // 0 idle, 1 pressed, 2 hot
  BOOL dragging = FALSE;
  RECT pressRect{0, 0, 0, 0};
  CWnd* host;
  int lastPos = -1;
  RECT bounds{0, 0, 0, 0};
  POINT pressPoint{0, 0};
  POINT currentPoint{0, 0};
  POINT lastMouse{0, 0};
  HCURSOR cursorDefault;
  HCURSOR cursorA;
  HCURSOR cursorB;

 private:
  void TakeCapture();
  void ReleaseCapture();
  // The end of a press or hover: dragging 0, capture released, mode 0, the thumb redrawn, active -1.
  void EndPress();
};
