#include "RegText.h"

#include <platform/codepage.h>

#include <strings.h>

#include <cstdio>
#include <cstring>

namespace kvreg {

namespace {

struct Root {
  const char* longName;
  const char* shortName;
  HKEY key;
};

const Root kRoots[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},   {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
};

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

std::string TrimLeft(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

// UTF-16LE (after its byte-order mark) to UTF-8; unpaired surrogates become '?'.
std::string Utf16ToUtf8(const std::string& bytes) {
  std::string out;
  auto unit = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)); };
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    unsigned c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = '?';
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

class Parser {
 public:
  Parser(std::vector<RegKeyChange>& keys, std::string& error) : keys_(keys), error_(error) {}

  bool Run(const std::string& input) {
    std::string text = input;
    if (text.size() >= 2 && text[0] == '\xFF' && text[1] == '\xFE') text = Utf16ToUtf8(text);
    else if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    SplitLines(text);
    size_t i = 0;
    while (i < lines_.size() && TrimRight(lines_[i]).empty()) ++i;
    const std::string header = i < lines_.size() ? TrimRight(lines_[i]) : "";
    if (header == "REGEDIT4") {
      utf8_ = false;
    } else if (header == "Windows Registry Editor Version 5.00") {
      utf8_ = true;
    } else {
      return Fail(static_cast<int>(i + 1), "not a registry file (expected \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\")");
    }
    for (++i; i < lines_.size(); ++i) {
      line_ = static_cast<int>(i + 1);
      std::string l = TrimLeft(TrimRight(lines_[i]));
      if (l.empty() || l[0] == ';') continue;
      if (l[0] == '[') {
        if (!Section(l)) return false;
        continue;
      }
      // Hex data continues over lines ending in a backslash.
      while (!l.empty() && l.back() == '\\' && IsHexValue(l) && i + 1 < lines_.size())
        l = l.substr(0, l.size() - 1) + TrimLeft(TrimRight(lines_[++i]));
      if (!Value(l)) return false;
    }
    return true;
  }

 private:
  void SplitLines(const std::string& text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      lines_.push_back(text.substr(start, end - start));
      start = end + 1;
    }
  }

  bool Fail(int line, const std::string& what) {
    error_ = "line " + std::to_string(line) + ": " + what;
    return false;
  }
  bool Fail(const std::string& what) { return Fail(line_, what); }

  std::string Text(const std::string& s) const { return utf8_ ? kvp::FromUtf8(s, kvp::ActiveCodePage()) : s; }

  static bool IsHexValue(const std::string& l) {
    const size_t eq = l.find("=hex");
    return eq != std::string::npos;
  }

  bool Section(const std::string& l) {
    if (l.back() != ']') return Fail("a key line must end with ']'");
    std::string name = l.substr(1, l.size() - 2);
    RegKeyChange key;
    key.line = line_;
    if (!name.empty() && name[0] == '-') {
      key.remove = true;
      name.erase(0, 1);
    }
    const size_t slash = name.find('\\');
    key.rootName = name.substr(0, slash);
    key.root = RootByName(key.rootName);
    if (!key.root) return Fail("unknown root key \"" + key.rootName + "\"");
    key.path = slash == std::string::npos ? "" : Text(name.substr(slash + 1));
    while (!key.path.empty() && key.path.back() == '\\') key.path.pop_back();
    keys_.push_back(key);
    return true;
  }

