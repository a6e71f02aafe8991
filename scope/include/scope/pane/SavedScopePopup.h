// The saved-scope clear popup: when the user asks to delete saved scopes, the control panel hides
// its four saved-scope buttons and shows this strip of four in their place — clear saved scope 1,
// clear saved scope 2, clear all, back. Any of them closes the strip and brings the panel's
// buttons back.
#pragma once

#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

class CDialogs : public CXPWndBaseColor, public CXPCtrlBtn::IDrawClbck, public CXPCtrlBtn::IBtnClbck {
 public:
  enum { kButtonCD = 1000, kButtonEF = 1001, kButtonAll = 1002, kButtonCancel = 1003 };

  // What the strip asks of the control panel it sits in.
  class IOwner {
   public:
    // After a clear: the panel's first saved-scope button ("BtnOpen") gets value 1, is enabled
    // and repainted at once.
    virtual void ReopenSavedScopeButton() = 0;
    // The strip closed: the panel shows its four saved-scope buttons again.
    virtual void ShowSavedScopeButtons() = 0;

   protected:
    ~IOwner() = default;
  };

  CDialogs();
  ~CDialogs() override;

  void SetOwner(IOwner* owner) { m_pOwner = owner; }
  // The face text of a button (the saved scopes' titles, "All", "Back").
  CString FaceText(int id) const;

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  CXPCtrlBtn m_buttons[4];
  CFont m_fonts[1];

 private:
  IOwner* m_pOwner = nullptr;
};
