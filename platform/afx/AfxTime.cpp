// Local time, CTime and its Format with the '#' flag.
#include <platform/afxfile.h>
#include <platform/codepage.h>

#include <sys/time.h>

#include <cstring>

namespace {

void Fill(const struct tm& tm, long millis, SYSTEMTIME* st) {
  st->wYear = static_cast<WORD>(tm.tm_year + 1900);
  st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  st->wDay = static_cast<WORD>(tm.tm_mday);
  st->wHour = static_cast<WORD>(tm.tm_hour);
  st->wMinute = static_cast<WORD>(tm.tm_min);
  st->wSecond = static_cast<WORD>(tm.tm_sec);
  st->wMilliseconds = static_cast<WORD>(millis);
}

void Now(SYSTEMTIME* st, bool local) {
  if (!st) return;
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm tm {};
  time_t secs = tv.tv_sec;
  if (local) {
    localtime_r(&secs, &tm);
  } else {
    gmtime_r(&secs, &tm);
  }
  Fill(tm, tv.tv_usec / 1000, st);
}

}  // namespace

extern "C" {
void GetLocalTime(LPSYSTEMTIME st) { Now(st, true); }
void GetSystemTime(LPSYSTEMTIME st) { Now(st, false); }
}

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int dst) {
  struct tm tm {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = dst < 0 ? -1 : dst > 0;
  m_time = mktime(&tm);
}

CTime::CTime(const SYSTEMTIME& st, int dst)
    : CTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, dst) {}

CTime CTime::GetCurrentTime() { return CTime(time(nullptr)); }

struct tm CTime::Local() const {
  struct tm tm {};
  localtime_r(&m_time, &tm);
  return tm;
}

int CTime::GetYear() const { return Local().tm_year + 1900; }
int CTime::GetMonth() const { return Local().tm_mon + 1; }
int CTime::GetDay() const { return Local().tm_mday; }
int CTime::GetHour() const { return Local().tm_hour; }
int CTime::GetMinute() const { return Local().tm_min; }
int CTime::GetSecond() const { return Local().tm_sec; }
int CTime::GetDayOfWeek() const { return Local().tm_wday + 1; }

BOOL CTime::GetAsSystemTime(SYSTEMTIME& st) const {
  Fill(Local(), 0, &st);
  return TRUE;
}

CString CTime::Format(LPCSTR format) const {
  if (!format) return CString();
  const struct tm tm = Local();
  std::string out;
  char buf[128];
  for (const char* p = format; *p; ++p) {
    if (*p != '%' || !p[1]) {
      out += *p;
      continue;
    }
    ++p;
    bool dropZeros = false;
    if (*p == '#' && p[1]) {
      dropZeros = true;
      ++p;
    }
    if (*p == '%') {
      out += '%';
      continue;
    }
    const char spec[3] = {'%', *p, 0};
    size_t n = strftime(buf, sizeof buf, spec, &tm);
    std::string piece(buf, n);
    if (dropZeros && strchr("dHIjmMSUwWyY", *p)) {
      while (piece.size() > 1 && piece[0] == '0') piece.erase(0, 1);
    }
    out += piece;
  }
  // Names of days and months come in the program's locale (C: English, ASCII).
  return CString(kvp::FromUtf8(out, kvp::ActiveCodePage()));
}
