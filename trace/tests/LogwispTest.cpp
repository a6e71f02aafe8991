// CLogwisp: how lines are built, where they go, when the viewer is looked for, copies, threads.
#include "TestViewer.h"
#include "TraceFixtures.h"

#include <platform/files.h>

#include <trace/Logwisp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

namespace {

constexpr unsigned long kLinkFilter = 0x20000;
constexpr const char* kLinkPrefix = "J2534: ";
const std::string kOverflow = "CLogwisp -> nBuf < 0\n";

class LogwispTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  DebugCapture debug;
  std::shared_ptr<RecordingTransport> viewer = std::make_shared<RecordingTransport>();
  CLogwisp trace{viewer};

  // What the link libraries set before every line.
  void LinkSettings(CLogwisp& t) {
    t.SetModuleFilter(kLinkFilter);
    t.SetModuleTab(1);
    t.SetModulePrefix(kLinkPrefix);
  }
};

TEST_F(LogwispTest, ViewerLinesCarryIndentationPrefixAndFilter) {
  struct Case {
    unsigned long moduleTab, oneShotTab;
    const char* prefix;
    const char* text;
    const char* line;      // the line traced after the settings
    const char* nextLine;  // the line "next\n" traced right after it
  };
  const Case cases[] = {
      {1, 3, "J2534: ", "first\n", "      J2534: first\n", "  J2534: next\n"},
      {0, 1, "J2534: ", "a", "  J2534: a", "J2534: next\n"},
      {2, 0, "P", "x", "    Px", "    Pnext\n"},
      {0, 0, "", "bare\n", "bare\n", "next\n"},
      {1, 0, "J2534: ", "", "  J2534: ", "  J2534: next\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    auto v = std::make_shared<RecordingTransport>();
    CLogwisp t(v);
    t.SetModuleFilter(kLinkFilter);
    t.SetModuleTab(c.moduleTab);
    t.SetOneShotTab(c.oneShotTab);
    t.SetModulePrefix(c.prefix);
    t.TraceIt("%s", c.text);
    t.TraceIt("next\n");
    const auto records = v->Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].line, c.line);
    EXPECT_EQ(records[1].line, c.nextLine);
    for (const auto& r : records) {
      EXPECT_EQ(r.filter, kLinkFilter);
      EXPECT_TRUE(r.countMatches);
    }
  }
  EXPECT_TRUE(debug.Lines().empty());
}

TEST_F(LogwispTest, FormatsTheLinkLibrariesLines) {
  struct Case {
    std::function<void(CLogwisp&)> trace;
    const char* line;
  };
  const Case cases[] = {
      {[](CLogwisp& t) { t.TraceIt("-->Serialnr :%lu Prod.Date : %04lu\n", 123456ul, 7ul); },
       "  J2534: -->Serialnr :123456 Prod.Date : 0007\n"},
      {[](CLogwisp& t) { t.TraceIt("%s(%d): error: %X: %s\n", ".\\ZLINKUSBAPI", 54, static_cast<unsigned>(-2), "x"); },
       "  J2534: .\\ZLINKUSBAPI(54): error: FFFFFFFE: x\n"},
      {[](CLogwisp& t) { t.TraceIt(">>>>> m_hThreadProtocolWrite %08X\n", 0x1Fu); },
       "  J2534: >>>>> m_hThreadProtocolWrite 0000001F\n"},
      // The line is a C string: a NUL from the arguments ends it.
      {[](CLogwisp& t) { t.TraceIt("ab%ccd\n", 0); }, "  J2534: ab"},
  };
  for (const Case& c : cases) {
    auto v = std::make_shared<RecordingTransport>();
    CLogwisp t(v);
    LinkSettings(t);
    c.trace(t);
    const auto records = v->Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].line, c.line);
    EXPECT_TRUE(records[0].countMatches);
  }
}

