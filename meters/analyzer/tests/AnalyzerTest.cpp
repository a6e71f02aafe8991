#include <meters/analyzer/WndRecordAnalyzer.h>
#include <gtest/gtest.h>
TEST(AnalyzerBuild, Links) { SUCCEED(); }
