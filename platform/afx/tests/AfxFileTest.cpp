// CFile (sharing between handles and processes, zero fill, short reads, exceptions), the system's
// error texts, and CTime's format with the '#' flag.
#include <platform/afxfile.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (fs::current_path() / "cfile.bin").string();
    fs::remove(path_);
  }
  std::string path_;
};

TEST_F(FileTest, WritingPastTheEndFillsWithZerosAndShortReadsShow) {
  CFile f;
  ASSERT_TRUE(f.Open(path_.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary));
  f.Write("ab", 2);
  EXPECT_EQ(f.Seek(6, CFile::begin), 6u);
  f.Write("z", 1);
  EXPECT_EQ(f.GetLength(), 7u);
  EXPECT_EQ(f.Seek(-3, CFile::end), 4u);
  EXPECT_EQ(f.Seek(1, CFile::current), 5u);
  f.SeekToBegin();
  char buf[16];
  EXPECT_EQ(f.Read(buf, sizeof buf), 7u);  // fewer than asked: the end
  EXPECT_EQ(std::string(buf, 7), std::string("ab\0\0\0\0z", 7));
  EXPECT_EQ(f.Read(buf, sizeof buf), 0u);
  try {
    f.Seek(-1, CFile::begin);
    ADD_FAILURE() << "no exception";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, CFileException::badSeek);
    e->Delete();
  }
  f.Close();
  // modeNoTruncate keeps the contents; modeCreate alone empties the file.
  ASSERT_TRUE(f.Open(path_.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeRead));
  EXPECT_EQ(f.GetLength(), 7u);
  try {
    f.Write("x", 1);
    ADD_FAILURE() << "no exception";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, CFileException::accessDenied);
    char text[128];
    EXPECT_TRUE(e->GetErrorMessage(text, sizeof text));
    EXPECT_NE(std::string(text).find(path_), std::string::npos) << text;
    e->Delete();
  }
  f.Close();
  ASSERT_TRUE(f.Open(path_.c_str(), CFile::modeCreate | CFile::modeWrite));
  EXPECT_EQ(f.GetLength(), 0u);
}

TEST_F(FileTest, SharingRulesHoldBetweenHandlesAndProcesses) {
  { CFile make(path_.c_str(), CFile::modeCreate | CFile::modeWrite); make.Write("data", 4); }
  using F = CFile;
  struct Case {
    UINT first, second;
    bool secondOpens;
  };
  const Case cases[] = {
      {F::modeRead | F::shareExclusive, F::modeRead | F::shareDenyNone, false},
      {F::modeReadWrite | F::shareExclusive, F::modeRead | F::shareDenyNone, false},
      {F::modeRead | F::shareDenyWrite, F::modeRead | F::shareDenyWrite, true},
      {F::modeRead | F::shareDenyWrite, F::modeWrite | F::shareDenyNone, false},
      {F::modeRead | F::shareDenyNone, F::modeRead | F::shareExclusive, false},   // would deny its reading
      {F::modeWrite | F::shareDenyNone, F::modeRead | F::shareDenyWrite, false},  // would deny its writing
      {F::modeWrite | F::shareDenyNone, F::modeWrite | F::shareDenyNone, true},
      {F::modeRead | F::shareDenyRead, F::modeWrite | F::shareDenyNone, true},
  };
  const std::string peer = std::string(getenv("KV_BIN_DIR") ? getenv("KV_BIN_DIR") : "bin") + "/tests/platform_file_peer";
  for (const Case& c : cases) {
    CFile first;
    ASSERT_TRUE(first.Open(path_.c_str(), c.first)) << std::hex << c.first;
    CFile second;
    CFileException error;
    EXPECT_EQ(second.Open(path_.c_str(), c.second, &error), c.secondOpens) << std::hex << c.first << " " << c.second;
    if (!c.secondOpens) {
      EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
      EXPECT_EQ(error.m_lOsError, ERROR_SHARING_VIOLATION);
    }
    second.Abort();
    char flags[16];
    snprintf(flags, sizeof flags, "%x", c.second);
    EXPECT_EQ(Capture(peer + " cfile-open '" + path_ + "' " + flags),
              c.secondOpens ? "1\n" : "0 " + std::to_string(CFileException::sharingViolation) + "\n")
        << "other process, " << std::hex << c.first << " " << c.second;
  }
  // A refused modeCreate does not empty the file.
  CFile holder(path_.c_str(), CFile::modeRead | CFile::shareDenyWrite);
  CFile truncating;
  EXPECT_FALSE(truncating.Open(path_.c_str(), CFile::modeCreate | CFile::modeWrite));
  EXPECT_EQ(holder.GetLength(), 4u);
}

