// Code-page conversion with iconv. Conversion descriptors are kept per thread (iconv_t is not
// safe to share) and per direction, so the drawing layer can convert every text it draws cheaply.
#include <platform/codepage.h>

#include "base/ThreadSlot.h"

#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <utility>

namespace {

struct CharsetPage {
  int charset;
  unsigned codePage;
};
constexpr CharsetPage kCharsetPages[] = {
    {ANSI_CHARSET, 1252},       {SYMBOL_CHARSET, 1252},  {SHIFTJIS_CHARSET, 932},     {HANGUL_CHARSET, 949},
    {GB2312_CHARSET, 936},      {CHINESEBIG5_CHARSET, 950}, {GREEK_CHARSET, 1253},    {TURKISH_CHARSET, 1254},
    {HEBREW_CHARSET, 1255},     {ARABIC_CHARSET, 1256},  {BALTIC_CHARSET, 1257},      {RUSSIAN_CHARSET, 1251},
    {THAI_CHARSET, 874},        {EASTEUROPE_CHARSET, 1250},
};

// The code pages a language library may name, with their iconv names.
struct PageName {
  unsigned codePage;
  const char* iconvName;
};
constexpr PageName kPages[] = {
    {1250, "CP1250"}, {1251, "CP1251"}, {1252, "CP1252"}, {1253, "CP1253"}, {1254, "CP1254"},
    {1255, "CP1255"}, {1256, "CP1256"}, {1257, "CP1257"}, {874, "CP874"},   {932, "CP932"},
    {936, "CP936"},   {949, "CP949"},   {950, "CP950"},
};

std::atomic<unsigned> gActivePage{1252};

const char* IconvName(unsigned codePage) {
  for (const auto& p : kPages)
    if (p.codePage == codePage) return p.iconvName;
  return nullptr;
}

unsigned Resolve(unsigned codePage) {
  if (codePage == CP_ACP) return gActivePage.load(std::memory_order_relaxed);
  if (codePage == CP_UTF8 || IconvName(codePage)) return codePage;
  return 1252;
}

class Converters {
 public:
  ~Converters() {
    for (auto& [key, cd] : open_) iconv_close(cd);
  }
  // toUtf8: code page -> UTF-8, else UTF-8 -> code page. (iconv_t)-1 when iconv lacks the page.
  iconv_t Get(unsigned codePage, bool toUtf8) {
    auto key = std::make_pair(codePage, toUtf8);
    auto it = open_.find(key);
    if (it != open_.end()) {
      iconv(it->second, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
      return it->second;
    }
    const char* name = IconvName(codePage);
    iconv_t cd = toUtf8 ? iconv_open("UTF-8", name) : iconv_open(name, "UTF-8");
    if (cd != (iconv_t)-1) open_.emplace(key, cd);
    return cd;
  }

 private:
  std::map<std::pair<unsigned, bool>, iconv_t> open_;
};

// The calling thread's converters (see ThreadSlot for why not a thread_local).
Converters& ThreadConverters() {
  static auto* slot = new kvp::ThreadSlot<Converters>;
  return slot->Get();
}

// Length of the UTF-8 sequence a lead byte starts (1 for a stray byte, so it is skipped alone).
size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

// Runs the conversion; a byte sequence without a place in the target becomes '?' and the
// conversion goes on after it.
std::string Convert(const std::string& in, iconv_t cd, bool fromUtf8) {
  std::string out;
  out.reserve(in.size() * (fromUtf8 ? 1 : 2) + 8);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buf[1024];
  while (srcLeft > 0) {
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf, static_cast<size_t>(dst - buf));
    if (r != (size_t)-1) continue;
    if (errno == E2BIG) continue;
    // EILSEQ (no place in the target, or invalid input) or EINVAL (cut at the end).
    size_t skip = fromUtf8 ? Utf8Length(static_cast<unsigned char>(*src)) : 1;
    if (skip > srcLeft) skip = srcLeft;
    out.push_back('?');
    src += skip;
    srcLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  // Flush any shift state the target needs at its end.
  char* dst = buf;
  size_t dstLeft = sizeof buf;
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out.append(buf, static_cast<size_t>(dst - buf));
  return out;
}

}  // namespace

namespace kvp {

PLATFORM_API unsigned CodePageOfCharset(int charset) {
  if (charset == DEFAULT_CHARSET) return ActiveCodePage();
  for (const auto& c : kCharsetPages)
    if (c.charset == charset) return c.codePage;
  return 1252;
}

PLATFORM_API std::string ToUtf8(const std::string& bytes, unsigned codePage) {
  unsigned page = Resolve(codePage);
  if (page == CP_UTF8) return bytes;
  iconv_t cd = ThreadConverters().Get(page, true);
  if (cd == (iconv_t)-1) return bytes;
  return Convert(bytes, cd, false);
}

PLATFORM_API std::string FromUtf8(const std::string& utf8, unsigned codePage) {
  unsigned page = Resolve(codePage);
  if (page == CP_UTF8) return utf8;
  iconv_t cd = ThreadConverters().Get(page, false);
  if (cd == (iconv_t)-1) return utf8;
  return Convert(utf8, cd, true);
}

PLATFORM_API void SetActiveCodePage(unsigned codePage) {
  // An unknown page (a language library naming something we cannot convert) falls back to the
  // default rather than leaving texts unconvertible.
  unsigned page = (codePage == CP_ACP || codePage == CP_UTF8 || !IconvName(codePage)) ? 1252 : codePage;
  gActivePage.store(page, std::memory_order_relaxed);
}

PLATFORM_API unsigned ActiveCodePage() { return gActivePage.load(std::memory_order_relaxed); }

}  // namespace kvp
