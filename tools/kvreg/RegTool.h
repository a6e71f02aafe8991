// What kv-reg does with the registry: apply parsed changes, write keys out as .reg text.
#pragma once

#include <string>
#include <vector>

#include "RegText.h"

namespace kvreg {

struct ImportOptions {
  // Only add what is missing: existing values are never overwritten and nothing is deleted.
  bool missingOnly = false;
};

// Applies the changes in file order. Returns false with a message on the first registry failure.
bool ApplyChanges(const std::vector<RegKeyChange>& keys, const ImportOptions& options, std::string& error);

// The key (root plus path) and everything below it as REGEDIT4 text, without the header.
bool ExportKey(HKEY root, const std::string& path, std::string& out, std::string& error);

}  // namespace kvreg
