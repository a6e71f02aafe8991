// The file dialog (GetOpenFileName, GetSaveFileName, CFileDialog): folders and files of the
// local file system shown through the standard controls, with the checks the flags ask for.
#include "window/WindowSystem.h"

#include <platform/codepage.h>
#include <platform/filedialog.h>
#include <platform/files.h>

#include <dirent.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace kvp::win {

HWND BuildDialog(const kvp::DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM init, CWnd* object,
                 bool* focusFirst);
bool TemplateDialogEnded(HWND hwnd, INT_PTR* result);

namespace {

constexpr int kIdUp = psh1 + 0x20;  // the Up button

struct Filter {
  std::string description;
  std::vector<std::string> patterns;
};

struct FileDialogState {
  bool open = true;
  OPENFILENAME* ofn = nullptr;
  CFileDialog* object = nullptr;
  std::string folder;  // Linux, UTF-8
  std::vector<Filter> filters;
  int filterIndex = 0;
  std::vector<std::string> customPatterns;  // a typed pattern, until the type changes
  std::string result;  // active code page
  HWND child = 0;
};

std::string ToCodePage(const std::string& utf8) { return kvp::FromUtf8(utf8, kvp::ActiveCodePage()); }
bool Representable(const std::string& utf8) {
  return kvp::ToUtf8(kvp::FromUtf8(utf8, kvp::ActiveCodePage()), kvp::ActiveCodePage()) == utf8;
}
std::string FromCodePage(const std::string& bytes) { return kvp::ToUtf8(bytes, kvp::ActiveCodePage()); }

bool IsDir(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(s.begin());
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

std::vector<std::string> SplitPatterns(const std::string& list) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t end = list.find(';', start);
    std::string p = Trim(list.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (!p.empty()) out.push_back(p);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

std::vector<Filter> ParseFilters(LPCSTR filter) {
  std::vector<Filter> out;
  for (const char* p = filter; p && *p;) {
    Filter f;
    f.description = p;
    p += std::strlen(p) + 1;
    if (!*p) break;
    f.patterns = SplitPatterns(p);
    p += std::strlen(p) + 1;
    out.push_back(f);
  }
  return out;
}

bool Matches(const std::vector<std::string>& patterns, const std::string& name) {
  if (patterns.empty()) return true;
  for (const std::string& p : patterns) {
    if (p == "*.*" || p == "*") return true;
    if (fnmatch(FromCodePage(p).c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
  }
  return false;
}

const std::vector<std::string>& ActivePatterns(const FileDialogState& s) {
  static const std::vector<std::string> all;
  if (!s.customPatterns.empty()) return s.customPatterns;
  if (s.filterIndex >= 0 && s.filterIndex < static_cast<int>(s.filters.size())) return s.filters[s.filterIndex].patterns;
  return all;
}

std::string Parent(const std::string& folder) {
  if (folder == "/" || folder.empty()) return "/";
  size_t slash = folder.find_last_of('/');
  return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

void Fill(HWND dlg, FileDialogState* s) {
  // The folder and its ancestors, the folder itself chosen.
  HWND combo = GetDlgItem(dlg, cmb2);
  SendMessage(combo, CB_RESETCONTENT, 0, 0);
  std::vector<std::string> chain;
  for (std::string f = s->folder;; f = Parent(f)) {
    chain.insert(chain.begin(), f);
    if (f == "/") break;
  }
  for (const std::string& f : chain) SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToCodePage(f).c_str()));
  SendMessage(combo, CB_SETCURSEL, chain.size() - 1, 0);
  // Folders first, then the files of the filter, each sorted without regard to case.
  std::vector<std::string> folders, files;
  if (DIR* d = opendir(s->folder.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == ".." || name[0] == '.' || !Representable(name)) continue;
      if (IsDir(Join(s->folder, name))) {
        folders.push_back(name);
      } else if (Matches(ActivePatterns(*s), name)) {
        files.push_back(name);
      }
    }
    closedir(d);
  }
  auto byName = [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; };
  std::sort(folders.begin(), folders.end(), byName);
  std::sort(files.begin(), files.end(), byName);
  HWND list = GetDlgItem(dlg, lst1);
  SendMessage(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& f : folders) {
    const std::string shown = "[" + ToCodePage(f) + "]";
    int i = static_cast<int>(SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str())));
    SendMessage(list, LB_SETITEMDATA, static_cast<WPARAM>(i), 1);
  }
  for (const std::string& f : files) SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToCodePage(f).c_str()));
  EnableWindow(GetDlgItem(dlg, kIdUp), s->folder != "/");
}

