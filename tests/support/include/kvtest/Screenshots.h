// Where tests save pictures of windows for people to look at: build/<preset>/screenshots/, one
// folder for every test program of a build.
#pragma once

#include <string>

namespace kvtest {

// "<build folder>/screenshots/<name>.png"; the folder is made when missing.
std::string ScreenshotPath(const std::string& name);

}  // namespace kvtest
