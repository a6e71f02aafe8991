// Printer DCs and their documents: each DC draws into a Cairo PDF surface that writes into
// memory; EndDoc hands the finished PDF to its printer (a new file in the PDF folder, or a CUPS
// job), AbortDoc and a DC deleted mid-document throw it away.
#include <platform/codepage.h>
#include <platform/files.h>
#include <platform/gdi_surface.h>
#include <platform/print.h>
#include <platform/registry.h>

#include <cairo-pdf.h>
#include <cairo.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>

#include "print/PrintInternal.h"

namespace kvp::print {
namespace {

// ---------------------------------------------------------------------------------------------
// Where documents go.

std::string Home() {
  const char* home = getenv("HOME");
  return home && home[0] ? home : "/tmp";
}

// The XDG documents folder: XDG_DOCUMENTS_DIR of user-dirs.dirs, else ~/Documents.
std::string DocumentsFolder() {
  const char* config = getenv("XDG_CONFIG_HOME");
  std::string dirs = (config && config[0] ? std::string(config) : Home() + "/.config") + "/user-dirs.dirs";
  std::ifstream in(dirs);
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DOCUMENTS_DIR=";
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = Home() + value.substr(5);
    if (!value.empty() && value[0] == '/') return value;
  }
  return Home() + "/Documents";
}

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string dir = path.substr(0, slash);
    if (!dir.empty() && mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

// File-name part from a document name (UTF-8): no slashes or control characters.
std::string SafeName(const std::string& docName) {
  std::string out;
  for (unsigned char c : docName) out += (c < 0x20 || c == '/' || c == 0x7F) ? '_' : static_cast<char>(c);
  while (!out.empty() && (out.front() == '.' || out.front() == ' ')) out.erase(out.begin());
  return out.empty() ? "Document" : out;
}

std::string LocalTimeStamp() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H-%M-%S", &tm);
  return buf;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes `bytes` to a fresh temporary file made from `pattern` (ending in XXXXXX); its path or "".
std::string WriteTemporary(std::string pattern, const std::string& bytes) {
  int fd = mkstemp(pattern.data());
  if (fd < 0) return {};
  bool ok = WriteAll(fd, bytes) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok) {
    unlink(pattern.c_str());
    return {};
  }
  return pattern;
}

// Puts the PDF into the folder under a name no file has yet; the written path or "".
std::string WriteNewPdf(const std::string& folder, const std::string& docName, const std::string& pdf) {
  if (!MakeFolders(folder)) return {};
  const std::string temp = WriteTemporary(folder + "/.kvprint-XXXXXX", pdf);
  if (temp.empty()) return {};
  chmod(temp.c_str(), 0644);
  const std::string base = folder + "/" + SafeName(docName) + " " + LocalTimeStamp();
  std::string written;
  for (int n = 1; n < 1000 && written.empty(); ++n) {
    const std::string target = base + (n > 1 ? " (" + std::to_string(n) + ")" : "") + ".pdf";
    // A hard link never replaces an existing name, so a file of the same name is never lost.
    if (link(temp.c_str(), target.c_str()) == 0) {
      written = target;
    } else if (errno != EEXIST) {
      break;
    }
  }
  unlink(temp.c_str());
  return written;
}

std::mutex gLastMu;
std::string gLastPdf;

// ---------------------------------------------------------------------------------------------
// Jobs.

struct Job {
  enum class State { Idle, InDoc, InPage, Done };
  Printer printer;
  int copies = 1;
  cairo_surface_t* surface = nullptr;
  std::string pdf;  // what Cairo wrote so far
  State state = State::Idle;
  std::string docName;  // UTF-8
  int pages = 0;
  int jobId = 0;
  ~Job() {
    if (!surface) return;
    cairo_surface_finish(surface);  // no later write may reach this job through the DC's reference
    cairo_surface_destroy(surface);
  }
};

std::mutex gJobsMu;
std::map<HDC, std::shared_ptr<Job>> gJobs;
int gNextJobId = 1;

cairo_status_t WriteToJob(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<Job*>(closure)->pdf.append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::shared_ptr<Job> JobOf(HDC dc) {
  std::lock_guard lock(gJobsMu);
  auto it = gJobs.find(dc);
  if (it == gJobs.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!IsPrinterDC(dc)) {  // deleted: its document, if any, is dropped
    gJobs.erase(it);
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

// Drops the jobs of deleted DCs.
void SweepLocked() {
  for (auto it = gJobs.begin(); it != gJobs.end();) {
    it = IsPrinterDC(it->first) ? std::next(it) : gJobs.erase(it);
  }
}

bool Deliver(Job& job) {
  if (job.printer.cups) {
    const char* tmp = getenv("TMPDIR");
    const std::string file =
        WriteTemporary(std::string(tmp && tmp[0] ? tmp : "/tmp") + "/kvprint-XXXXXX", job.pdf);
    if (file.empty()) return false;
    bool ok = Backend().Submit(job.printer.name, job.docName, file, job.copies);
    unlink(file.c_str());
    std::lock_guard lock(gLastMu);
    gLastPdf.clear();
    return ok;
  }
  const std::string written = WriteNewPdf(job.printer.folder, job.docName, job.pdf);
  std::lock_guard lock(gLastMu);
  gLastPdf = written;
  return !written.empty();
}

}  // namespace

SIZE PageDots(const Printer& printer, short orientation) {
  // A4 210 x 297 mm, Letter 8.5 x 11 in.
  SIZE s = printer.letter ? SIZE{kDotsPerInch * 17 / 2, kDotsPerInch * 11}
                          : SIZE{std::lround(210 * kDotsPerInch / 25.4), std::lround(297 * kDotsPerInch / 25.4)};
  if (orientation == DMORIENT_LANDSCAPE) std::swap(s.cx, s.cy);
  return s;
}

std::string PdfFolder() {
  HKEY key;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return DocumentsFolder();
  }
  char value[1024];
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  LONG rc = RegQueryValueEx(key, "PdfFolder", nullptr, &type, reinterpret_cast<LPBYTE>(value), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return DocumentsFolder();
  value[std::min<DWORD>(size, sizeof value - 1)] = 0;
  if (!value[0]) return {};
  return MapPath(value);
}

std::vector<Printer> AvailablePrinters() {
  std::vector<Printer> out;
  CupsDestination dest;
  if (Backend().DefaultDestination(&dest) && !dest.name.empty()) {
    Printer p;
    p.name = dest.name;
    p.cups = true;
    p.letter = dest.letter;
    out.push_back(p);
  }
  std::string folder = PdfFolder();
  if (!folder.empty()) {
    Printer p;
    p.name = kPdfPrinterName;
    p.folder = folder;
    out.push_back(p);
  }
  return out;
}

bool FindPrinter(const std::string& name, Printer* printer) {
  for (const Printer& p : AvailablePrinters()) {
    if (p.name == name) {
      *printer = p;
      return true;
    }
  }
  return false;
}

std::string LastPdfFile() {
  std::lock_guard lock(gLastMu);
  return gLastPdf;
}

}  // namespace kvp::print

using namespace kvp::print;

extern "C" {

HDC CreateDC(LPCSTR, LPCSTR device, LPCSTR, const DEVMODE* devMode) {
  Printer printer;
  if (!device || !FindPrinter(device, &printer)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  short orientation = DMORIENT_PORTRAIT;
  auto job = std::make_shared<Job>();
  if (devMode) {
    if ((devMode->dmFields & DM_ORIENTATION) && devMode->dmOrientation == DMORIENT_LANDSCAPE) {
      orientation = DMORIENT_LANDSCAPE;
    }
    if (devMode->dmFields & DM_PAPERSIZE) {
      if (devMode->dmPaperSize == DMPAPER_LETTER) printer.letter = true;
      if (devMode->dmPaperSize == DMPAPER_A4) printer.letter = false;
    }
    if ((devMode->dmFields & DM_COPIES) && devMode->dmCopies > 0) job->copies = devMode->dmCopies;
  }
  job->printer = printer;
  const SIZE dots = PageDots(printer, orientation);
  const double toPoints = 72.0 / kDotsPerInch;
  job->surface = cairo_pdf_surface_create_for_stream(WriteToJob, job.get(), dots.cx * toPoints, dots.cy * toPoints);
  if (cairo_surface_status(job->surface) != CAIRO_STATUS_SUCCESS) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  cairo_pdf_surface_set_metadata(job->surface, CAIRO_PDF_METADATA_CREATOR, "KV310 platform");
  HDC dc = kvp::CreatePrinterDC(job->surface, kDotsPerInch, dots);
  if (!dc) return 0;
  std::lock_guard lock(gJobsMu);
  SweepLocked();
  gJobs[dc] = job;
  return dc;
}

int StartDoc(HDC dc, const DOCINFO* info) {
  auto job = JobOf(dc);
  if (!job || job->state != Job::State::Idle) return SP_ERROR;
  std::string name = info && info->lpszDocName ? info->lpszDocName : "";
  job->docName = kvp::ToUtf8(name, kvp::ActiveCodePage());
  cairo_pdf_surface_set_metadata(job->surface, CAIRO_PDF_METADATA_TITLE, job->docName.c_str());
  job->state = Job::State::InDoc;
  std::lock_guard lock(gJobsMu);
  job->jobId = gNextJobId++;
  return job->jobId;
}

int StartPage(HDC dc) {
  auto job = JobOf(dc);
  if (!job || job->state != Job::State::InDoc) return SP_ERROR;
  job->state = Job::State::InPage;
  ++job->pages;
  return 1;
}

int EndPage(HDC dc) {
  auto job = JobOf(dc);
  if (!job || job->state != Job::State::InPage) return SP_ERROR;
  cairo_surface_show_page(job->surface);
  job->state = Job::State::InDoc;
  return cairo_surface_status(job->surface) == CAIRO_STATUS_SUCCESS ? 1 : SP_ERROR;
}

int EndDoc(HDC dc) {
  auto job = JobOf(dc);
  if (!job || (job->state != Job::State::InDoc && job->state != Job::State::InPage)) return SP_ERROR;
  if (job->state == Job::State::InPage) cairo_surface_show_page(job->surface);
  cairo_surface_finish(job->surface);
  job->state = Job::State::Done;
  const bool ok = cairo_surface_status(job->surface) == CAIRO_STATUS_SUCCESS && job->pages > 0 && Deliver(*job);
  job->pdf.clear();
  return ok ? 1 : SP_ERROR;
}

int AbortDoc(HDC dc) {
  auto job = JobOf(dc);
  if (!job || (job->state != Job::State::InDoc && job->state != Job::State::InPage)) return SP_ERROR;
  cairo_surface_finish(job->surface);
  job->pdf.clear();
  job->state = Job::State::Done;
  return 1;
}

}  // extern "C"
