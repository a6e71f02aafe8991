#include <core/ColorScheme.h>

#include <platform/files.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

struct Entry {
  const char* key;
  COLORREF color;
};

const Entry kEntries[ColorScheme::COUNT] = {
    {"Color_Record1", 0x0033FF},
    {"Color_Record2", 0x000000},
    {"Color_Record3", 0x00FF00},
    {"Color_Record4", 0xFF0000},
    {"Color_ChA", 0x0033FF},
    {"Color_ChB", 0x000000},
    {"Color_MainWnd_Bkgrnd", 0x969696},
    {"Color_MainWnd_Titles", 0x00FFFF},
    {"Color_MainWnd_Categories", 0xCC3333},
    {"Color_Cursor_Trigger", 0x00FFFF},
    {"Color_Cursor_Left", 0xFF0000},
    {"Color_Cursor_Right", 0xCC33FF},
    {"Color_Cursor_Bkgrnd", 0x969696},
    {"Color_Btn_Title", 0xCC3333},
    {"Color_Btn_Bkgrnd", 0xC0C0C0},
    {"Color_Btn_BkgrndHot", 0xC8FA00},
    {"Color_Btn_Number_Bkgrnd", 0xCCFFCC},
    {"Color_Btn_Number_Frame", 0x777777},
    {"Color_Btn_Number_Color", 0xCC3333},
    {"Color_Btn_UpDown", 0xA5D700},
    {"Color_TimeRuler_Axis", 0x000000},
    {"Color_TimeRuler_Bkgrnd", 0x969696},
    {"Color_TimeRuler_ThumbNormal", 0x99CC00},
    {"Color_TimeRuler_ThumbHot", 0x99CC00},
    {"Color_Chart_DrawArea", 0xFFFFFF},
    {"Color_Chart_DrawAreaNoGrid", 0xE6E6E6},
    {nullptr, 0x969696},  // a scope background brush: always the default
    {"Color_Chart_Ticks", 0xC0C0C0},
    {"Color_Chart_Grid", 0xC0C0C0},
    {"Color_Multimeter_Value", 0xCCFFCC},
    {"Color_SavedSignalC", 0x0CB000},
    {"Color_SavedSignalD", 0xD49C0E},
    {"Color_SavedSignalE", 0xFF098C},
    {"Color_SavedSignalF", 0x00AED9},
};

// The value text between a key's opening and closing tags, empty when the tags are not in order.
// The tagged form "<key>" is looked for first so that a key which is the beginning of another
// ("Color_Btn_Bkgrnd" of "Color_Btn_BkgrndHot") does not find the longer key's entry; a file that
// writes the opening tag differently falls back to the bare key name.
std::string ValueText(const std::string& text, const std::string& key) {
  const std::string closing = "</" + key + ">";
  const size_t c = text.find(closing);
  size_t b = text.find("<" + key + ">");
  if (b != std::string::npos) {
    ++b;  // position of the key name itself
  } else {
    b = text.find(key);
  }
  if (b == std::string::npos || c == std::string::npos || b >= c) return std::string();
  const size_t start = b + key.size() + 1;
  if (start > c) return std::string();
  return text.substr(start, c - start);
}

COLORREF ParseColor(const std::string& value) {
  const size_t first = value.find(',');
  if (first == std::string::npos) return 0;
  const std::string red = value.substr(0, first);
  const std::string rest = value.substr(first + 1);
  const size_t second = rest.find(',');
  if (second == std::string::npos) return 0;
  const std::string green = rest.substr(0, second);
  const std::string blue = rest.substr(second + 1);
  if (red.empty() || green.empty() || blue.empty()) return 0;
  // The decimal conversion of atoi (leading blanks, digits up to the first other character, 0 when
  // none) without its undefined overflow: out-of-range numbers saturate; only the low byte counts.
  auto part = [](const std::string& s) { return static_cast<COLORREF>(std::strtol(s.c_str(), nullptr, 10)) & 0xFF; };
  return part(red) | part(green) << 8 | part(blue) << 16;
}

}  // namespace

ColorScheme::ColorScheme() { SetDefaults(); }

void ColorScheme::SetDefaults() {
  for (int i = 0; i < COUNT; ++i) m_colors[i] = kEntries[i].color;
}

COLORREF ColorScheme::GetColor(int index) const { return index >= 0 && index < COUNT ? m_colors[index] : 0; }

const char* ColorScheme::KeyOf(int index) { return index >= 0 && index < COUNT ? kEntries[index].key : nullptr; }

COLORREF ColorScheme::DefaultOf(int index) { return index >= 0 && index < COUNT ? kEntries[index].color : 0; }

void ColorScheme::Parse(const std::string& fileText) {
  // The text ends at its first NUL byte, as the file was always read as one C string.
  const std::string text = fileText.substr(0, fileText.find('\0'));
  for (int i = 0; i < COUNT; ++i) {
    if (!kEntries[i].key) continue;
    m_colors[i] = ParseColor(ValueText(text, kEntries[i].key));
  }
}

ColorScheme& GetColorScheme() {
  static ColorScheme scheme;
  return scheme;
}

COLORREF GetSchemeColor(int index) { return GetColorScheme().GetColor(index); }

void LoadColorScheme(const char* fileName) {
  std::ifstream file(kvp::MapPath(fileName ? fileName : ""), std::ios::binary);
  if (!file) return;
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  GetColorScheme().Parse(text);
}
