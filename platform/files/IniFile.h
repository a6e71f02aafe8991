// An INI file as the profile functions see it: lines of "[section]", "key=value", comments
// (";...") and anything else, which is ignored. Sections and keys compare without regard to case;
// keys and values are trimmed, and a value enclosed in a matching pair of quotes loses them.
#pragma once

#include <string>
#include <vector>

namespace kvp::files {

class IniFile {
 public:
  struct Line {
    enum Kind { Other, Section, Entry } kind = Other;
    std::string text;   // the line as read, without its line end
    std::string name;   // section name or key
    std::string value;  // value of an entry
  };

  static IniFile Parse(const std::string& bytes);
  std::string Serialize() const;

  std::vector<std::string> SectionNames() const;
  // Keys of the first section of that name; false when there is no such section.
  bool KeyNames(const std::string& section, std::vector<std::string>& keys) const;
  // The value of the key in the first section of that name.
  bool Find(const std::string& section, const std::string& key, std::string& value) const;

  void Set(const std::string& section, const std::string& key, const std::string& value);
  void DeleteKey(const std::string& section, const std::string& key);
  void DeleteSection(const std::string& section);

  const std::vector<Line>& lines() const { return lines_; }

 private:
  // Index of the first section header of that name, or lines_.size().
  size_t SectionAt(const std::string& section) const;
  // One past the last line of the section that starts at `header`.
  size_t SectionEnd(size_t header) const;
  size_t EntryAt(size_t header, const std::string& key) const;

  std::vector<Line> lines_;
  std::string newline_ = "\r\n";
  bool endsWithNewline_ = true;
};

}  // namespace kvp::files
