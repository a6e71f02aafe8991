// Breaking DrawText's text into lines: line breaks ("\n" unless single-line), word wrapping and
// the three kinds of ellipsis. Works on UTF-8 with a width function, so it is the same for any
// metrics.
#pragma once

#include <platform/gdi.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvp::gdi {

struct TextLine {
  std::string text;
  int width;
};

using MeasureFn = std::function<int(std::string_view utf8)>;

// Lines of `utf8` for a box `maxWidth` wide under the DT_ flags in `format`:
//   DT_SINGLELINE: one line; line feeds are blanks.
//   DT_WORDBREAK: lines break between words to fit; a word wider than the box stands alone.
//   DT_END_ELLIPSIS / DT_WORD_ELLIPSIS / DT_PATH_ELLIPSIS: a line still too wide is cut at the
//   end, at the end of a word, or in the middle (keeping the part after the last '\') and "..."
//   marks the cut.
std::vector<TextLine> BreakLines(std::string_view utf8, UINT format, int maxWidth, const MeasureFn& measure);

}  // namespace kvp::gdi
