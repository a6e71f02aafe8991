// The CUPS side of printing: the default destination and job submission through libcups. Every
// talk to the server is bounded: the connection is given one second and each read two, so a
// missing or hung server means "no CUPS printer", never a stalled program.
#include <cups/cups.h>

#include <atomic>
#include <cstring>

#include "print/PrintInternal.h"

namespace kvp::print {
namespace {

constexpr int kConnectMs = 1000;
constexpr double kReadSeconds = 2.0;

int GiveUp(http_t*, void*) { return 0; }

http_t* Connect() {
  http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectMs, nullptr);
  if (http) httpSetTimeout(http, kReadSeconds, GiveUp, nullptr);
  return http;
}

bool MediumIsLetter(const cups_dest_t* dest) {
  for (const char* option : {"media", "media-default", "PageSize"}) {
    const char* value = cupsGetOption(option, dest->num_options, dest->options);
    if (!value) continue;
    return strcasestr(value, "letter") != nullptr;
  }
  return false;
}

class RealCups final : public CupsBackend {
 public:
  bool DefaultDestination(CupsDestination* out) override {
    http_t* http = Connect();
    if (!http) return false;
    cups_dest_t* dest = cupsGetNamedDest(http, nullptr, nullptr);
    bool found = dest && dest->name && dest->name[0];
    if (found) {
      out->name = dest->name;
      out->letter = MediumIsLetter(dest);
    }
    if (dest) cupsFreeDests(1, dest);
    httpClose(http);
    return found;
  }

  bool Submit(const std::string& destination, const std::string& title, const std::string& pdfPath,
              int copies) override {
    http_t* http = Connect();
    if (!http) return false;
    cups_option_t* options = nullptr;
    int count = 0;
    count = cupsAddOption("copies", std::to_string(copies > 0 ? copies : 1).c_str(), count, &options);
    count = cupsAddOption("document-format", "application/pdf", count, &options);
    int job = cupsPrintFile2(http, destination.c_str(), pdfPath.c_str(), title.c_str(), count, options);
    cupsFreeOptions(count, options);
    httpClose(http);
    return job > 0;
  }
};

RealCups gReal;
std::atomic<CupsBackend*> gBackend{nullptr};

}  // namespace

CupsBackend& Backend() {
  CupsBackend* b = gBackend.load();
  return b ? *b : gReal;
}

CupsBackend* SetCupsBackend(CupsBackend* backend) {
  CupsBackend* old = gBackend.exchange(backend);
  return old ? old : &gReal;
}

}  // namespace kvp::print
