// UTF-16 <-> UTF-8 for wide texts (OLECHAR names, the wide-character conversions). Unpaired
// surrogates become U+FFFD; invalid UTF-8 input is reported.
#pragma once

#include <platform/ole.h>

#include <string>

namespace kvp::storage {
std::string Utf16ToUtf8(const char16_t* text, size_t length);
std::string Utf16ToUtf8(const char16_t* zeroTerminated);
// False when `utf8` is not valid UTF-8 (invalid sequences still become U+FFFD in `out`).
bool Utf8ToUtf16(const std::string& utf8, std::u16string* out);
}  // namespace kvp::storage
