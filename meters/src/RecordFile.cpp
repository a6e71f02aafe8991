#include <meters/RecordFile.h>

#include <meters/Recorder.h>

#include <platform/afxfile.h>
#include <platform/afxwin.h>
#include <platform/byteorder.h>
#include <platform/files.h>
#include <platform/wholefile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

const char* const kRecordFileFilter = "Record files (*.rec)|*.rec|All files (*.*)|*.*||";

namespace {

using kvp::LoadLe;
using kvp::StoreLe;

enum : size_t {
  kVersion = 0,
  kChannels = 10,
  kDirect = 20,
  kRoll = 30,
  kRate = 40,
  kAngle = 50,
  kPerDivision = 60,
  kCoupling = 68,
  kUnit = 110,
  kRawUpper = 150,
  kRawLower = 155,
  kSamples = 200,
  kFullScale = 210,
  kSlotStride = 10,
};

// The sample rate as the header stores it: truncated, held inside the int32 range.
int32_t TruncatedRate(double rate) {
  if (!(rate > 0.0)) return 0;
  if (rate >= 2147483647.0) return 2147483647;
  return static_cast<int32_t>(rate);
}

}  // namespace

namespace meters::testing {
void FailRecordWritesAfter(long long bytes) { kvp::testing::FailReplaceFileWritesAfter(bytes); }
}  // namespace meters::testing

// ---- parsing -----------------------------------------------------------------------------------

bool ParseRecordFile(const uint8_t* data, size_t size, std::vector<std::unique_ptr<CRecord>>& out) {
  out.clear();
  if (!data || size < kRecordFileHeaderSize) return false;
  const int version = data[kVersion];
  const int n = data[kChannels];
  if (n > kRecordFileMaxChannels) return false;
  const int32_t m = LoadLe<int32_t>(data + kSamples);
  const int32_t rate = LoadLe<int32_t>(data + kRate);
  if (rate < 0) return false;
  if (n >= 1) {
    if (m < 0 || m > kRecordFileMaxSamples) return false;
    if (size - kRecordFileHeaderSize < 2ull * static_cast<uint64_t>(n) * static_cast<uint64_t>(m)) return false;
  }
  for (int k = 0; k < n; ++k) {
    const uint8_t* slot = data + k * kSlotStride;
    if (!std::isfinite(LoadLe<double>(slot + kPerDivision))) return false;
    if (version == 32 && !std::isfinite(LoadLe<double>(slot + kFullScale))) return false;
  }

  try {
    std::vector<std::unique_ptr<CRecord>> records;
    records.reserve(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
      const uint8_t* slot = data + k * kSlotStride;
      auto r = std::make_unique<CRecord>();
      r->m_bDirect = LoadLe<int32_t>(data + kDirect);
      r->m_bRoll = LoadLe<int32_t>(data + kRoll);
      r->m_bAngle = LoadLe<int32_t>(data + kAngle);
      r->m_dSampleRate = rate;
      r->m_nUnit = LoadLe<int32_t>(slot + kUnit);
      const double stored = LoadLe<double>(slot + kPerDivision);
      if (version == 16) {
        r->m_dFullScale = stored;
        r->m_dPerDivision = stored * 0.125;
      } else if (version == 32) {
        r->m_dPerDivision = stored;
        r->m_nCoupling = slot[kCoupling];
        r->m_nRawUpper = LoadLe<int16_t>(slot + kRawUpper);
        r->m_nRawLower = LoadLe<int16_t>(slot + kRawLower);
        r->m_dFullScale = LoadLe<double>(slot + kFullScale);
      } else {
        r->m_dPerDivision = stored;
      }
      r->m_nPenStyle = 2;
      r->m_bSaved = 1;
      r->m_bTransferPending = 0;
      r->SetLimitValues();
      r->m_Ring.init(m);
      r->m_nPointCount = m;
      records.push_back(std::move(r));
    }
    // Frame by frame, slot by slot.
    const uint8_t* p = data + kRecordFileHeaderSize;
    for (int32_t i = 0; i < m && n > 0; ++i)
      for (int k = 0; k < n; ++k, p += 2) records[static_cast<size_t>(k)]->m_Ring.append(LoadLe<int16_t>(p));
    out = std::move(records);
    return true;
  } catch (const std::bad_alloc&) {
    out.clear();
    return false;
  }
}

std::vector<uint8_t> BuildRecordFile(const CRecordList& list) {
  const int n = static_cast<int>(std::min<INT_PTR>(list.GetSize(), kRecordFileMaxChannels));
  int32_t m = 0;
  std::vector<uint8_t> header(kRecordFileHeaderSize, 0);
  uint8_t* h = header.data();
  h[kVersion] = kRecordFileVersion;
  h[kChannels] = static_cast<uint8_t>(n);
  for (int k = 0; k < kRecordFileMaxChannels; ++k) {
    uint8_t* slot = h + k * kSlotStride;
    StoreLe<int32_t>(slot + kUnit, CRecord::UNIT_NONE);
    StoreLe<int16_t>(slot + kRawUpper, 0x7FFF);
    StoreLe<int16_t>(slot + kRawLower, -0x8000);
  }
  for (int k = 0; k < n; ++k) {
    const CRecord* r = list[k];
    uint8_t* slot = h + k * kSlotStride;
    // The flags, rate and sample count come from the records; the last one written wins.
    StoreLe<int32_t>(h + kDirect, r->m_bDirect);
    StoreLe<int32_t>(h + kRoll, r->m_bRoll);
    StoreLe<int32_t>(h + kRate, TruncatedRate(r->m_dSampleRate));
    StoreLe<int32_t>(h + kAngle, r->m_bAngle);
    m = r->GetPointCount() < 0 ? 0 : r->GetPointCount();
    StoreLe<int32_t>(h + kSamples, m);
    StoreLe<double>(slot + kPerDivision, r->m_dPerDivision);
    slot[kCoupling] = static_cast<uint8_t>(r->m_nCoupling);
    StoreLe<int32_t>(slot + kUnit, r->m_nUnit);
    StoreLe<int16_t>(slot + kRawUpper, r->m_nRawUpper);
    StoreLe<int16_t>(slot + kRawLower, r->m_nRawLower);
    StoreLe<double>(slot + kFullScale, r->m_dFullScale);
  }
  std::vector<uint8_t> bytes(kRecordFileHeaderSize + 2ull * n * static_cast<uint64_t>(m), 0);
  std::memcpy(bytes.data(), header.data(), kRecordFileHeaderSize);
  uint8_t* p = bytes.data() + kRecordFileHeaderSize;
  for (int32_t i = 0; i < m; ++i)
    for (int k = 0; k < n; ++k, p += 2) StoreLe<int16_t>(p, list[k]->m_Ring.get(i));
  return bytes;
}

