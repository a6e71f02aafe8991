// The colour scheme: the 34 colours every painting takes by index, with built-in defaults,
// overwritten once at start-up from "Colors.ini" where each colour is "<Key>r,g,b</Key>".
#pragma once

#include <platform/types.h>

#include <string>

class ColorScheme {
 public:
  enum { COUNT = 34 };

  ColorScheme();
  // Black for an index outside 0..33.
  COLORREF GetColor(int index) const;
  // Restores the built-in defaults.
  void SetDefaults();
  // Parses the text of a colours file into the table (each key independently; a key missing from
  // the text, or with an incomplete value, gives black). Index 26 has no key and keeps its value.
  void Parse(const std::string& text);

  // The key of an index in the file, null for the entry without one.
  static const char* KeyOf(int index);
  static COLORREF DefaultOf(int index);

 private:
  COLORREF m_colors[COUNT];
};

ColorScheme& GetColorScheme();
COLORREF GetSchemeColor(int index);
// Reads the file into the global scheme; a file that cannot be opened keeps every default.
void LoadColorScheme(const char* fileName);
