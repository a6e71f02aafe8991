// The program mapping (HKLM "SOFTWARE\KV310Platform\Programs"), shared by the file functions and
// process start.
#pragma once

#include <string>

namespace kvp::process {
// The Linux path a Windows program path is mapped to, or "" when it is not mapped.
std::string MappedProgram(const std::string& windowsPath);
}  // namespace kvp::process
