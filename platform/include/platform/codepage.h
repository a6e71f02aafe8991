// Code-page conversion. The system's texts are byte strings in the active language's code page
// (Windows-1252 by default); they are converted to UTF-8 only where they meet the display and file
// names.
#pragma once

#include <platform/types.h>

#include <string>

#define CP_ACP 0u
#define CP_UTF8 65001u

#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define SHIFTJIS_CHARSET 128
#define HANGUL_CHARSET 129
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136
#define GREEK_CHARSET 161
#define TURKISH_CHARSET 162
#define HEBREW_CHARSET 177
#define ARABIC_CHARSET 178
#define BALTIC_CHARSET 186
#define RUSSIAN_CHARSET 204
#define THAI_CHARSET 222
#define EASTEUROPE_CHARSET 238

namespace kvp {
// Windows code page of a font character set (0 -> 1252, 238 -> 1250, 204 -> 1251, ...).
PLATFORM_API unsigned CodePageOfCharset(int charset);
// Bytes in a Windows code page -> UTF-8, and back (characters without a place become '?').
PLATFORM_API std::string ToUtf8(const std::string& bytes, unsigned codePage = 1252);
PLATFORM_API std::string FromUtf8(const std::string& utf8, unsigned codePage = 1252);
// The active code page for texts (set when a language library names its character set).
PLATFORM_API void SetActiveCodePage(unsigned codePage);
PLATFORM_API unsigned ActiveCodePage();
}  // namespace kvp
