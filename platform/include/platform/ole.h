// Wide characters, COM result codes and the text conversions between the system's code page and
// 16-bit wide text (OLECHAR is UTF-16, as in compound-file names).
#pragma once

#include <platform/codepage.h>
#include <platform/types.h>

typedef char16_t WCHAR;
typedef WCHAR OLECHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;

#ifndef S_OK
#define S_OK ((HRESULT)0)
#endif
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_POINTER ((HRESULT)0x80004003u)
#ifndef E_FAIL
#define E_FAIL ((HRESULT)0x80004005u)
#endif
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define MB_PRECOMPOSED 0x00000001u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_NO_BEST_FIT_CHARS 0x00000400u
#define ERROR_NO_UNICODE_TRANSLATION 1113L

extern "C" {
// Code page (CP_ACP = the active language's, CP_UTF8, or a Windows code page number) -> UTF-16.
// `length` -1: up to and including the terminating zero. `outChars` 0: only the needed size.
// Returns the number of WCHARs written (or needed); 0 on failure with GetLastError
// (ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION with MB_ERR_INVALID_CHARS,
// ERROR_INVALID_PARAMETER).
PLATFORM_API int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out, int outChars);
// UTF-16 -> code page. Characters the code page lacks become `defaultChar` (else '?') and set
// *usedDefault.
PLATFORM_API int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out, int outBytes,
                                     LPCSTR defaultChar, BOOL* usedDefault);
// COM and OLE need no start-up here; always TRUE.
PLATFORM_API BOOL AfxOleInit(void);
}
