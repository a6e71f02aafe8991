// GTRACE through Logwisp.so's exported interface, as the link libraries use it.
#include "TestViewer.h"
#include "TraceFixtures.h"

#include <trace/Logwisp.h>

#include <platform/files.h>

#include <gtest/gtest.h>

namespace {

TEST(GtraceTest, LinkLibraryLinesReachDebuggerThenViewer) {
  VirtualClock clock;
  DebugCapture debug;
  GTRACE.SetModuleFilter(0x20000);
  GTRACE.SetModuleTab(1);
  GTRACE.SetModulePrefix("J2534: ");
  GTRACE.TraceIt("*** DLL_PROCESS_ATTACH ****\n");
  EXPECT_EQ(debug.Lines(), std::vector<std::string>{"J2534: *** DLL_PROCESS_ATTACH ****\n"});

  // The viewer starts; the next trace call after the scan interval finds it.
  TestViewer viewer(kvp::RuntimeDir() + "/LogwispWnd");
  kvp::ClockAdvance(3000);
  GTRACE.SetOneShotTab(3);
  GTRACE.TraceIt("-->Serialnr :%lu Prod.Date : %04lu\n", 4711ul, 2023ul);
  GTRACE.TraceIt("-->%s %s\n\n", "KV310", "Board");

  const auto messages = viewer.WaitFor(2);
  ASSERT_EQ(messages.size(), 2u);
  const std::string lines[] = {"      J2534: -->Serialnr :4711 Prod.Date : 2023\n", "  J2534: -->KV310 Board\n\n"};
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(messages[i].filter, 0x20000u);
    EXPECT_EQ(messages[i].byteCount, lines[i].size() + 1);
    EXPECT_EQ(messages[i].bytes, lines[i] + '\0');
  }
  EXPECT_EQ(debug.Lines().size(), 1u);
}

}  // namespace
