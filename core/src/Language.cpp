// Binding the language library: "texts_<code>.dll" with the exports "GetText" and "GetCharSet",
// chosen by the user's "Language" value; the built-in English texts when it cannot be loaded.
#include <core/GlobalProps.h>
#include <core/Reg.h>
#include <core/Texts.h>

#include <platform/codepage.h>
#include <platform/module.h>
#include <platform/window.h>

#include <cstdio>

namespace {

// The file name of a language code, or false when the code cannot name a library of ours:
// a code with a path separator would load a library from elsewhere, and an overlong one is cut.
bool LanguageFileName(const CString& code, char (&name)[MAX_PATH]) {
  const int n = std::snprintf(name, sizeof(name), "texts_%s.dll", (LPCSTR)code);
  if (n < 0 || n >= static_cast<int>(sizeof(name))) return false;
  return code.Find('\\') < 0 && code.Find('/') < 0;
}

}  // namespace

void GlobalProps::LoadLanguage() {
  m_pGetText = nullptr;
  m_pGetCharSet = nullptr;

  CString code;
  if (CReg().ReadString(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter", "Language", code) != CReg::OK)
    code = "en";

  char name[MAX_PATH] = "";
  const bool usable = LanguageFileName(code, name);
  if (m_hLanguage) {
    FreeLibrary(m_hLanguage);
    m_hLanguage = 0;
  }
  if (usable) m_hLanguage = LoadLibrary(name);

  if (m_hLanguage) {
    // Exports come back as a generic function pointer; their real signatures are known by name.
    m_pGetText = reinterpret_cast<GetTextProc>(reinterpret_cast<void (*)()>(GetProcAddress(m_hLanguage, "GetText")));
    m_pGetCharSet =
        reinterpret_cast<GetCharSetProc>(reinterpret_cast<void (*)()>(GetProcAddress(m_hLanguage, "GetCharSet")));
  } else if (CString(name) != "texts_en.dll") {
    CString text;
    text.Format("Cannot load your language library: %s\n\nDefault language is english.", name);
    MessageBox(0, text, nullptr, MB_OK | MB_ICONEXCLAMATION);
  }
  // A library without one of the exports gets the built-in function for it.
  if (!m_pGetText) m_pGetText = &GetDefaultLanguageText;
  if (!m_pGetCharSet) m_pGetCharSet = &GetDefaultCharSet;
  kvp::SetActiveCodePage(kvp::CodePageOfCharset(GetCharSet()));
}

void GlobalProps::FreeLanguage() {
  m_pGetText = &GetDefaultLanguageText;
  m_pGetCharSet = &GetDefaultCharSet;
  if (m_hLanguage) {
    FreeLibrary(m_hLanguage);
    m_hLanguage = 0;
  }
  kvp::SetActiveCodePage(kvp::CodePageOfCharset(GetDefaultCharSet()));
}
