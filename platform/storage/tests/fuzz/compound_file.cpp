// Fuzz target of the compound-file reader: the input is read as a compound file, and also used
// as patches (offset, byte pairs) on a valid file with streams of every size class, so the
// reader's checks of sectors, chains and directory entries all see damage. Whatever the bytes,
// reading returns a result and a tree that reads back is written again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "storage/CompoundFile.h"

#include <platform/storage.h>

using kvp::storage::Entry;

extern const char* const kFuzzSeeds[] = {
    "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1",
    "\x00\x02\x30\x00\x44\x01\x74\x00\x75\x00\x78\x02",
    nullptr,
};

namespace {

const std::string& ValidFile() {
  static const std::string bytes = [] {
    Entry root;
    root.isStorage = true;
    auto small = std::make_shared<Entry>();
    small->data.assign(225, 0xA1);
    auto large = std::make_shared<Entry>();
    for (int i = 0; i < 5000; ++i) large->data.push_back(static_cast<unsigned char>(i % 251));
    auto sub = std::make_shared<Entry>();
    sub->isStorage = true;
    sub->children["inner"] = small;
    root.children["CustomSet_1"] = small;
    root.children["Large"] = large;
    root.children["Sub"] = sub;
    std::string out;
    if (FAILED(kvp::storage::SerializeCompound(root, &out))) abort();
    return out;
  }();
  return bytes;
}

void Read(const std::string& bytes) {
  Entry root;
  if (SUCCEEDED(kvp::storage::ParseCompound(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                             &root))) {
    std::string again;
    if (FAILED(kvp::storage::SerializeCompound(root, &again))) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Read(std::string(reinterpret_cast<const char*>(data), size));
  std::string patched = ValidFile();
  for (size_t i = 0; i + 2 < size; i += 3) {
    const size_t offset = (static_cast<size_t>(data[i]) << 8 | data[i + 1]) % patched.size();
    patched[offset] = static_cast<char>(data[i + 2]);
  }
  if (size % 7 == 3) patched.resize(patched.size() * data[0] / 256);  // truncated files too
  Read(patched);
  return 0;
}
