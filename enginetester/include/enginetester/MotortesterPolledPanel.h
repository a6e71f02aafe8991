// CMotortesterPolledPanel: what the three polled engine-tester panels (advance, dwell angle,
// thermometer) share. Each shows a title and up to three display fields (engine speed, a main
// value, the oil temperature) on owner-drawn buttons whose faces the panel paints by control id;
// while a field's error flag is set its text is a status text drawn centred. The derived panel
// reads its meter on window timers while shown. GUI thread only.
#pragma once

#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxgdi.h>

#include <kv310/Interfaces.h>

// The values a polled panel shows, for printing: the main value (advance, dwell angle or the
// temperature), the oil temperature and the engine speed as last read.
struct PolledPanelValues {
  double value = 0.0;
  double temperature = 0.0;
  int speed = 0;
};

class CMotortesterPolledPanel : public CXPWndBaseColor,
                                public CXPCtrlBtn::IDrawClbck,
                                public CXPCtrlBtn::IBtnClbck {
 public:
  // Control ids of the title and the fields; "Advance"/"Thermometer" share id 2.
  enum { ID_TITLE = 0, ID_SPEED = 1, ID_VALUE = 2, ID_TEMPERATURE = 3 };
  // The display texts and their error flags.
  enum { TEXT_SPEED = 0, TEXT_VALUE = 1, TEXT_TEMPERATURE = 2, TEXTS = 3 };
  enum { TIMER_READ = 1, READ_MS = 250 };

  CMotortesterPolledPanel();
  ~CMotortesterPolledPanel() override;

  void RecalcLayout() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnShowWindow(BOOL show, UINT status) override;
  void OnTimer(UINT_PTR id) override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData*, CXPCtrlBtn*) override {}

  // Shown: start polling; hidden: stop.
  virtual void StartPolling() = 0;
  virtual void StopPolling() = 0;
  // One tick of a window timer.
  virtual void OnReadTimer(UINT_PTR id) = 0;

  const CString& Text(int which) const { return m_strText[which]; }
  int IsError(int which) const { return m_bError[which]; }
  const PolledPanelValues& GetValues() const { return m_Values; }
  CXPCtrlBtn* Field(int id);
  // The title text, a field's label by control id, and the colour of the value texts.
  virtual CString TitleText() const = 0;
  virtual CString LabelText(int id) const = 0;
  virtual COLORREF ValueColor() const { return RGB(0, 0, 0); }

 protected:
  // One field: its window name, control id and which display text it shows (-1: the title).
  struct FieldDef {
    const char* name;
    int id;
    int text;
  };
  // Creates the title and the display fields (all child, visible, empty rectangle).
  BOOL CreateFields(const FieldDef* fields, int count);
  // Where the fields go below the title; the derived panel may keep room for more.
  virtual int ReservedBottom() const { return 0; }
  // Draws the engine speed with its unit; the thermometer uses its own variant.
  virtual void DrawSpeed(CDC* dc, const CRect& rc, LPCSTR text);
  virtual void DrawValue(CDC* dc, const CRect& rc, int text);
  void SetText(int which, const CString& text, int error = 0) {
    m_strText[which] = text;
    m_bError[which] = error;
  }
  // Sets the temperature and the speed texts from the last read (m_Values, m_nStatus): the value,
  // the dash text while there is none (-1), or the status text flagged as an error.
  void ShowTemperature();
  void ShowSpeed(const char* dash);
  void ClearErrors();
  void RepaintFields();
  BOOL BoardReady() const;

  // The link of the measurement library: the binding's unless the panel was given its interfaces.
  ICommunication_1* Communication() const;

  ICommunication_1* m_pCommunication = nullptr;
  bool m_bInterfacesGiven = false;
  PolledPanelValues m_Values;
  int m_nStatus[TEXTS] = {1, 1, 1};  // speed, value, temperature statuses of the last read
  CString m_strText[TEXTS];
  int m_bError[TEXTS] = {0, 0, 0};
  FieldDef m_Defs[4] = {};
  int m_nFields = 0;
  CXPCtrlBtn m_Fields[4];
  CFont m_fntTitle;
  CFont m_fntLabel;
  CFont m_fntValue;
  CFont m_fntError;
};
