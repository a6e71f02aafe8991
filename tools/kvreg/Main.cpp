// kv-reg: imports .reg text into the registry stores and exports keys as .reg text, so an
// installation or a test can set the values the programs read.
//
//   kv-reg import [--missing-only] FILE.reg
//   kv-reg export [HKLM|HKCU[\path]] [FILE]
#include <platform/registry.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "RegText.h"
#include "RegTool.h"

namespace {

int Usage() {
  std::cerr << "usage: kv-reg import [--missing-only] FILE.reg\n"
               "       kv-reg export [HKLM|HKCU[\\path]] [FILE]\n";
  return 1;
}

int Import(int argc, char** argv) {
  kvreg::ImportOptions options;
  const char* file = nullptr;
  for (int i = 2; i < argc; ++i) {
    if (strcmp(argv[i], "--missing-only") == 0) options.missingOnly = true;
    else if (!file && argv[i][0] != '-') file = argv[i];
    else return Usage();
  }
  if (!file) return Usage();
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::cerr << "kv-reg: cannot open " << file << "\n";
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<kvreg::RegKeyChange> keys;
  std::string error;
  // The whole file is read before anything is written: a malformed file changes nothing.
  if (!kvreg::ParseRegText(text.str(), keys, error)) {
    std::cerr << "kv-reg: " << file << ": " << error << "\n";
    return 1;
  }
  if (!kvreg::ApplyChanges(keys, options, error)) {
    std::cerr << "kv-reg: " << file << ": " << error << "\n";
    return 2;
  }
  return 0;
}

int Export(int argc, char** argv) {
  if (argc > 4) return Usage();
  std::string keySpec, file;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::string root = arg.substr(0, arg.find('\\'));
    if (i == 2 && kvreg::RootByName(root)) keySpec = arg;
    else if (file.empty()) file = arg;
    else return Usage();
  }
  std::string out = "REGEDIT4\n\n", error;
  bool ok = true;
  if (keySpec.empty()) {
    ok = kvreg::ExportKey(HKEY_LOCAL_MACHINE, "", out, error) && kvreg::ExportKey(HKEY_CURRENT_USER, "", out, error);
  } else {
    const size_t slash = keySpec.find('\\');
    std::string path = slash == std::string::npos ? "" : keySpec.substr(slash + 1);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    ok = kvreg::ExportKey(kvreg::RootByName(keySpec.substr(0, slash)), path, out, error);
  }
  if (!ok) {
    std::cerr << "kv-reg: " << error << "\n";
    return 2;
  }
  if (file.empty()) {
    std::cout << out;
    return std::cout.good() ? 0 : 2;
  }
  std::ofstream f(file, std::ios::binary);
  f << out;
  f.close();
  if (!f) {
    std::cerr << "kv-reg: cannot write " << file << "\n";
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "import") return Import(argc, argv);
  if (command == "export") return Export(argc, argv);
  return Usage();
}