TEST_F(LogwispTest, TextOf512CharactersOrMoreBecomesTheOverflowLine) {
  struct Case {
    size_t length;
    bool viewerThere;
    std::string expected;
  };
  const std::string x511(511, 'x');
  const Case cases[] = {
      {511, true, "  J2534: " + x511},
      {512, true, "  J2534: " + kOverflow},
      {4000, true, "  J2534: " + kOverflow},
      {511, false, "J2534: " + x511},
      {512, false, "J2534: " + kOverflow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length << (c.viewerThere ? " to viewer" : " to debugger"));
    DebugCapture capture;
    auto v = std::make_shared<RecordingTransport>();
    v->viewerThere = c.viewerThere;
    CLogwisp t(v);
    LinkSettings(t);
    t.TraceIt("%s", std::string(c.length, 'x').c_str());
    const auto lines = c.viewerThere ? v->Lines() : capture.Lines();
    EXPECT_EQ(lines, std::vector<std::string>{c.expected});
  }
}

TEST_F(LogwispTest, WithoutViewerLinesGoToTheDebuggerWithoutIndentation) {
  viewer->viewerThere = false;
  LinkSettings(trace);
  trace.SetOneShotTab(3);
  trace.TraceIt("*** DLL_PROCESS_ATTACH ****\n");
  EXPECT_EQ(debug.Lines(), std::vector<std::string>{"J2534: *** DLL_PROCESS_ATTACH ****\n"});
  EXPECT_EQ(viewer->sends, 0);

  // The one-shot tab was used up by that line although nothing was indented.
  viewer->viewerThere = true;
  kvp::ClockAdvance(3000);
  trace.TraceIt("later\n");
  EXPECT_EQ(viewer->Lines(), std::vector<std::string>{"  J2534: later\n"});
}

TEST_F(LogwispTest, PrefixKeepsAtMost29Characters) {
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz";
  struct Case {
    const char* prefix;
    std::string kept;
  };
  const Case cases[] = {
      {nullptr, ""},
      {"", ""},
      {"J2534: ", "J2534: "},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ012", letters.substr(0, 29)},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", letters.substr(0, 29)},
      {letters.c_str(), letters.substr(0, 29)},
  };
  for (const Case& c : cases) {
    trace.SetModulePrefix(c.prefix);
    trace.TraceIt("|\n");
  }
  const auto lines = viewer->Lines();
  ASSERT_EQ(lines.size(), std::size(cases));
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], cases[i].kept + "|\n");
}

TEST_F(LogwispTest, AbsentOrFailedViewerIsLookedForAgainAtMostEvery3000ms) {
  enum Where { Viewer, Debugger };
  struct Step {
    bool viewerThere, viewerAnswers;
    uint64_t advanceMs;
    Where lineGoesTo;
    int finds, sends;  // totals after the step
  };
  const Step steps[] = {
      {false, true, 0, Debugger, 1, 0},    // the first line looks for the viewer
      {true, true, 2999, Debugger, 1, 0},  // it came, but the next scan is not due
      {true, true, 1, Viewer, 2, 1},       // scan due: found
      {true, false, 0, Debugger, 2, 2},    // hung: one bounded send, the line goes to the debugger
      {true, false, 2999, Debugger, 2, 2}, // counts as absent: no further send
      {true, true, 1, Viewer, 3, 3},       // next scan finds it answering again
      {true, true, 60000, Viewer, 3, 4},   // a present viewer is not looked for again
  };
  LinkSettings(trace);
  size_t debuggerLines = 0, viewerLines = 0;
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Step& s = steps[i];
    SCOPED_TRACE(testing::Message() << "step " << i);
    viewer->viewerThere = s.viewerThere;
    viewer->answers = s.viewerAnswers;
    kvp::ClockAdvance(s.advanceMs);
    trace.TraceIt("step %zu\n", i);
    const std::string text = "step " + std::to_string(i) + "\n";
    if (s.lineGoesTo == Viewer) {
      ASSERT_EQ(viewer->Lines().size(), ++viewerLines);
      EXPECT_EQ(viewer->Lines().back(), "  J2534: " + text);
    } else {
      ASSERT_EQ(debug.Lines().size(), ++debuggerLines);
      EXPECT_EQ(debug.Lines().back(), "J2534: " + text);
    }
    EXPECT_EQ(viewer->finds, s.finds);
    EXPECT_EQ(viewer->sends, s.sends);
  }
}

