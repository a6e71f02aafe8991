// The window-free rules of the scope's data path: routing of data records, status texts, the
// error log's blocks, bounded silent restarts and the pre-trigger share.
#include <scope/DataPath.h>

#include <core/MeasureStatus.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

TEST(DataPath, RecordsAreRoutedByModeAndTrigger) {
  struct Case {
    int autoset, mode, trigger;
    int send;
    bool byAnswer;
    int post, result;
  };
  const Case cases[] = {
      {0, 0, -1, 28, false, 24, 1}, {0, 0, 0, 28, false, 24, 1}, {0, 0, 1, 28, false, 24, 1},
      {0, 0, 2, 27, false, 25, 0},  // Single: one record, then the run ends
      {0, 1, 2, 28, true, 24, 1},   {0, 2, 1, 28, true, 24, 1},  {1, 0, 2, 28, true, 24, 1},
  };
  for (const Case& c : cases) {
    const scope::OscDataRoute r = scope::RouteOscData(c.autoset, c.mode, c.trigger);
    EXPECT_EQ(r.send, c.send) << c.autoset << c.mode << c.trigger;
    EXPECT_EQ(r.postByAnswer, c.byAnswer) << c.autoset << c.mode << c.trigger;
    if (!c.byAnswer) {
      EXPECT_EQ(r.post, c.post);
      EXPECT_EQ(r.result, c.result);
    }
  }
}

TEST(DataPath, StatusTexts) {
  const std::pair<int, const char*> cases[] = {
      {0, "Error"}, {1, "No error"}, {2, "No probe on channel"}, {3, "Bad probe on channel"},
      {4, "External voltage"}, {5, "Cannot start measure"}, {6, "Cannot set params"}, {7, "Cannot get data"},
      {8, "Communication error"}, {9, "No response"}, {-1, "Internal error: no interface"}, {10, "Unknown"},
      {-2, "Unknown"}};
  for (const auto& [status, text] : cases) EXPECT_STREQ(GetMeasureStatusText(status), text) << status;
}

TEST(DataPath, TwoErrorsGiveTwoExactLogBlocks) {
  const char* home = std::getenv("HOME");
  const std::filesystem::path log = std::filesystem::path(home ? home : "/tmp") / scope::kOscErrorLogName;
  std::filesystem::remove(log);
  CStringArray first;
  first.Add("line one");
  first.Add("line two");
  CStringArray second;
  ASSERT_TRUE(scope::AppendOscErrorLog(log.string().c_str(), 6, first));
  ASSERT_TRUE(scope::AppendOscErrorLog(log.string().c_str(), 42, second));
  std::ifstream in(log, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string rule(46, '-');
  EXPECT_EQ(text.str(), "ERROR: Cannot set params\nDetails:\nline one\nline two\n" + rule + "\n" +
                            "ERROR: Unknown\nDetails:\n\n" + rule + "\n");
  EXPECT_FALSE(scope::AppendOscErrorLog("/no/such/folder/ErrorOscMsg.log", 6, first));
}

TEST(DataPath, ReadFailuresRestartSilentlyThreeTimesInARow) {
  scope::CReadRestartGuard guard;
  EXPECT_TRUE(guard.OnReadFailure());
  EXPECT_TRUE(guard.OnReadFailure());
  guard.OnGoodRecord();
  EXPECT_TRUE(guard.OnReadFailure());
  EXPECT_TRUE(guard.OnReadFailure());
  EXPECT_TRUE(guard.OnReadFailure());
  EXPECT_FALSE(guard.OnReadFailure());  // the fourth in a row is an error
  guard.OnGoodRecord();
  EXPECT_EQ(guard.InRow(), 0);
}

TEST(DataPath, PreTriggerShare) {
  EXPECT_EQ(scope::PreTriggerShare(30.0, 1000), 300);
  EXPECT_EQ(scope::PreTriggerShare(42.57, 1000), 425);
  EXPECT_EQ(scope::PreTriggerShare(0.0, 1000), 0);
  EXPECT_EQ(scope::PreTriggerShare(100.0, 1000), 1000);
}

TEST(Hub, RestartMatrix) {
  // Codes 0..60 against every mode: the codes that restart, as one table.
  struct Row {
    const char* name;
    int sender, roll, trigger;
    std::vector<int> restarting;
  };
  const Row rows[] = {
      {"rolling 1", 5, 1, 0, {3, 5, 6, 7, 10, 11, 12, 19, 20, 21, 22, 23}},
      {"rolling 2, Single", 5, 2, 2, {3, 5, 6, 7, 10, 11, 12, 19, 20, 21, 22, 23}},
      {"Trig", 5, 0, 0, {3, 6, 7, 10, 11, 12, 19, 20, 23}},
      {"Auto", 5, 0, 1, {23}},
      {"Single", 5, 0, 2, {}},
      {"none", 5, 0, -1, {}},
      {"sender 6, rolling", 6, 1, 0, {}},
      {"sender 6, Trig", 6, 0, 0, {}},
  };
  for (const Row& r : rows) {
    std::vector<int> got;
    for (int code = 0; code <= 60; ++code)
      if (scope::RestartsOnSettingChange(notify::Sender{r.sender}, notify::Code{code}, r.roll, r.trigger))
        got.push_back(code);
    EXPECT_EQ(got, r.restarting) << r.name;
  }
}

TEST(Hub, RepaintByCode) {
  using R = scope::HubRepaint;
  struct Case {
    int sender, code;
    R repaint;
  };
  const Case cases[] = {{5, 3, R::Strips},     {6, 4, R::Strips},     {5, 37, R::Strips},   {5, 46, R::Measures},
                        {5, 9, R::RedrawAll},  {6, 9, R::None},       {6, 50, R::RedrawAll}, {5, 53, R::SavedScopeStrips},
                        {5, 54, R::SavedScopeStrips}, {5, 1, R::None}, {5, 26, R::None},     {5, 38, R::RedrawAll}};
  for (const Case& c : cases) EXPECT_EQ(scope::RepaintForCode(notify::Sender{c.sender}, notify::Code{c.code}), c.repaint) << c.sender << "/" << c.code;
}

}  // namespace