std::string ListName(HWND list, int index, bool* folder) {
  char text[1024] = {};
  if (SendMessage(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0) >= static_cast<LRESULT>(sizeof text)) return {};
  SendMessage(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  *folder = SendMessage(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0) == 1;
  std::string name = text;
  if (*folder && name.size() >= 2) name = name.substr(1, name.size() - 2);
  return name;
}

void GoTo(HWND dlg, FileDialogState* s, const std::string& folder) {
  s->folder = folder;
  Fill(dlg, s);
}

// The typed name as a Linux path (UTF-8).
std::string Resolve(const FileDialogState& s, const std::string& typed) {
  if (!typed.empty() && typed[0] == '/') return FromCodePage(typed);
  const bool windows = typed.find('\\') != std::string::npos || (typed.size() >= 2 && typed[1] == ':');
  if (windows) {
    std::string mapped = kvp::MapPath(typed);
    if (!mapped.empty() && mapped[0] == '/') return mapped;
    return Join(s.folder, mapped);
  }
  return Join(s.folder, FromCodePage(typed));
}

std::string NameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void Accept(HWND dlg, FileDialogState* s) {
  char typedBuffer[2048] = {};
  GetDlgItemText(dlg, edt1, typedBuffer, sizeof typedBuffer);
  std::string typed = Trim(typedBuffer);
  HWND list = GetDlgItem(dlg, lst1);
  if (typed.empty()) {
    const int cur = static_cast<int>(SendMessage(list, LB_GETCURSEL, 0, 0));
    bool folder = false;
    if (cur >= 0) {
      std::string name = ListName(list, cur, &folder);
      if (folder) GoTo(dlg, s, Join(s->folder, FromCodePage(name)));
    }
    return;
  }
  if (typed.find_first_of("*?") != std::string::npos) {
    s->customPatterns = SplitPatterns(typed);
    Fill(dlg, s);
    return;
  }
  std::string path = Resolve(*s, typed);
  if (IsDir(path)) {
    GoTo(dlg, s, path.size() > 1 && path.back() == '/' ? path.substr(0, path.size() - 1) : path);
    SetDlgItemText(dlg, edt1, "");
    return;
  }
  const std::string shown = ToCodePage(NameOf(path));
  if (NameOf(path).find('.') == std::string::npos && s->ofn->lpstrDefExt && *s->ofn->lpstrDefExt) {
    path += "." + FromCodePage(s->ofn->lpstrDefExt);
  }
  const DWORD flags = s->ofn->Flags;
  if ((flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !IsDir(Parent(path))) {
    std::string text = shown + "\nPath does not exist.\nCheck the path and try again.";
    MessageBox(dlg, text.c_str(), s->ofn->lpstrTitle ? s->ofn->lpstrTitle : (s->open ? "Open" : "Save As"),
               MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (s->open && (flags & OFN_FILEMUSTEXIST) && !Exists(path)) {
    std::string text = ToCodePage(NameOf(path)) + "\nFile not found.";
    MessageBox(dlg, text.c_str(), s->ofn->lpstrTitle ? s->ofn->lpstrTitle : "Open", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!s->open && (flags & OFN_OVERWRITEPROMPT) && Exists(path)) {
    std::string text = ToCodePage(NameOf(path)) + " already exists.\nDo you want to replace it?";
    if (MessageBox(dlg, text.c_str(), s->ofn->lpstrTitle ? s->ofn->lpstrTitle : "Save As",
                   MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
      return;
    }
  }
  s->result = ToCodePage(path);
  EndDialog(dlg, IDOK);
}

// The standard controls in a rectangle (pixels) of the dialog.
void CreateStandardControls(HWND dlg, const RECT& area, SIZE base, bool open, bool readOnlyBox, HFONT font) {
  auto px = [&](int dlu) { return MulDiv(dlu, base.cx, 4); };
  auto py = [&](int dlu) { return MulDiv(dlu, base.cy, 8); };
  const int x0 = area.left + px(6), y0 = area.top + py(6);
  const int w = area.right - area.left - px(12);
  const int labelW = px(50), buttonW = px(50), row = py(14);
  const int listTop = y0 + row + py(4);
  const int bottomRows = (readOnlyBox ? 3 : 2) * (row + py(4));
  const int listH = std::max<int>(area.bottom - area.top - py(12) - (listTop - y0) - bottomRows, py(40));
  struct Item {
    const char* cls;
    const char* text;
    int id;
    DWORD style;
    int x, y, cx, cy;
  };
  const int rowName = listTop + listH + py(4), rowType = rowName + row + py(4);
  std::vector<Item> items = {
      {WC_STATIC, "Look &in:", stc4, SS_LEFT, x0, y0 + py(2), labelW, row},
      {WC_COMBOBOX, "", cmb2, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, x0 + labelW, y0, w - labelW - px(20), py(100)},
      {WC_BUTTON, "Up", kIdUp, BS_PUSHBUTTON | WS_TABSTOP, x0 + w - px(16), y0, px(16), row},
      {WC_LISTBOX, "", lst1, LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, x0, listTop, w, listH},
      {WC_STATIC, "File &name:", stc3, SS_LEFT, x0, rowName + py(2), labelW, row},
      {WC_EDIT, "", edt1, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, x0 + labelW, rowName, w - labelW - buttonW - px(6), row},
      {WC_BUTTON, open ? "&Open" : "&Save", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, x0 + w - buttonW, rowName, buttonW, row},
      {WC_STATIC, "Files of &type:", stc2, SS_LEFT, x0, rowType + py(2), labelW, row},
      {WC_COMBOBOX, "", cmb1, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, x0 + labelW, rowType,
       w - labelW - buttonW - px(6), py(100)},
      {WC_BUTTON, "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, x0 + w - buttonW, rowType, buttonW, row},
  };
  if (readOnlyBox) {
    items.push_back({WC_BUTTON, "Open as &read-only", chx1, BS_AUTOCHECKBOX | WS_TABSTOP, x0 + labelW,
                     rowType + row + py(4), w - labelW, row});
  }
  for (const Item& i : items) {
    HWND c = CreateWindowEx(0, i.cls, i.text, i.style | WS_CHILD | WS_VISIBLE, i.x, i.y, i.cx, i.cy, dlg,
                            static_cast<HMENU>(i.id), 0, nullptr);
    if (c) SendMessage(c, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  }
}

INT_PTR FileDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* s = reinterpret_cast<FileDialogState*>(GetWindowLongPtr(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      s = reinterpret_cast<FileDialogState*>(lParam);
      SetWindowLongPtr(dlg, DWLP_USER, lParam);
      HWND types = GetDlgItem(dlg, cmb1);
      for (const Filter& f : s->filters) SendMessage(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.description.c_str()));
      SendMessage(types, CB_SETCURSEL, static_cast<WPARAM>(s->filterIndex), 0);
      if (s->ofn->lpstrFile && *s->ofn->lpstrFile) SetDlgItemText(dlg, edt1, s->ofn->lpstrFile);
      Fill(dlg, s);
      SetFocus(GetDlgItem(dlg, edt1));
      return FALSE;
    }
    case WM_COMMAND: {
      if (!s) return FALSE;
      const int id = LOWORD(wParam), code = HIWORD(wParam);
      switch (id) {
        case IDOK: Accept(dlg, s); return TRUE;
        case IDCANCEL: EndDialog(dlg, IDCANCEL); return TRUE;
        default: break;
      }
      if (id == kIdUp && code == BN_CLICKED) {
        GoTo(dlg, s, Parent(s->folder));
        return TRUE;
      }
      if (id == cmb2 && code == CBN_SELCHANGE) {
        char text[2048] = {};
        HWND combo = GetDlgItem(dlg, cmb2);
        const int cur = static_cast<int>(SendMessage(combo, CB_GETCURSEL, 0, 0));
        if (cur >= 0 && SendMessage(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(cur), 0) < static_cast<LRESULT>(sizeof text)) {
          SendMessage(combo, CB_GETLBTEXT, static_cast<WPARAM>(cur), reinterpret_cast<LPARAM>(text));
          GoTo(dlg, s, FromCodePage(text));
        }
        return TRUE;
      }
      if (id == cmb1 && code == CBN_SELCHANGE) {
        s->filterIndex = static_cast<int>(SendMessage(GetDlgItem(dlg, cmb1), CB_GETCURSEL, 0, 0));
        s->customPatterns.clear();
        Fill(dlg, s);
        return TRUE;
      }
      if (id == lst1 && (code == LBN_SELCHANGE || code == LBN_DBLCLK)) {
        HWND list = GetDlgItem(dlg, lst1);
        const int cur = static_cast<int>(SendMessage(list, LB_GETCURSEL, 0, 0));
        if (cur < 0) return TRUE;
        bool folder = false;
        std::string name = ListName(list, cur, &folder);
        if (code == LBN_SELCHANGE && !folder) SetDlgItemText(dlg, edt1, name.c_str());
        if (code == LBN_DBLCLK) {
          if (folder) {
            GoTo(dlg, s, Join(s->folder, FromCodePage(name)));
            SetDlgItemText(dlg, edt1, "");
          } else {
            Accept(dlg, s);
          }
        }
        return TRUE;
      }
      return FALSE;
    }
    default: return FALSE;
  }
}

// Runs the dialog; fills the OPENFILENAME on IDOK.
bool RunFileDialog(OPENFILENAME* ofn, bool open, CFileDialog* object) {
  if (!ofn) return false;
  FileDialogState state;
  state.open = open;
  state.ofn = ofn;
  state.object = object;
  state.filters = ParseFilters(ofn->lpstrFilter);
  state.filterIndex = ofn->nFilterIndex > 0 ? static_cast<int>(ofn->nFilterIndex) - 1 : 0;
  if (state.filterIndex >= static_cast<int>(state.filters.size())) state.filterIndex = 0;
  if (ofn->lpstrInitialDir && *ofn->lpstrInitialDir) {
    std::string dir = ofn->lpstrInitialDir;
    state.folder = dir[0] == '/' ? FromCodePage(dir) : kvp::MapPath(dir);
  }
  if (state.folder.empty() || !IsDir(state.folder)) {
    char cwd[4096] = {};
    state.folder = getcwd(cwd, sizeof cwd) ? cwd : "/";
  }
  while (state.folder.size() > 1 && state.folder.back() == '/') state.folder.pop_back();

  // The extension template, when there is one.
  const kvp::DialogTemplate* extension = nullptr;
  if ((ofn->Flags & OFN_ENABLETEMPLATE) && ofn->lpTemplateName) {
    extension = kvp::FindDialogTemplate(ofn->hInstance, ofn->lpTemplateName);
  }
  kvp::DialogTemplate shell{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER, 0, 0, 0, 280,
                            static_cast<short>((ofn->Flags & OFN_HIDEREADONLY) ? 170 : 186),
                            ofn->lpstrTitle ? ofn->lpstrTitle : (open ? "Open" : "Save As"), nullptr, "MS Shell Dlg", 8,
                            {}};
  RECT standard{0, 0, 0, 0};
  HFONT font = kvp::DialogTemplateFont(shell);
  SIZE base = kvp::DialogBaseUnitsOf(font);
  const int stdW = MulDiv(shell.cx, base.cx, 4), stdH = MulDiv(shell.cy, base.cy, 8);
  if (extension) {
    // The placeholder's rectangle holds the standard controls (never smaller than they need).
    RECT place{0, 0, shell.cx, shell.cy};
    for (const kvp::DialogItem& item : extension->items) {
      if (item.id == stc32) place = RECT{item.x, item.y, item.x + item.cx, item.y + item.cy};
    }
    SIZE extBase = kvp::DialogBaseUnitsOf(kvp::DialogTemplateFont(*extension));
    standard = kvp::DialogUnitsToPixels(place, extBase);
    standard.right = std::max<LONG>(standard.right, standard.left + stdW);
    standard.bottom = std::max<LONG>(standard.bottom, standard.top + stdH);
    const RECT ext = kvp::DialogUnitsToPixels(RECT{0, 0, extension->cx, extension->cy}, extBase);
    shell.cx = static_cast<short>(MulDiv(std::max(ext.right, standard.right), 4, base.cx));
    shell.cy = static_cast<short>(MulDiv(std::max(ext.bottom, standard.bottom), 8, base.cy));
  } else {
    standard = RECT{0, 0, stdW, stdH};
  }

  HWND ownerTop = ofn->hwndOwner ? TopLevelOf(ofn->hwndOwner) : 0;
  if (!ownerTop) {
    CWnd* main = AfxGetMainWnd();
    if (main && main->m_hWnd) ownerTop = main->m_hWnd;
  }
  bool reenable = BeginModal(ownerTop);
  HWND dlg = BuildDialog(shell, ownerTop, nullptr, 0, nullptr, nullptr);
  INT_PTR result = IDCANCEL;
  if (dlg) {
    SetWindowLongPtr(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&FileDialogProc));
    CreateStandardControls(dlg, standard, base, open, !(ofn->Flags & OFN_HIDEREADONLY), font);
    if (extension) {
      // The child dialog lies under the standard controls; its own items keep their places.
      kvp::DialogTemplate child = *extension;
      child.style = (child.style | WS_CHILD | WS_VISIBLE) & ~static_cast<DWORD>(WS_POPUP | WS_CAPTION);
      child.x = child.y = 0;
      state.child = BuildDialog(child, dlg, nullptr, 0, object, nullptr);
      if (HWND placeholder = state.child ? GetDlgItem(state.child, stc32) : 0) ShowWindow(placeholder, SW_HIDE);
    }
    SendMessage(dlg, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&state));
    ShowWindow(dlg, SW_SHOW);
    SetFocus(GetDlgItem(dlg, edt1));
    INT_PTR r = 0;
    const ModalEnd end = RunModalLoop(dlg, [dlg, &r] { return !IsWindow(dlg) || TemplateDialogEnded(dlg, &r); });
    if (end != ModalEnd::QuitRequest && IsWindow(dlg)) TemplateDialogEnded(dlg, &result);
  }
  EndModal(ownerTop, reenable);
  if (dlg && IsWindow(dlg)) {
    ShowWindow(dlg, SW_HIDE);
    if (ownerTop && IsWindow(ownerTop)) SetActiveWindow(ownerTop);
    DestroyWindow(dlg);
  }
  if (result != IDOK) return false;
  if (!ofn->lpstrFile || ofn->nMaxFile <= state.result.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::memcpy(ofn->lpstrFile, state.result.c_str(), state.result.size() + 1);
  const size_t slash = state.result.find_last_of('/');
  ofn->nFileOffset = static_cast<WORD>(slash == std::string::npos ? 0 : slash + 1);
  const size_t dot = state.result.find_last_of('.');
  ofn->nFileExtension = static_cast<WORD>(dot != std::string::npos && dot > ofn->nFileOffset ? dot + 1 : 0);
  ofn->nFilterIndex = static_cast<DWORD>(state.filterIndex + 1);
  if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
    std::string title = state.result.substr(ofn->nFileOffset);
    const size_t n = std::min<size_t>(title.size(), ofn->nMaxFileTitle - 1);
    std::memcpy(ofn->lpstrFileTitle, title.data(), n);
    ofn->lpstrFileTitle[n] = 0;
  }
  return true;
}

}  // namespace
}  // namespace kvp::win

using namespace kvp::win;

extern "C" {
BOOL GetOpenFileName(LPOPENFILENAME ofn) { return RunFileDialog(ofn, true, nullptr) ? TRUE : FALSE; }
BOOL GetSaveFileName(LPOPENFILENAME ofn) { return RunFileDialog(ofn, false, nullptr) ? TRUE : FALSE; }
}

CFileDialog::CFileDialog(BOOL openFileDialog, LPCSTR defExt, LPCSTR fileName, DWORD flags, LPCSTR filter, CWnd* parent)
    : CDialog(static_cast<UINT>(0), parent), m_bOpenFileDialog(openFileDialog) {
  if (filter) {
    m_filter = filter;
    std::replace(m_filter.begin(), m_filter.end(), '|', '\0');
    m_filter.push_back('\0');
  }
  if (defExt) m_defExt = defExt;
  if (fileName) std::strncpy(m_szFileName, fileName, sizeof m_szFileName - 1);
  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.hwndOwner = parent ? parent->m_hWnd : 0;
  m_ofn.lpstrFilter = filter ? m_filter.c_str() : nullptr;
  m_ofn.nFilterIndex = 1;
  m_ofn.lpstrFile = m_szFileName;
  m_ofn.nMaxFile = sizeof m_szFileName;
  m_ofn.lpstrDefExt = defExt ? m_defExt.c_str() : nullptr;
  m_ofn.Flags = flags | OFN_EXPLORER;
}

INT_PTR CFileDialog::DoModal() {
  if (!m_ofn.hwndOwner && m_pParentWnd) m_ofn.hwndOwner = m_pParentWnd->m_hWnd;
  return RunFileDialog(&m_ofn, m_bOpenFileDialog != FALSE, this) ? IDOK : IDCANCEL;
}

bool CFileDialog::RunForObject(bool open) { return RunFileDialog(&m_ofn, open, this); }

BOOL CFileDialog::OnInitDialog() { return CDialog::OnInitDialog(); }

CString CFileDialog::GetPathName() const { return CString(m_ofn.lpstrFile ? m_ofn.lpstrFile : ""); }

CString CFileDialog::GetFileName() const {
  CString path = GetPathName();
  const int slash = std::max(path.ReverseFind('/'), path.ReverseFind('\\'));
  return path.Mid(slash + 1);
}

CString CFileDialog::GetFileTitle() const {
  CString name = GetFileName();
  const int dot = name.ReverseFind('.');
  return dot > 0 ? name.Left(dot) : name;
}

CString CFileDialog::GetFileExt() const {
  CString name = GetFileName();
  const int dot = name.ReverseFind('.');
  return dot >= 0 ? name.Mid(dot + 1) : CString();
}