TEST_F(LogwispTest, CopiesTakeTheSettingsAndOwnNoScanOfTheirOwn) {
  viewer->viewerThere = false;
  trace.SetModuleFilter(7);
  trace.SetModuleTab(2);
  trace.SetOneShotTab(1);
  trace.SetModulePrefix("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");
  {
    CLogwisp copy(trace);
    copy.TraceIt("copy\n");  // no viewer yet
    CLogwisp assigned(std::make_shared<RecordingTransport>());
    assigned = copy;
    EXPECT_EQ(viewer->finds, 1);  // all three share one viewer link
  }
  // The copies are gone; the original still looks for the viewer and builds its own lines.
  viewer->viewerThere = true;
  kvp::ClockAdvance(3000);
  trace.TraceIt("original\n");
  CLogwisp copy(trace);
  copy.SetModulePrefix("C:");
  copy.TraceIt("copy\n");
  copy = trace;
  copy.TraceIt("assigned\n");

  EXPECT_EQ(debug.Lines(), std::vector<std::string>{"ABCDEFGHIJKLMNOPQRSTUVWXYZ012copy\n"});
  const std::vector<std::string> expected = {"  ABCDEFGHIJKLMNOPQRSTUVWXYZ012original\n", "    C:copy\n",
                                             "    ABCDEFGHIJKLMNOPQRSTUVWXYZ012assigned\n"};
  EXPECT_EQ(viewer->Lines(), expected);
  for (const auto& r : viewer->Records()) EXPECT_EQ(r.filter, 7u);
}

TEST_F(LogwispTest, OverlongTabIsCut) {
  trace.SetModuleTab(~0ul);
  trace.TraceIt("x");
  EXPECT_EQ(viewer->Lines(), std::vector<std::string>{std::string(512, ' ') + "x"});
}

// Several threads trace at once, each setting the link libraries' values before every line as
// they do. Every line must arrive once and whole, through the in-memory viewer and a real socket.
enum class ViewerKind { InMemory, Socket };

class ConcurrentTraceTest : public ::testing::TestWithParam<ViewerKind> {};

TEST_P(ConcurrentTraceTest, NoLineIsLostOrMixed) {
  VirtualClock clock;
  DebugCapture debug;
  auto memory = std::make_shared<RecordingTransport>();
  std::unique_ptr<TestViewer> socketViewer;
  std::unique_ptr<CLogwisp> trace;
  if (GetParam() == ViewerKind::InMemory) {
    trace = std::make_unique<CLogwisp>(memory);
  } else {
    socketViewer = std::make_unique<TestViewer>(kvp::RuntimeDir() + "/LogwispWnd");
    trace = std::make_unique<CLogwisp>();
  }

  constexpr int kThreads = 6, kLines = 150;
  std::vector<std::string> expected;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kLines; ++i)
      expected.push_back("  J2534: thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                         std::string(static_cast<size_t>((t * 37 + i) % 200), static_cast<char>('a' + t)) + "\n");

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i) {
        trace->SetModuleFilter(kLinkFilter);
        trace->SetModuleTab(1);
        trace->SetModulePrefix(kLinkPrefix);
        trace->TraceIt("thread %d line %d %s\n", t, i,
                       std::string(static_cast<size_t>((t * 37 + i) % 200), static_cast<char>('a' + t)).c_str());
      }
    });
  }
  for (auto& th : threads) th.join();

  std::vector<std::string> received;
  if (GetParam() == ViewerKind::InMemory) {
    for (const auto& r : memory->Records()) {
      EXPECT_EQ(r.filter, kLinkFilter);
      EXPECT_TRUE(r.countMatches);
      received.push_back(r.line);
    }
  } else {
    for (const auto& m : socketViewer->WaitFor(expected.size())) {
      EXPECT_EQ(m.filter, kLinkFilter);
      EXPECT_EQ(m.byteCount, m.bytes.size());
      ASSERT_FALSE(m.bytes.empty());
      EXPECT_EQ(m.bytes.back(), '\0');
      received.push_back(m.bytes.substr(0, m.bytes.size() - 1));
    }
  }
  EXPECT_TRUE(debug.Lines().empty()) << debug.Lines().size() << " first: " << (debug.Lines().empty() ? "" : debug.Lines()[0]);
  std::sort(expected.begin(), expected.end());
  std::sort(received.begin(), received.end());
  EXPECT_EQ(received, expected);
}

INSTANTIATE_TEST_SUITE_P(Viewers, ConcurrentTraceTest, ::testing::Values(ViewerKind::InMemory, ViewerKind::Socket),
                         [](const auto& info) { return info.param == ViewerKind::InMemory ? "InMemory" : "Socket"; });

}  // namespace