  // A quoted string starting at l[pos] (the opening quote); pos ends after the closing quote.
  bool Quoted(const std::string& l, size_t& pos, std::string& out) {
    out.clear();
    for (++pos; pos < l.size(); ++pos) {
      const char c = l[pos];
      if (c == '"') {
        ++pos;
        return true;
      }
      if (c == '\\') {
        if (pos + 1 >= l.size() || (l[pos + 1] != '\\' && l[pos + 1] != '"'))
          return Fail("a backslash in quotes must be written \\\\ (or \\\" for a quote)");
        out.push_back(l[++pos]);
      } else {
        out.push_back(c);
      }
    }
    return Fail("missing closing quote");
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  bool HexBytes(const std::string& text, std::string& out) {
    out.clear();
    size_t pos = 0;
    const std::string s = TrimLeft(TrimRight(text));
    if (s.empty()) return true;
    while (true) {
      while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
      int value = 0, digits = 0;
      while (pos < s.size() && HexDigit(s[pos]) >= 0 && digits < 3) value = value * 16 + HexDigit(s[pos++]), ++digits;
      if (digits == 0 || digits > 2) return Fail("hex data must be bytes of two hex digits separated by commas");
      out.push_back(static_cast<char>(value));
      while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
      if (pos == s.size()) return true;
      if (s[pos++] != ',') return Fail("hex data must be bytes of two hex digits separated by commas");
      if (pos == s.size()) return true;  // a trailing comma
    }
  }

  bool Value(const std::string& l) {
    if (keys_.empty()) return Fail("a value before the first [key] line");
    RegKeyChange& key = keys_.back();
    if (key.remove) return Fail("values under a key that is being deleted");
    RegValueChange v;
    v.line = line_;
    size_t pos = 0;
    if (l[0] == '@') {
      pos = 1;
    } else if (l[0] == '"') {
      if (!Quoted(l, pos, v.name)) return false;
      v.name = Text(v.name);
    } else {
      return Fail("expected \"name\"=value, @=value or [key]");
    }
    while (pos < l.size() && (l[pos] == ' ' || l[pos] == '\t')) ++pos;
    if (pos >= l.size() || l[pos] != '=') return Fail("expected '=' after the value name");
    const std::string rest = TrimLeft(l.substr(pos + 1));
    if (rest == "-") {
      v.remove = true;
    } else if (!rest.empty() && rest[0] == '"') {
      size_t p = 0;
      if (!Quoted(rest, p, v.data)) return false;
      if (!TrimLeft(rest.substr(p)).empty()) return Fail("unexpected text after the closing quote");
      v.data = Text(v.data);
      v.data.push_back('\0');
      v.type = REG_SZ;
    } else if (strncasecmp(rest.c_str(), "dword:", 6) == 0) {
      const std::string digits = rest.substr(6);
      if (digits.empty() || digits.size() > 8) return Fail("dword: takes 1 to 8 hex digits");
      DWORD d = 0;
      for (char c : digits) {
        if (HexDigit(c) < 0) return Fail("dword: takes 1 to 8 hex digits");
        d = d * 16 + static_cast<DWORD>(HexDigit(c));
      }
      v.type = REG_DWORD;
      v.data.assign(reinterpret_cast<const char*>(&d), sizeof d);
    } else if (strncasecmp(rest.c_str(), "hex:", 4) == 0) {
      v.type = REG_BINARY;
      if (!HexBytes(rest.substr(4), v.data)) return false;
    } else if (strncasecmp(rest.c_str(), "hex(", 4) == 0) {
      const size_t close = rest.find("):");
      if (close == std::string::npos || close == 4 || close > 12) return Fail("expected hex(type):bytes");
      DWORD type = 0;
      for (size_t k = 4; k < close; ++k) {
        if (HexDigit(rest[k]) < 0) return Fail("expected hex(type):bytes");
        type = type * 16 + static_cast<DWORD>(HexDigit(rest[k]));
      }
      v.type = type;
      if (!HexBytes(rest.substr(close + 2), v.data)) return false;
    } else {
      return Fail("unknown value (expected \"text\", dword:, hex:, hex(N): or -)");
    }
    key.values.push_back(v);
    return true;
  }

  std::vector<RegKeyChange>& keys_;
  std::string& error_;
  std::vector<std::string> lines_;
  int line_ = 0;
  bool utf8_ = false;
};

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

}  // namespace

bool ParseRegText(const std::string& bytes, std::vector<RegKeyChange>& keys, std::string& error) {
  keys.clear();
  return Parser(keys, error).Run(bytes);
}

HKEY RootByName(const std::string& name) {
  for (const Root& r : kRoots)
    if (strcasecmp(name.c_str(), r.longName) == 0 || strcasecmp(name.c_str(), r.shortName) == 0) return r.key;
  return 0;
}

const char* RootLongName(HKEY root) {
  for (const Root& r : kRoots)
    if (r.key == root) return r.longName;
  return "?";
}

std::string FormatValue(const std::string& name, DWORD type, const std::string& data) {
  std::string line = name.empty() ? "@=" : "\"" + Escape(name) + "\"=";
  const bool plainString = type == REG_SZ && !data.empty() && data.find('\0') == data.size() - 1;
  if (plainString) return line + "\"" + Escape(data.substr(0, data.size() - 1)) + "\"";
  if (type == REG_DWORD && data.size() == 4) {
    DWORD d;
    memcpy(&d, data.data(), 4);
    char buf[16];
    snprintf(buf, sizeof buf, "dword:%08x", d);
    return line + buf;
  }
  char prefix[24];
  if (type == REG_BINARY) snprintf(prefix, sizeof prefix, "hex:");
  else snprintf(prefix, sizeof prefix, "hex(%x):", type);
  line += prefix;
  // Lines are wrapped before 80 columns, continued with a backslash and two spaces.
  size_t column = line.size();
  for (size_t i = 0; i < data.size(); ++i) {
    char byte[4];
    snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
    const bool last = i + 1 == data.size();
    if (i > 0 && column + 3 > 78) {
      line += "\\\n  ";
      column = 2;
    }
    line += byte;
    column += 2;
    if (!last) {
      line += ",";
      ++column;
    }
  }
  return line;
}

}  // namespace kvreg
