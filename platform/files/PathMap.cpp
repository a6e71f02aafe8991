// Windows-style paths of the system's code to Linux paths.
#include <platform/codepage.h>
#include <platform/files.h>

#include <cctype>
#include <cstdlib>

namespace kvp {

namespace {

// The Linux folder standing for drive `letter` ($KV_DRIVE_C etc., default "/").
std::string DriveRoot(char letter) {
  const std::string var = std::string("KV_DRIVE_") + static_cast<char>(toupper(static_cast<unsigned char>(letter)));
  const char* root = getenv(var.c_str());
  return root && root[0] ? root : "/";
}

std::string Join(std::string root, const std::string& rest) {
  if (root.empty() || root.back() != '/') root.push_back('/');
  size_t skip = 0;
  while (skip < rest.size() && rest[skip] == '/') ++skip;
  return root + rest.substr(skip);
}

}  // namespace

std::string MapPath(const std::string& windowsPath) {
  std::string path = ToUtf8(windowsPath, ActiveCodePage());
  // A path that starts as a Linux path ("/home/u/.local/share" from the folder functions, with
  // "\NORVIK\..." appended by the system) keeps its root; "\NORVIK\..." alone starts at drive C.
  const bool linuxRoot = !path.empty() && path[0] == '/';
  for (char& c : path)
    if (c == '\\') c = '/';
  if (linuxRoot) return path;
  if (path.size() >= 2 && path[1] == ':' && isalpha(static_cast<unsigned char>(path[0])))
    return Join(DriveRoot(path[0]), path.substr(2));
  if (!path.empty() && path[0] == '/') return Join(DriveRoot('C'), path);
  return path;
}

}  // namespace kvp
