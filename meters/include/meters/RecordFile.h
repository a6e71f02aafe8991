// Record files (.rec): the records of one recording, up to four channels, for the record analyzer
// to show later. Written in version 32, read in versions 16 and 32. Little-endian numbers, IEEE
// 754 doubles; a 1000-byte header at fixed offsets (bytes no field covers are 0), then the raw
// samples interleaved by channel: size = 1000 + 2 x n x m.
//
//   offset       type  field
//   0            u8    version (32; 16 stores the full scale where 32 stores the per-division value)
//   10           u8    channels n (at most 4)
//   20/30/50     i32   direct / roll / angle-mode flag
//   40           i32   sample rate, truncated
//   60 + 10k     f64   per-division value of slot k
//   68 + 10k     u8    coupling (1 AC, 0 DC)
//   110 + 10k    i32   unit code (0 V, 1 A; 10 in an empty slot)
//   150 + 10k    i16   raw upper limit (0x7FFF in an empty slot)
//   155 + 10k    i16   raw lower limit (-0x8000 in an empty slot)
//   200          i32   samples per channel m
//   210 + 10k    f64   full-scale value (value of raw 32767)
//   1000         i16   frame i: slot 0..n-1
//
// The reader checks everything before it changes anything: a bad file leaves the current records
// as they are. The writer writes a temporary file beside the target and renames it over the
// target only after a complete write, so an old file is replaced only by a complete one.
#pragma once

#include <meters/Record.h>

#include <platform/afx.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

enum { kRecordFileHeaderSize = 1000, kRecordFileVersion = 32, kRecordFileMaxChannels = 4 };
// The most samples per channel a file may announce (a sanity bound of the reader).
constexpr int32_t kRecordFileMaxSamples = 64 * 1024 * 1024;

enum class RecordFileResult {
  Ok,
  OpenFailed,   // the file could not be opened or created; osError holds the system's code
  WriteFailed,  // a write, close or the final rename failed; the target is unchanged
  ReadFailed,   // a read failed or the contents are not a valid record file
};

struct RecordFileStatus {
  RecordFileResult result = RecordFileResult::Ok;
  LONG osError = 0;
};

// Parses a whole record file held in memory into new records (not in the list): every field of
// the header, rings of capacity m with their samples, point counts m, limit values, saved 1.
// Returns false (and leaves `out` empty) for contents that are not a valid record file.
bool ParseRecordFile(const uint8_t* data, size_t size, std::vector<std::unique_ptr<CRecord>>& out);
// The bytes of a record file of the records.
std::vector<uint8_t> BuildRecordFile(const CRecordList& records);

// Writes the record list to path (through a temporary file and a rename); on success marks the
// records saved and stores the path as the recorder's file name.
RecordFileStatus WriteRecordFile(LPCSTR path);
// Reads path; a valid file replaces the record list (ClearRecordList, then its records with the
// look of finished records) and becomes the recorder's file name. Anything else changes nothing.
RecordFileStatus ReadRecordFile(LPCSTR path);

// The question for a path, answered by the file dialog: save (default name, overwrite prompt,
// read-only box hidden) or open (the file must exist); extension "rec" and kRecordFileFilter.
struct RecordPathRequest {
  bool save = false;
  CString defaultName;
  const char* defaultExtension = "rec";
  const char* filter = nullptr;
  DWORD flags = 0;
};
extern const char* const kRecordFileFilter;
enum : DWORD { kOfnOverwritePrompt = 0x2, kOfnHideReadOnly = 0x4, kOfnFileMustExist = 0x1000 };
// Returns the chosen path, or false when the user cancelled.
using RecordPathAsker = std::function<bool(const RecordPathRequest& request, CString& path)>;
// Installs the dialog (tests install a stand-in); without one every request is cancelled.
void SetRecordPathAsker(RecordPathAsker asker);
// "Record_%d-%d_%dh%2dm" of day, month, hour and minute of the local time.
CString DefaultRecordFileName();

// The save and open commands: dialog, file, messages. 1 written (read), 0 cancelled or failed.
int SaveRecordFile();
int OpenRecordFile();

namespace meters::testing {
// Makes the record-file writer fail once it has written `bytes` bytes (-1: never).
void FailRecordWritesAfter(long long bytes);
}  // namespace meters::testing
