#include "ModuleSearch.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace kvp::module {

namespace {

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  const size_t n = strlen(suffix);
  return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string SharedObjectName(const std::string& fileName) {
  if (EndsWithNoCase(fileName, ".dll")) return fileName.substr(0, fileName.size() - 4) + ".so";
  if (fileName.find('.') == std::string::npos) return fileName + ".so";
  return fileName;
}

bool HasFolder(const std::string& name) {
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) return true;
  return name.size() >= 2 && name[1] == ':';
}

std::string FindInFolder(const std::string& folder, const std::string& fileName) {
  const std::string dir = folder.empty() ? "." : folder;
  const std::string exact = dir + "/" + fileName;
  if (IsRegularFile(exact)) return exact;
  DIR* d = opendir(dir.c_str());
  if (!d) return {};
  std::string found;
  while (dirent* e = readdir(d)) {
    if (strcasecmp(e->d_name, fileName.c_str()) == 0 && IsRegularFile(dir + "/" + e->d_name)) {
      found = dir + "/" + e->d_name;
      break;
    }
  }
  closedir(d);
  return found;
}

std::string ProgramPath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FolderOfAddress(const void* address) {
  Dl_info info{};
  link_map* map = nullptr;
  if (!address || dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return {};
  // The program itself has an empty name in the loader's list.
  if (!map || !map->l_name || !map->l_name[0]) return FolderOf(ProgramPath());
  char real[PATH_MAX];
  if (realpath(map->l_name, real)) return FolderOf(real);
  return FolderOf(map->l_name);
}

}  // namespace kvp::module
