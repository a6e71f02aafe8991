#include "TextLayout.h"

namespace kvp::gdi {
namespace {

constexpr std::string_view kEllipsis = "...";

// Byte offsets of every character start, plus the end.
std::vector<size_t> CharStarts(std::string_view s) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < s.size(); ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
  starts.push_back(s.size());
  return starts;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Longest prefix of whole characters that fits with the ellipsis.
std::string CutEnd(std::string_view s, int maxWidth, const MeasureFn& measure) {
  std::vector<size_t> starts = CharStarts(s);
  for (size_t keep = starts.size() - 1; keep-- > 0;) {
    std::string candidate = TrimRight(std::string(s.substr(0, starts[keep]))) + std::string(kEllipsis);
    if (measure(candidate) <= maxWidth) return candidate;
  }
  return std::string(kEllipsis);
}

// Longest run of whole words that fits with the ellipsis; a first word too long is cut anywhere.
std::string CutWord(std::string_view s, int maxWidth, const MeasureFn& measure) {
  for (size_t end = s.size(); end-- > 1;) {
    if (s[end] != ' ' || s[end - 1] == ' ') continue;  // not the end of a word
    std::string candidate = std::string(s.substr(0, end)) + std::string(kEllipsis);
    if (measure(candidate) <= maxWidth) return candidate;
  }
  return CutEnd(s, maxWidth, measure);
}

std::string CutPath(std::string_view s, int maxWidth, const MeasureFn& measure) {
  const size_t slash = s.rfind('\\');
  if (slash != std::string_view::npos && slash > 0) {
    std::string_view head = s.substr(0, slash), tail = s.substr(slash);
    std::vector<size_t> starts = CharStarts(head);
    for (size_t k = starts.size() - 1; k > 0; --k) {
      std::string candidate = std::string(head.substr(0, starts[k - 1])) + std::string(kEllipsis) + std::string(tail);
      if (measure(candidate) <= maxWidth) return candidate;
    }
    return std::string(kEllipsis) + std::string(tail);
  }
  // No folders: keep both ends and drop the middle.
  std::vector<size_t> starts = CharStarts(s);
  const size_t chars = starts.size() - 1;
  for (size_t keep = chars; keep-- > 0;) {
    const size_t front = (keep + 1) / 2, back = keep / 2;
    std::string candidate =
        std::string(s.substr(0, starts[front])) + std::string(kEllipsis) + std::string(s.substr(starts[chars - back]));
    if (measure(candidate) <= maxWidth) return candidate;
  }
  return std::string(kEllipsis);
}

// Greedy wrapping of one paragraph at blanks.
void Wrap(std::string_view para, int maxWidth, const MeasureFn& measure, std::vector<std::string>& out) {
  std::string line;
  size_t i = 0;
  bool first = true;
  while (i < para.size()) {
    size_t wordStart = i;
    while (wordStart < para.size() && para[wordStart] == ' ') ++wordStart;
    size_t wordEnd = wordStart;
    while (wordEnd < para.size() && para[wordEnd] != ' ') ++wordEnd;
    std::string_view token = para.substr(i, wordEnd - i);  // blanks before the word, then the word
    i = wordEnd;
    if (first) {
      line = std::string(token);
      first = false;
      continue;
    }
    std::string candidate = line + std::string(token);
    if (measure(TrimRight(candidate)) <= maxWidth || TrimRight(line).empty()) {
      line = std::move(candidate);
    } else {
      out.push_back(TrimRight(line));
      line = std::string(para.substr(wordStart, wordEnd - wordStart));
    }
  }
  out.push_back(first ? std::string() : TrimRight(line));
}

}  // namespace

std::vector<TextLine> BreakLines(std::string_view utf8, UINT format, int maxWidth, const MeasureFn& measure) {
  std::string text;
  text.reserve(utf8.size());
  for (char c : utf8)
    if (c != '\r') text += (c == '\n' && (format & DT_SINGLELINE)) ? ' ' : c;

  std::vector<std::string> raw;
  if (format & DT_SINGLELINE) {
    raw.push_back(text);
  } else {
    size_t start = 0;
    while (true) {
      size_t nl = text.find('\n', start);
      std::string_view para = std::string_view(text).substr(start, nl == std::string::npos ? std::string::npos : nl - start);
      if (format & DT_WORDBREAK)
        Wrap(para, maxWidth, measure, raw);
      else
        raw.emplace_back(para);
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
  }

  std::vector<TextLine> lines;
  lines.reserve(raw.size());
  for (std::string& s : raw) {
    int width = measure(s);
    if (width > maxWidth) {
      std::string cut;
      if (format & DT_PATH_ELLIPSIS)
        cut = CutPath(s, maxWidth, measure);
      else if (format & DT_WORD_ELLIPSIS)
        cut = CutWord(s, maxWidth, measure);
      else if (format & DT_END_ELLIPSIS)
        cut = CutEnd(s, maxWidth, measure);
      if (!cut.empty()) {
        s = std::move(cut);
        width = measure(s);
      }
    }
    lines.push_back(TextLine{std::move(s), width});
  }
  return lines;
}

}  // namespace kvp::gdi
