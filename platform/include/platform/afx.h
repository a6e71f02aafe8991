// The small part of the class library's vocabulary the program is written in: CString (a byte
// string in the active code page) and the typed arrays CArray, CStringArray, CByteArray.
//
// CString keeps the bytes exactly as given; it never converts between code pages. Like the original
// it can hold embedded NUL bytes through GetBuffer/ReleaseBuffer(n), but the C-string view ends at
// the first one.
#pragma once

#include <platform/types.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

class PLATFORM_API CString {
 public:
  CString() = default;
  CString(LPCSTR text) : m_s(text ? text : "") {}
  CString(LPCSTR text, int length) : m_s(text ? std::string(text, length > 0 ? static_cast<size_t>(length) : 0u) : std::string()) {}
  CString(char ch, int repeat = 1) : m_s(repeat > 0 ? static_cast<size_t>(repeat) : 0u, ch) {}
  CString(const std::string& s) : m_s(s) {}

  int GetLength() const { return static_cast<int>(m_s.size()); }
  bool IsEmpty() const { return m_s.empty(); }
  void Empty() { m_s.clear(); }
  LPCSTR GetString() const { return m_s.c_str(); }
  operator LPCSTR() const { return m_s.c_str(); }
  const std::string& str() const { return m_s; }

  char GetAt(int i) const { return m_s.at(static_cast<size_t>(i)); }
  void SetAt(int i, char ch) { m_s.at(static_cast<size_t>(i)) = ch; }
  char operator[](int i) const { return GetAt(i); }

  CString& operator=(LPCSTR text) { m_s = text ? text : ""; return *this; }
  CString& operator+=(const CString& o) { m_s += o.m_s; return *this; }
  CString& operator+=(LPCSTR text) { if (text) m_s += text; return *this; }
  CString& operator+=(char ch) { m_s += ch; return *this; }
  friend CString operator+(const CString& a, const CString& b) { return CString(a.m_s + b.m_s); }
  friend CString operator+(const CString& a, LPCSTR b) { return CString(a.m_s + (b ? b : "")); }
  friend CString operator+(LPCSTR a, const CString& b) { return CString((a ? a : "") + b.m_s); }
  friend CString operator+(const CString& a, char b) { return CString(a.m_s + b); }

  // Byte-wise comparison (strcmp order), as the system compares its texts.
  int Compare(LPCSTR text) const { return std::strcmp(m_s.c_str(), text ? text : ""); }
  int CompareNoCase(LPCSTR text) const;
  friend bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
  friend bool operator==(const CString& a, LPCSTR b) { return a.Compare(b) == 0; }
  friend bool operator==(LPCSTR a, const CString& b) { return b.Compare(a) == 0; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, LPCSTR b) { return !(a == b); }
  friend bool operator!=(LPCSTR a, const CString& b) { return !(b == a); }
  friend bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
  friend bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }

  // Substrings; counts and positions outside the text are clamped, never an error.
  CString Left(int count) const;
  CString Right(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;

  // Position of the first occurrence at or after start, -1 when absent.
  int Find(char ch, int start = 0) const;
  int Find(LPCSTR sub, int start = 0) const;
  int ReverseFind(char ch) const;

  CString& TrimRight();
  CString& TrimLeft();
  CString& Trim() { TrimRight(); return TrimLeft(); }
  void MakeUpper();
  void MakeLower();
  int Replace(LPCSTR oldText, LPCSTR newText);

  // printf-style formatting; the arguments must be plain values (pass CString as (LPCSTR)).
  void Format(LPCSTR format, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(LPCSTR format, va_list args);
  void AppendFormat(LPCSTR format, ...) __attribute__((format(printf, 2, 3)));

  // Direct access to a buffer of at least minLength characters plus the terminator. ReleaseBuffer
  // sets the length: -1 means up to the first NUL, else exactly newLength bytes.
  LPSTR GetBuffer(int minLength = 0);
  LPSTR GetBufferSetLength(int length);
  void ReleaseBuffer(int newLength = -1);

 private:
  std::string m_s;
};

// A typed dynamic array with the class library's interface. Indexes are checked: an index outside
// the array throws std::out_of_range (the class library raises its invalid-argument error).
template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray {
 public:
  INT_PTR GetSize() const { return static_cast<INT_PTR>(m_data.size()); }
  INT_PTR GetCount() const { return GetSize(); }
  INT_PTR GetUpperBound() const { return GetSize() - 1; }
  bool IsEmpty() const { return m_data.empty(); }
  // New elements are value-initialised (zero for numbers).
  void SetSize(INT_PTR newSize, INT_PTR growBy = -1) { m_data.resize(newSize > 0 ? static_cast<size_t>(newSize) : 0u); }
  void RemoveAll() { m_data.clear(); }
  void FreeExtra() { m_data.shrink_to_fit(); }

  const TYPE& GetAt(INT_PTR i) const { return m_data.at(static_cast<size_t>(i)); }
  TYPE& ElementAt(INT_PTR i) { return m_data.at(static_cast<size_t>(i)); }
  void SetAt(INT_PTR i, ARG_TYPE value) { m_data.at(static_cast<size_t>(i)) = value; }
  const TYPE& operator[](INT_PTR i) const { return GetAt(i); }
  TYPE& operator[](INT_PTR i) { return ElementAt(i); }
  const TYPE* GetData() const { return m_data.data(); }
  TYPE* GetData() { return m_data.data(); }

  INT_PTR Add(ARG_TYPE value) { m_data.push_back(value); return GetSize() - 1; }
  INT_PTR Append(const CArray& src) {
    INT_PTR first = GetSize();
    m_data.insert(m_data.end(), src.m_data.begin(), src.m_data.end());
    return first;
  }
  void Copy(const CArray& src) { m_data = src.m_data; }
  void SetAtGrow(INT_PTR i, ARG_TYPE value) {
    if (i >= GetSize()) SetSize(i + 1);
    SetAt(i, value);
  }
  void InsertAt(INT_PTR i, ARG_TYPE value, INT_PTR count = 1) {
    if (i > GetSize()) SetSize(i);
    m_data.insert(m_data.begin() + i, static_cast<size_t>(count), value);
  }
  // Removes count elements from i; a range beyond the end is cut.
  void RemoveAt(INT_PTR i, INT_PTR count = 1) {
    if (i < 0 || i >= GetSize() || count <= 0) return;
    INT_PTR last = std::min<INT_PTR>(GetSize(), i + count);
    m_data.erase(m_data.begin() + i, m_data.begin() + last);
  }

 protected:
  std::vector<TYPE> m_data;
};

typedef CArray<BYTE, BYTE> CByteArray;
typedef CArray<WORD, WORD> CWordArray;
typedef CArray<DWORD, DWORD> CDWordArray;
typedef CArray<CString, LPCSTR> CStringArray;
