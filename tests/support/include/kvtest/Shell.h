// Running a shell command from a test and reading what it prints: the read-back of printed PDF
// files with poppler (pdfinfo, pdftotext), of compound files with gsf, and the look-up of tools.
#pragma once

#include <cstdio>
#include <string>

namespace kvtest {

// What the command writes to standard output (standard error is not captured); empty when it
// cannot be started.
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

// Whether the shell finds the tool.
inline bool HaveTool(const char* tool) {
  return !CommandOutput(std::string("command -v ") + tool + " 2>/dev/null").empty();
}

}  // namespace kvtest
