// As the program does before it ends: the core shuts down in order (acquisition thread, library,
// language) while the settings object still exists.
#include <core/MeasureEngine.h>

#include <gtest/gtest.h>

namespace {

class CoreShutdownAtEnd : public ::testing::Environment {
 public:
  void TearDown() override { CoreShutdown(); }
};

[[maybe_unused]] ::testing::Environment* const g_end = ::testing::AddGlobalTestEnvironment(new CoreShutdownAtEnd);

}  // namespace
