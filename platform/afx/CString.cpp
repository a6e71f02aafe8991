// CString: the byte string of the class library, in the active code page.
#include <platform/afx.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <strings.h>

int CString::CompareNoCase(LPCSTR text) const { return strcasecmp(m_s.c_str(), text ? text : ""); }

CString CString::Left(int count) const {
  count = std::clamp(count, 0, GetLength());
  return CString(m_s.substr(0, static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
  count = std::clamp(count, 0, GetLength());
  return CString(m_s.substr(m_s.size() - static_cast<size_t>(count)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  first = std::clamp(first, 0, GetLength());
  count = std::clamp(count, 0, GetLength() - first);
  return CString(m_s.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

int CString::Find(char ch, int start) const {
  if (start < 0 || start >= GetLength()) return -1;
  size_t pos = m_s.find(ch, static_cast<size_t>(start));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(LPCSTR sub, int start) const {
  if (!sub || start < 0 || start > GetLength()) return -1;
  size_t pos = m_s.find(sub, static_cast<size_t>(start));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
  size_t pos = m_s.rfind(ch);
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

CString& CString::TrimRight() {
  while (!m_s.empty() && IsBlank(m_s.back())) m_s.pop_back();
  return *this;
}

CString& CString::TrimLeft() {
  size_t n = 0;
  while (n < m_s.size() && IsBlank(m_s[n])) ++n;
  m_s.erase(0, n);
  return *this;
}

// Only ASCII letters change case: the other bytes belong to the code page.
void CString::MakeUpper() {
  for (char& c : m_s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void CString::MakeLower() {
  for (char& c : m_s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

int CString::Replace(LPCSTR oldText, LPCSTR newText) {
  if (!oldText || !*oldText) return 0;
  const std::string from(oldText), to(newText ? newText : "");
  int count = 0;
  for (size_t pos = m_s.find(from); pos != std::string::npos; pos = m_s.find(from, pos + to.size())) {
    m_s.replace(pos, from.size(), to);
    ++count;
  }
  return count;
}

void CString::FormatV(LPCSTR format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format ? format : "", copy);
  va_end(copy);
  if (n < 0) {
    m_s.clear();
    return;
  }
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format ? format : "", args);
  out.resize(static_cast<size_t>(n));
  m_s = std::move(out);
}

void CString::Format(LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::AppendFormat(LPCSTR format, ...) {
  CString tail;
  va_list args;
  va_start(args, format);
  tail.FormatV(format, args);
  va_end(args);
  m_s += tail.m_s;
}

LPSTR CString::GetBuffer(int minLength) {
  // Room for the terminator beyond the requested length; the text itself stays as it was.
  if (minLength > 0 && static_cast<size_t>(minLength) > m_s.size()) m_s.resize(static_cast<size_t>(minLength), '\0');
  return m_s.data();
}

LPSTR CString::GetBufferSetLength(int length) {
  m_s.resize(length > 0 ? static_cast<size_t>(length) : 0u, '\0');
  return m_s.data();
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) {
    m_s.resize(std::strlen(m_s.c_str()));
  } else {
    m_s.resize(std::min(static_cast<size_t>(newLength), m_s.size()));
  }
}
