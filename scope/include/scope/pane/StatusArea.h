// The six text strips around the scope chart, told apart by their type: scales and trigger of the
// record on screen ("Bottom"), the measured values ("Measures"), probes and run state ("Top"), an
// empty caption strip ("Text") and one strip per saved scope ("SavedCD", "SavedEF"). They only
// draw; the pane repaints them when it is told of a change.
#pragma once

#include <ui/XPWndBaseColor.h>

#include <functional>
#include <string>

class CSignalData;
class CSavedScope;
struct AcquisitionRecord;
class GlobalProps;

class CWndOsc_StatusArea : public CXPWndBaseColor {
 public:
  enum Type { kBottom = 0, kMeasures = 1, kTop = 2, kText = 3, kSavedCD = 4, kSavedEF = 5 };

  explicit CWndOsc_StatusArea(int type);
  ~CWndOsc_StatusArea() override;

  int Type() const { return m_nType; }
  // The pane's two display traces (A, B), for the measures table; either may be null.
  void SetTraces(const CSignalData* a, const CSignalData* b) {
    m_pTraces[0] = a;
    m_pTraces[1] = b;
  }
  // The frequency the engine measured on the trigger source; valid false shows "---".
  void SetFrequency(bool valid, double frequency) {
    m_bFrequencyValid = valid;
    m_dFrequency = frequency;
  }
  // Where the "Top" strip takes a channel's probe text (the engine-tester path shows the control
  // panel's probe names); by default the channel's probe label.
  void SetProbeTextSource(std::function<CString(int channel)> source) { m_probeText = std::move(source); }

  void PaintBackground(CDC* dc) override;
  void PaintContent(CDC* dc) override;
  // Paints at once when the strip would now draw something else than at its last paint (texts,
  // colours, places, size); a strip whose picture is the same is left alone. 1 when it painted.
  int RedrawIfChanged();

  CFont m_font;
  CFont m_boldFont;

 private:
  class Canvas;
  void MakeFonts();
  // The strip's kind, size, background and font: the part of its picture not in the item list.
  std::string PictureHeader() const;
  // The items of the strip's type, drawn or listed.
  void Draw(Canvas& dc);
  // Draws the text in the colour at the rectangle's left edge (flags 0x28 unless given), then
  // moves the left edge by step.
  void Item(Canvas& dc, CRect& r, COLORREF color, const CString& text, double step, UINT flags = 0x28);
  void PaintBottom(Canvas& dc, CRect r);
  void PaintMeasures(Canvas& dc);
  void PaintTop(Canvas& dc, CRect r);
  void PaintSaved(Canvas& dc, CRect r, const CSavedScope& saved, int slot);

  int m_nType;
  CRect m_rcFonts{0, 0, 0, 0};
  AcquisitionRecord* m_pDisplay;
  GlobalProps* m_pProps;
  CBrush m_savedBrush;
  const CSignalData* m_pTraces[2] = {nullptr, nullptr};
  bool m_bFrequencyValid = false;
  double m_dFrequency = 0.0;
  std::function<CString(int)> m_probeText;
  // The picture of the last paint, and whether there was one since the strip was last hidden.
  std::string m_painted;
  bool m_bPainted = false;
};

namespace scope {
// The trigger level of a saved scope as the strip writes it: below 1 in magnitude with the
// automatic precision and its unit, else scaled by its engineering exponent, "%s%s" with the unit
// ("V" for 0, "A" for 1, none otherwise).
CString FormatSavedTriggerLevel(double level, int unit);
}  // namespace scope
