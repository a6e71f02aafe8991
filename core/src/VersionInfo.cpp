#include <core/VersionInfo.h>

#include <platform/module.h>

#include <vector>

namespace {

CString StringValue(const std::vector<char>& block, LPCSTR language, LPCSTR name) {
  if (!name || !*name) return CString();
  CString path;
  path.Format("\\StringFileInfo\\%s\\%s", language, name);
  LPVOID data = nullptr;
  UINT length = 0;
  if (!VerQueryValue(block.data(), path, &data, &length) || !data || length == 0) return CString();
  CString text(static_cast<const char*>(data), static_cast<int>(length));
  text.ReleaseBuffer(-1);  // up to a terminating NUL inside the length
  text.TrimRight();
  return text;
}

}  // namespace

BOOL CVersionInfo::ReadModule(HMODULE module, LPCSTR languageBlock, LPCSTR valueName) {
  char fileName[MAX_PATH] = {};
  if (GetModuleFileName(module, fileName, sizeof(fileName)) == 0) return FALSE;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSize(fileName, &handle);
  if (size == 0) return FALSE;
  std::vector<char> block(size);
  if (!GetFileVersionInfo(fileName, handle, size, block.data())) return FALSE;

  LPVOID data = nullptr;
  UINT length = 0;
  if (VerQueryValue(block.data(), "\\", &data, &length) && data && length >= sizeof(VS_FIXEDFILEINFO)) {
    const VS_FIXEDFILEINFO* info = static_cast<const VS_FIXEDFILEINFO*>(data);
    m_strFileVersion.Format("%u,%u,%u,%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                            HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    m_strProductVersion.Format("%u,%u,%u,%u", HIWORD(info->dwProductVersionMS), LOWORD(info->dwProductVersionMS),
                               HIWORD(info->dwProductVersionLS), LOWORD(info->dwProductVersionLS));
  }
  if (languageBlock && *languageBlock) {
    m_strLegalCopyright = StringValue(block, languageBlock, "LegalCopyright");
    m_strProductName = StringValue(block, languageBlock, "ProductName");
    m_strValue = StringValue(block, languageBlock, valueName);
  }
  return TRUE;
}