// ---- files -------------------------------------------------------------------------------------

RecordFileStatus WriteRecordFile(LPCSTR path) {
  RecordFileStatus status;
  CRecordList& list = GetRecordList();
  std::vector<uint8_t> bytes;
  try {
    bytes = BuildRecordFile(list);
  } catch (const std::bad_alloc&) {
    status.result = RecordFileResult::WriteFailed;
    return status;
  }
  const kvp::FileResult written = kvp::ReplaceFile(path, bytes.data(), bytes.size());
  if (written.failed == kvp::FileResult::Step::kOpen) {
    status.result = RecordFileResult::OpenFailed;
    status.osError = written.osError;
    return status;
  }
  if (!written.Ok()) {
    status.result = RecordFileResult::WriteFailed;
    return status;
  }
  for (INT_PTR k = 0; k < list.GetSize(); ++k) list[k]->m_bSaved = 1;
  GetRecorder().SetFileName(path);
  return status;
}

RecordFileStatus ReadRecordFile(LPCSTR path) {
  RecordFileStatus status;
  // A file can hold at most its header and four channels of the largest sample count.
  const size_t most = kRecordFileHeaderSize + 2ull * kRecordFileMaxChannels * kRecordFileMaxSamples;
  std::vector<uint8_t> bytes;
  const kvp::FileResult read = kvp::ReadWholeFile(path, most, bytes);
  if (read.failed == kvp::FileResult::Step::kOpen) {
    status.result = RecordFileResult::OpenFailed;
    status.osError = read.osError;
    return status;
  }
  std::vector<std::unique_ptr<CRecord>> records;
  try {
    if (!read.Ok() || !ParseRecordFile(bytes.data(), bytes.size(), records)) {
      status.result = RecordFileResult::ReadFailed;
      return status;
    }
  } catch (const std::bad_alloc&) {
    status.result = RecordFileResult::ReadFailed;
    return status;
  }

  ClearRecordList();
  const int height = GetRecordChartHeight();
  CRecordList& list = GetRecordList();
  for (size_t k = 0; k < records.size(); ++k) {
    records[k]->FinishLook(static_cast<int>(k), height);
    list.Add(records[k].release());
  }
  GetRecorder().SetFileName(path);
  return status;
}

// ---- the commands ------------------------------------------------------------------------------

namespace {

RecordPathAsker& Asker() {
  static RecordPathAsker asker;
  return asker;
}

CString SystemText(LONG osError) {
  char buffer[512] = {};
  FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(osError),
                MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, sizeof buffer, nullptr);
  return CString(buffer);
}

void Exclaim(LPCSTR text) { AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION); }

}  // namespace

void SetRecordPathAsker(RecordPathAsker asker) { Asker() = std::move(asker); }

CString DefaultRecordFileName() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  CString name;
  name.Format("Record_%d-%d_%dh%2dm", now.wDay, now.wMonth, now.wHour, now.wMinute);
  return name;
}

int SaveRecordFile() {
  RecordPathRequest request;
  request.save = true;
  request.defaultName = DefaultRecordFileName();
  request.filter = kRecordFileFilter;
  request.flags = kOfnHideReadOnly | kOfnOverwritePrompt;
  CString path;
  if (!Asker() || !Asker()(request, path)) return 0;
  const RecordFileStatus status = WriteRecordFile(path);
  switch (status.result) {
    case RecordFileResult::Ok: return 1;
    case RecordFileResult::OpenFailed: {
      CString text;
      text.Format("Couldn't open file: %s", (LPCSTR)SystemText(status.osError));
      Exclaim(text);
      return 0;
    }
    default: Exclaim("Cannot write data to file!"); return 0;
  }
}

int OpenRecordFile() {
  RecordPathRequest request;
  request.save = false;
  request.filter = kRecordFileFilter;
  request.flags = kOfnFileMustExist;
  CString path;
  if (!Asker() || !Asker()(request, path)) return 0;
  const RecordFileStatus status = ReadRecordFile(path);
  switch (status.result) {
    case RecordFileResult::Ok: return 1;
    case RecordFileResult::OpenFailed: {
      CString text;
      text.Format("Couldn't open source file: %s", (LPCSTR)SystemText(status.osError));
      Exclaim(text);
      return 0;
    }
    default: Exclaim("Couldn't read from record file!"); return 0;
  }
}
