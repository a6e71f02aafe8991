// The contents of a compound (CFB) file as a tree in memory, read from and written to bytes with
// libgsf. Names are UTF-8. Reading checks every size against the bytes there are, so a corrupt or
// truncated file is an error result, never a crash or an allocation of what a header claims.
#pragma once

#include <platform/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kvp::storage {

struct Entry {
  bool isStorage = false;
  std::vector<unsigned char> data;  // a stream's bytes
  // A storage's children by name; compound-file names compare without regard to case.
  struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, std::shared_ptr<Entry>, NameLess> children;
};

// Parses a compound file; S_OK or STG_E_INVALIDHEADER (not a compound file),
// STG_E_DOCFILECORRUPT (damaged), E_OUTOFMEMORY.
HRESULT ParseCompound(const unsigned char* bytes, size_t size, Entry* root);
// Writes the tree as a compound file (small streams in the mini stream); S_OK or an error.
HRESULT SerializeCompound(const Entry& root, std::string* bytes);

}  // namespace kvp::storage
