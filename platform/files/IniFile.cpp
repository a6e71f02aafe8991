#include "IniFile.h"

#include <strings.h>

namespace kvp::files {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string Unquote(const std::string& s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) return s.substr(1, s.size() - 2);
  return s;
}

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

IniFile::Line Classify(const std::string& text) {
  IniFile::Line line;
  line.text = text;
  const std::string t = Trim(text);
  if (t.empty() || t[0] == ';') return line;
  if (t[0] == '[') {
    const size_t close = t.find(']');
    line.kind = IniFile::Line::Section;
    line.name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return line;
  }
  const size_t eq = t.find('=');
  if (eq == std::string::npos) return line;
  line.kind = IniFile::Line::Entry;
  line.name = Trim(t.substr(0, eq));
  line.value = Unquote(Trim(t.substr(eq + 1)));
  return line;
}

}  // namespace

IniFile IniFile::Parse(const std::string& bytes) {
  IniFile ini;
  size_t start = 0;
  bool first = true;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    const bool hasNewline = end != std::string::npos;
    if (!hasNewline) end = bytes.size();
    std::string text = bytes.substr(start, end - start);
    const bool crlf = !text.empty() && text.back() == '\r';
    if (crlf) text.pop_back();
    if (first && hasNewline) ini.newline_ = crlf ? "\r\n" : "\n";
    first = false;
    ini.lines_.push_back(Classify(text));
    ini.endsWithNewline_ = hasNewline;
    start = end + 1;
  }
  return ini;
}

std::string IniFile::Serialize() const {
  std::string out;
  for (size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i].text;
    if (i + 1 < lines_.size() || endsWithNewline_) out += newline_;
  }
  return out;
}

std::vector<std::string> IniFile::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& l : lines_)
    if (l.kind == Line::Section) names.push_back(l.name);
  return names;
}

size_t IniFile::SectionAt(const std::string& section) const {
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].kind == Line::Section && SameName(lines_[i].name, section)) return i;
  return lines_.size();
}

size_t IniFile::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != Line::Section) ++i;
  return i;
}

size_t IniFile::EntryAt(size_t header, const std::string& key) const {
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i)
    if (lines_[i].kind == Line::Entry && SameName(lines_[i].name, key)) return i;
  return lines_.size();
}

bool IniFile::KeyNames(const std::string& section, std::vector<std::string>& keys) const {
  const size_t header = SectionAt(section);
  if (header == lines_.size()) return false;
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i)
    if (lines_[i].kind == Line::Entry) keys.push_back(lines_[i].name);
  return true;
}

bool IniFile::Find(const std::string& section, const std::string& key, std::string& value) const {
  const size_t header = SectionAt(section);
  if (header == lines_.size()) return false;
  const size_t at = EntryAt(header, key);
  if (at == lines_.size()) return false;
  value = lines_[at].value;
  return true;
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  const Line entry = Classify(key + "=" + value);
  const size_t header = SectionAt(section);
  if (header == lines_.size()) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Line{});
    lines_.push_back(Classify("[" + section + "]"));
    lines_.push_back(entry);
    endsWithNewline_ = true;
    return;
  }
  const size_t at = EntryAt(header, key);
  if (at != lines_.size()) {
    lines_[at] = entry;
    return;
  }
  // After the section's last non-blank line, so blank lines before the next section stay there.
  size_t insert = SectionEnd(header);
  while (insert > header + 1 && Trim(lines_[insert - 1].text).empty()) --insert;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert), entry);
  if (insert == lines_.size() - 1) endsWithNewline_ = true;
}

void IniFile::DeleteKey(const std::string& section, const std::string& key) {
  const size_t header = SectionAt(section);
  if (header == lines_.size()) return;
  const size_t at = EntryAt(header, key);
  if (at != lines_.size()) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at));
}

void IniFile::DeleteSection(const std::string& section) {
  const size_t header = SectionAt(section);
  if (header == lines_.size()) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
               lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
}

}  // namespace kvp::files
