// Fuzz target of the record-file parser: the input is parsed as a record file, and also used as
// patches (offset, byte) on a valid two-channel file, so the parser's checks of the header
// fields, counts and doubles all see damage. Whatever the bytes, parsing either refuses them or
// gives records whose rings hold exactly the announced samples, and those write back unchanged.
#include <meters/RecordFile.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern const char* const kFuzzSeeds[] = {
    "\x20\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02",
    "\x10\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01",
    "\x00\x00\x0a\x04\xc8\x00\xd2\x7f\x96\xff",
    nullptr,
};

namespace {

const std::vector<uint8_t>& ValidFile() {
  static const std::vector<uint8_t> bytes = [] {
    CRecordList list;
    CRecord a, b;
    for (CRecord* r : {&a, &b}) {
      r->m_dPerDivision = 1.0;
      r->m_dFullScale = 8.0;
      r->m_dSampleRate = 1000.0;
      r->m_nPointCount = 16;
      r->m_Ring.init(16);
      for (int i = 0; i < 16; ++i) r->m_Ring.append(static_cast<SHORT>(i * 1000 - 8000));
      list.Add(r);
    }
    return BuildRecordFile(list);
  }();
  return bytes;
}

void Check(const uint8_t* data, size_t size) {
  std::vector<std::unique_ptr<CRecord>> records;
  if (!ParseRecordFile(data, size, records)) {
    if (!records.empty()) abort();
    return;
  }
  if (records.size() > 4 || size < 1000) abort();
  CRecordList list;
  for (auto& r : records) {
    if (r->GetSampleCount() != r->GetPointCount()) abort();
    for (int i = 0; i < r->GetPointCount(); ++i) (void)r->GetPointValue(i), (void)r->GetClipCode(i);
    list.Add(r.get());
  }
  const std::vector<uint8_t> again = BuildRecordFile(list);
  if (data[0] == 32 && !records.empty() && std::memcmp(again.data() + 1000, data + 1000, again.size() - 1000) != 0) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check(data, size);
  std::vector<uint8_t> patched = ValidFile();
  for (size_t i = 0; i + 2 < size; i += 3) {
    const size_t at = (static_cast<size_t>(data[i]) << 8 | data[i + 1]) % patched.size();
    patched[at] = data[i + 2];
  }
  Check(patched.data(), patched.size());
  return 0;
}
