// Fonts through Pango: stand-in faces, text conversion by character set, sizes, metrics and drawing.
//
// Pango's font maps and contexts are per thread; measuring and drawing use the same font options,
// so a measured width is the drawn width: on screen slight hinting with hinted metrics and whole-
// pixel glyph positions (small text stays crisp and evenly spaced); on printer pages no hinting
// and unrounded positions, so sizes scale linearly.
#include "TextRender.h"

#include "base/ThreadSlot.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "DeviceContext.h"
#include "LruCache.h"

namespace kvp::gdi {
namespace {

struct FaceMapping {
  const char* requested;  // lower case
  const char* family;
  bool symbolLetters;
};
constexpr const char* kDefaultFamily = "Liberation Sans";
constexpr FaceMapping kFaces[] = {
    {"arial", "Liberation Sans", false},
    {"times new roman", "Liberation Serif", false},
    {"ms sans serif", "Liberation Sans", false},
    {"ms shell dlg", "Liberation Sans", false},
    {"ms shell dlg 2", "Liberation Sans", false},
    // Drawn with the sans face: its letters stand for the Greek ones ("W" is the ohm sign).
    {"symbol", "Liberation Sans", true},
};

// The Greek letter the "Symbol" face draws for each Latin letter, A..Z then a..z.
constexpr char16_t kSymbolUpper[26] = {0x391, 0x392, 0x3A7, 0x394, 0x395, 0x3A6, 0x393, 0x397, 0x399,
                                       0x3D1, 0x39A, 0x39B, 0x39C, 0x39D, 0x39F, 0x3A0, 0x398, 0x3A1,
                                       0x3A3, 0x3A4, 0x3A5, 0x3C2, 0x3A9, 0x39E, 0x3A8, 0x396};
constexpr char16_t kSymbolLower[26] = {0x3B1, 0x3B2, 0x3C7, 0x3B4, 0x3B5, 0x3C6, 0x3B3, 0x3B7, 0x3B9,
                                       0x3D5, 0x3BA, 0x3BB, 0x3BC, 0x3BD, 0x3BF, 0x3C0, 0x3B8, 0x3C1,
                                       0x3C3, 0x3C4, 0x3C5, 0x3D6, 0x3C9, 0x3BE, 0x3C8, 0x3B6};

void AppendUtf8(std::string& out, char16_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The cell height a font asked for with height 0 gets, in pixels at 96 dots per inch.
constexpr double kDefaultCellPixels = 16;

cairo_font_options_t* FontOptions(bool hinted) {
  static cairo_font_options_t* options[2] = {nullptr, nullptr};
  static std::once_flag once;
  std::call_once(once, [] {
    for (int h = 0; h < 2; ++h) {
      cairo_font_options_t* o = cairo_font_options_create();
      cairo_font_options_set_hint_metrics(o, h ? CAIRO_HINT_METRICS_ON : CAIRO_HINT_METRICS_OFF);
      cairo_font_options_set_hint_style(o, h ? CAIRO_HINT_STYLE_SLIGHT : CAIRO_HINT_STYLE_NONE);
      cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
      options[h] = o;
    }
  });
  return options[hinted ? 1 : 0];
}

void Configure(PangoContext* ctx, bool hinted) {
  pango_cairo_context_set_font_options(ctx, FontOptions(hinted));
  pango_context_set_round_glyph_positions(ctx, hinted ? TRUE : FALSE);
}

PangoFontDescription* Describe(const ResolvedFont& font) {
  PangoFontDescription* desc = pango_font_description_new();
  std::string family(font.family);
  pango_font_description_set_family(desc, family.c_str());
  pango_font_description_set_absolute_size(desc, font.emPixels * PANGO_SCALE);
  pango_font_description_set_weight(desc, static_cast<PangoWeight>(std::clamp(font.weight, 100, 1000)));
  pango_font_description_set_style(desc, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return desc;
}

// Appends to `key` everything of a resolved font that changes how its text is shaped.
void AppendFontKey(std::string& key, const ResolvedFont& font) {
  key.append(font.family);
  key += '\0';
  key.append(reinterpret_cast<const char*>(&font.emPixels), sizeof font.emPixels);
  key.append(reinterpret_cast<const char*>(&font.weight), sizeof font.weight);
  key += static_cast<char>((font.italic ? 1 : 0) | (font.hinted ? 2 : 0));
}

// A layout owned by a cache entry.
class LayoutRef {
 public:
  explicit LayoutRef(PangoLayout* layout) : layout_(layout) {}
  LayoutRef(LayoutRef&& other) noexcept : layout_(std::exchange(other.layout_, nullptr)) {}
  LayoutRef& operator=(LayoutRef&&) = delete;
  ~LayoutRef() {
    if (layout_) g_object_unref(layout_);
  }
  PangoLayout* get() const { return layout_; }

 private:
  PangoLayout* layout_;
};

// How many texts a thread keeps measured, and how many laid out for drawing. A screen shows a
// few hundred distinct texts (labels, scales, read-outs); the read-outs change, so old ones go.
constexpr size_t kWidthCacheSize = 4096;
constexpr size_t kLayoutCacheSize = 512;

// One measuring layout per thread, with the widths and extents it measured.
class Measurer {
 public:
  explicit Measurer(bool hinted) : widths_(kWidthCacheSize) {
    PangoFontMap* map = pango_cairo_font_map_get_default();  // per thread
    ctx_ = pango_font_map_create_context(map);
    Configure(ctx_, hinted);
    layout_ = pango_layout_new(ctx_);
  }
  ~Measurer() {
    if (desc_) pango_font_description_free(desc_);
    g_object_unref(layout_);
    g_object_unref(ctx_);
  }

  FontExtents Extents(const ResolvedFont& font) {
    key_.clear();
    AppendFontKey(key_, font);
    auto it = extents_.find(key_);
    if (it != extents_.end()) return it->second;
    PangoFontDescription* desc = Describe(font);
    PangoFontMetrics* m = pango_context_get_metrics(ctx_, desc, nullptr);
    FontExtents e{};
    e.ascent = pango_font_metrics_get_ascent(m) / double(PANGO_SCALE);
    e.descent = pango_font_metrics_get_descent(m) / double(PANGO_SCALE);
    e.averageCharWidth = pango_font_metrics_get_approximate_char_width(m) / double(PANGO_SCALE);
    pango_font_metrics_unref(m);
    pango_font_description_free(desc);
    e.maxCharWidth = std::max(e.averageCharWidth, Width(font, "W"));
    if (extents_.size() > 256) extents_.clear();
    key_.clear();
    AppendFontKey(key_, font);  // Width used the key buffer
    extents_.emplace(key_, e);
    return e;
  }

  double Width(const ResolvedFont& font, std::string_view utf8) {
    key_.clear();
    AppendFontKey(key_, font);
    const size_t fontKeySize = key_.size();
    key_.append(utf8);
    if (const double* known = widths_.Find(key_)) return *known;
    // The layout keeps the last font it measured with: most texts come in runs of one font.
    if (fontKey_.compare(0, std::string::npos, key_, 0, fontKeySize) != 0) {
      if (desc_) pango_font_description_free(desc_);
      desc_ = Describe(font);
      pango_layout_set_font_description(layout_, desc_);
      fontKey_.assign(key_, 0, fontKeySize);
    }
    pango_layout_set_text(layout_, utf8.data(), static_cast<int>(utf8.size()));
    PangoRectangle logical;
    pango_layout_get_extents(layout_, nullptr, &logical);
    const double width = logical.width / double(PANGO_SCALE);
    widths_.Insert(key_, width);
    return width;
  }

 private:
  PangoContext* ctx_;
  PangoLayout* layout_;
  PangoFontDescription* desc_ = nullptr;  // the layout's font, described by fontKey_
  std::string fontKey_;
  std::string key_;  // lookup buffer, kept to keep its capacity
  LruCache<double> widths_;
  std::unordered_map<std::string, FontExtents> extents_;
};

// The measurers of one thread: unhinted (printing, fixed metrics) and hinted (screens). Distinct
// types, so each has a slot of its own (see ThreadSlot for why not a thread_local).
struct PlainMeasurer : Measurer {
  PlainMeasurer() : Measurer(false) {}
};
struct HintedMeasurer : Measurer {
  HintedMeasurer() : Measurer(true) {}
};

Measurer& ThreadMeasurer(bool hinted) {
  static auto* plain = new ThreadSlot<PlainMeasurer>;
  static auto* screen = new ThreadSlot<HintedMeasurer>;
  if (hinted) return screen->Get();
  return plain->Get();
}

// The layouts one thread drew, keyed by font, decorations and text, so a repeated text (a label,
// a scale, a read-out that did not change) is shaped once. Hinted and unhinted layouts live in
// contexts of their own. Before each use the context takes the target's font options and the
// transformation of the Cairo context it draws on; when those differ from the last use, Pango
// lays the cached texts out anew, so a layout never draws with a stale setting.
class LayoutCache {
 public:
  LayoutCache() : layouts_(kLayoutCacheSize) {
    PangoFontMap* map = pango_cairo_font_map_get_default();  // per thread
    for (int h = 0; h < 2; ++h) {
      ctx_[h] = pango_font_map_create_context(map);
      Configure(ctx_[h], h != 0);
    }
  }
  ~LayoutCache() {
    layouts_.Clear();
    for (PangoContext* c : ctx_) g_object_unref(c);
  }

  PangoLayout* Get(cairo_t* cr, const Font& font, const ResolvedFont& resolved, std::string_view utf8) {
    PangoContext* ctx = ctx_[resolved.hinted ? 1 : 0];
    pango_cairo_update_context(cr, ctx);
    key_.clear();
    AppendFontKey(key_, resolved);
    key_ += static_cast<char>((font.log.lfUnderline ? 1 : 0) | (font.log.lfStrikeOut ? 2 : 0));
    key_.append(utf8);
    if (LayoutRef* hit = layouts_.Find(key_)) return hit->get();
    PangoLayout* layout = pango_layout_new(ctx);
    PangoFontDescription* desc = Describe(resolved);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    if (font.log.lfUnderline || font.log.lfStrikeOut) {
      PangoAttrList* attrs = pango_attr_list_new();
      if (font.log.lfUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
      if (font.log.lfStrikeOut) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
      pango_layout_set_attributes(layout, attrs);
      pango_attr_list_unref(attrs);
    }
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    return layouts_.Insert(key_, LayoutRef(layout)).get();
  }

  size_t size() const { return layouts_.size(); }

 private:
  PangoContext* ctx_[2];
  std::string key_;  // lookup buffer, kept to keep its capacity
  LruCache<LayoutRef> layouts_;
};

LayoutCache& ThreadLayouts() {
  static auto* slot = new ThreadSlot<LayoutCache>;
  return slot->Get();
}

class PangoMetrics final : public TextMetricsProvider {
 public:
  FontExtents Extents(const ResolvedFont& font) const override { return ThreadMeasurer(font.hinted).Extents(font); }
  double Width(const ResolvedFont& font, std::string_view utf8) const override {
    return ThreadMeasurer(font.hinted).Width(font, utf8);
  }
};

class FixedMetrics final : public TextMetricsProvider {
 public:
  FontExtents Extents(const ResolvedFont& font) const override {
    const double em = font.emPixels;
    return FontExtents{0.8 * em, 0.2 * em, 0.5 * em, 0.5 * em};
  }
  double Width(const ResolvedFont& font, std::string_view utf8) const override {
    size_t chars = 0;
    for (unsigned char c : utf8)
      if ((c & 0xC0) != 0x80) ++chars;
    return chars * 0.5 * font.emPixels;
  }
};

}  // namespace

std::string StandInFamily(const char* face, bool& symbolLetters) {
  symbolLetters = false;
  std::string lower;
  for (const char* p = face; p && *p; ++p) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  if (lower.empty()) return kDefaultFamily;
  for (const auto& f : kFaces) {
    if (lower == f.requested) {
      symbolLetters = f.symbolLetters;
      return f.family;
    }
  }
  return face;  // an installed face by its own name, or fontconfig's nearest
}

std::string TextToUtf8(const Font& font, const char* text, int count) {
  if (!text) return {};
  const size_t n = count < 0 ? std::strlen(text) : static_cast<size_t>(count);
  // DEFAULT_CHARSET follows the active language, also for fonts made before it was chosen.
  const unsigned page = font.log.lfCharSet == DEFAULT_CHARSET ? ActiveCodePage() : font.codePage;
  if (!font.symbolLetters) return ToUtf8(std::string(text, n), page);
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 'A' && c <= 'Z')
      AppendUtf8(out, kSymbolUpper[c - 'A']);
    else if (c >= 'a' && c <= 'z')
      AppendUtf8(out, kSymbolLower[c - 'a']);
    else
      out += ToUtf8(std::string(1, static_cast<char>(c)), 1252);
  }
  return out;
}

ResolvedFont ResolveFont(const Font& font, const Dc& dc) {
  ResolvedFont r{font.family, 0, font.log.lfWeight > 0 ? static_cast<int>(font.log.lfWeight) : FW_NORMAL,
                 font.log.lfItalic != 0, !dc.IsPrinter()};
  const LONG h = font.log.lfHeight;
  if (h < 0) {
    r.emPixels = dc.LengthY(-static_cast<double>(h));
  } else {
    // A cell height: scale the em so that ascent + descent fill it.
    const double cell = h > 0 ? dc.LengthY(h) : kDefaultCellPixels * dc.dpi() / 96.0;
    ResolvedFont probe = r;
    probe.emPixels = 100;
    FontExtents e = dc.metrics->Extents(probe);
    const double cellPerEm = (e.ascent + e.descent) / 100;
    r.emPixels = cellPerEm > 0 ? cell / cellPerEm : cell;
  }
  r.emPixels = std::max(r.emPixels, 1.0);
  return r;
}

LineMetrics MetricsOf(const TextMetricsProvider& provider, const ResolvedFont& font) {
  FontExtents e = provider.Extents(font);
  return LineMetrics{static_cast<int>(std::lround(e.ascent)), static_cast<int>(std::lround(e.descent))};
}

int WidthOf(const TextMetricsProvider& provider, const ResolvedFont& font, std::string_view utf8) {
  return static_cast<int>(std::lround(provider.Width(font, utf8)));
}

void DrawLine(Dc& dc, const Font& font, const ResolvedFont& resolved, int x, int top, std::string_view utf8) {
  if (utf8.empty()) return;
  cairo_t* cr = dc.cr();
  const LineMetrics lm = MetricsOf(*dc.metrics, resolved);
  cairo_save(cr);
  cairo_translate(cr, x, top);
  if (font.log.lfEscapement != 0) cairo_rotate(cr, -font.log.lfEscapement / 10.0 * 3.14159265358979323846 / 180.0);
  if (dc.st.bkMode == OPAQUE) {
    SetSourceColor(cr, dc.st.bkColor);
    cairo_rectangle(cr, 0, 0, WidthOf(*dc.metrics, resolved, utf8), lm.height());
    cairo_fill(cr);
  }
  PangoLayout* layout = ThreadLayouts().Get(cr, font, resolved, utf8);
  // The baseline lies one ascent below the top, by the metrics the layout was measured with.
  const double baseline = pango_layout_get_baseline(layout) / double(PANGO_SCALE);
  cairo_move_to(cr, 0, lm.ascent - baseline);
  SetSourceColor(cr, dc.st.textColor);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
}

}  // namespace kvp::gdi

namespace kvp {

const TextMetricsProvider& PangoTextMetrics() {
  static const gdi::PangoMetrics provider;
  return provider;
}

const TextMetricsProvider& FixedTextMetrics() {
  static const gdi::FixedMetrics provider;
  return provider;
}

}  // namespace kvp
