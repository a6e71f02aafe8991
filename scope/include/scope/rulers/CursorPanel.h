// CWndOsc_Cursor: the strip of the scope pane that shows the two time cursors as numbers: a
// spinner per cursor (its value is a step of the 1000-step time map), the time difference between
// them, and for channels A and B the values at both cursors and their difference. The spinners
// and the time ruler's cursor thumbs move the same two records and follow each other through the
// pane's notifications. GUI thread only.
#pragma once

#include <scope/ScopeNotify.h>

#include <ui/RepeatCtrl.h>
#include <ui/XPWndBaseColor.h>

#include <core/TraceStyle.h>

#include <platform/afxwin.h>

#include <string>

class CWndOsc_Cursor : public CXPWndBaseColor,
                       public CRepeatCtrl::IScrollClbck,
                       public CRepeatCtrl::IDrawClbck,
                       public scope::IScopeNotifyTarget {
 public:
  static constexpr notify::Sender kSenderId = notify::kFromCursorPanel;
  enum : UINT { ID_LEFT = 0, ID_RIGHT = 1 };

  CWndOsc_Cursor();
  ~CWndOsc_Cursor() override;

  // The panel font and the two spinners.
  BOOL CreateChildren() override;
  // A new client size: the font by the height and the spinners at both ends.
  void RecalcLayout() override;
  void PaintContent(CDC* dc) override;

  // A spinner changed: the cursor's time follows, unless it would pass the other cursor.
  void OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) override;
  // The face of a spinner: the cursor's time in its colour, right-aligned clear of the arrows.
  void Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) override;

  void OnSystemNotify(notify::Sender sender, notify::Code code, int param) override;

  // The engine segment 1..N the cursor's time lies in; 0 for none or without segments.
  int GetSegment(const CursorRecord& record) const;
  // The step of the 1000-step time map a time lies in, and the time of a step.
  static double StepOf(double time);
  static double TimeOf(double step);

  CFont m_Font;
  CRepeatCtrl m_Left;
  CRepeatCtrl m_Right;
  CPen m_penChannel[2];  // scheme 4 and 5
  CPen m_penTitle;       // scheme 7
  CPen m_penFrame;       // scheme 17
  CBrush m_brFace;       // scheme 16
  CRect m_rcStored;      // the client rectangle the layout was made for

 private:
  CursorRecord& LeftCursor() const;
  CursorRecord& RightCursor() const;
  void MakeGdiObjects();
  void RepaintAll();
  // A new record: the read-outs repaint when their texts, colours or places changed since they last
  // painted; the spinners repaint.
  void RepaintChanged();
  // What the read-outs show, written down: the same picture, the same pixels.
  std::string ReadoutPicture() const;
  // The cursor's time as its spinner shows it.
  CString CursorValueText(const CursorRecord& cursor) const;
  void Notify(notify::Code code, const CursorRecord& record);
  // The difference text of the two cursors.
  CString TimeDifferenceText() const;
  // One channel's difference between the cursors ("Cannot eval" when it cannot be taken); FALSE
  // when the channel shows nothing.
  BOOL ChannelDifferenceText(int channel, CString& text) const;
  // One channel's value at a cursor's step; FALSE when it shows none.
  BOOL ChannelValueText(int channel, const CursorRecord& cursor, CString& text) const;
  void PaintDifferenceLine(CDC* dc, const RECT& box, int lineHeight);
  void PaintChannelDifferences(CDC* dc, const RECT& box, int lineHeight, int rowTop);
  // One row of values at a cursor; edges: the x of the difference box's left and right sides.
  void PaintCursorValues(CDC* dc, const RECT& row, const CursorRecord& cursor, const int (&edges)[2]);

  // The read-outs' picture at the last paint (empty: none since the panel was last hidden).
  std::string m_painted;
};
