#include <kvtest/Screenshots.h>

#include <cstdlib>
#include <sys/stat.h>

namespace kvtest {

std::string ScreenshotPath(const std::string& name) {
  // Test programs run with KV_BIN_DIR = <build folder>/bin (set by CTest, or by the entry point).
  const char* bin = std::getenv("KV_BIN_DIR");
  const std::string folder = std::string(bin ? bin : ".") + "/../screenshots";
  mkdir(folder.c_str(), 0755);
  return folder + "/" + name + ".png";
}

}  // namespace kvtest