TEST_F(FileTest, OpenFailuresFillTheException) {
  CFile f;
  CFileException e;
  EXPECT_FALSE(f.Open((fs::current_path() / "missing.bin").c_str(), CFile::modeRead, &e));
  EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(e.m_lOsError, ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(f.Open((fs::current_path() / "no" / "such" / "x.bin").c_str(), CFile::modeCreate | CFile::modeWrite, &e));
  EXPECT_EQ(e.m_cause, CFileException::badPath);
  EXPECT_FALSE(f.Open(fs::current_path().c_str(), CFile::modeRead, &e));
  EXPECT_EQ(e.m_cause, CFileException::accessDenied);
  try {
    CFile thrown((fs::current_path() / "missing.bin").c_str(), CFile::modeRead);
    ADD_FAILURE() << "no exception";
  } catch (CFileException* ex) {
    EXPECT_EQ(ex->m_cause, CFileException::fileNotFound);
    ex->Delete();
  }
}

TEST(FormatMessageTest, SystemTextsOfErrors) {
  struct Case {
    DWORD code;
    const char* text;
  };
  const Case cases[] = {
      {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
      {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
      {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is being used by another process.\r\n"},
      {ERROR_TIMEOUT, "This operation returned because the timeout period expired.\r\n"},
  };
  for (const Case& c : cases) {
    char buf[256];
    DWORD n = FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, c.code,
                            MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buf, sizeof buf, nullptr);
    EXPECT_EQ(std::string(buf, n), c.text);
  }
  LPSTR allocated = nullptr;
  DWORD n = FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_INVALID_HANDLE, 0,
                          reinterpret_cast<LPSTR>(&allocated), 0, nullptr);
  ASSERT_NE(allocated, nullptr);
  EXPECT_EQ(std::string(allocated, n), "The handle is invalid.\r\n");
  LocalFree(allocated);
  char small[8];
  EXPECT_EQ(FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, small, sizeof small, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x12345, 0, small, sizeof small, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

TEST(CTimeTest, FormatHonoursTheHashFlag) {
  const CTime t(2027, 3, 5, 9, 7, 4);
  struct Case {
    const char* format;
    const char* text;
  };
  const Case cases[] = {
      {"%#d.%m.%Y  %#H:%M", "5.03.2027  9:07"},
      {"%d.%m.%Y %H:%M:%S", "05.03.2027 09:07:04"},
      {"%#m/%#d/%#y %#S%%", "3/5/27 4%"},
      {"%A %B", "Friday March"},
  };
  for (const Case& c : cases) EXPECT_STREQ(t.Format(c.format), c.text) << c.format;
  EXPECT_EQ(t.GetYear(), 2027);
  EXPECT_EQ(t.GetDayOfWeek(), 6);  // Friday; 1 = Sunday
  SYSTEMTIME st{};
  GetLocalTime(&st);
  EXPECT_GE(st.wYear, 2024);
  EXPECT_EQ(CTime(st).GetMinute(), st.wMinute);
  EXPECT_LE(std::llabs(static_cast<long long>(CTime::GetCurrentTime().GetTime() - CTime(st).GetTime())), 2);
}

}  // namespace
