// The viewer reached through its socket in the runtime folder: the message on the wire, the
// viewer's answers, and a viewer that hangs.
#include "SocketViewerTransport.h"
#include "TestViewer.h"
#include "TraceFixtures.h"

#include <trace/Logwisp.h>

#include <platform/files.h>

#include <gtest/gtest.h>

namespace {

std::string ViewerPath() { return kvp::RuntimeDir() + "/LogwispWnd"; }

TEST(SocketViewerTransportTest, ViewerReceivesFilterCountAndLine) {
  VirtualClock clock;
  TestViewer viewer(ViewerPath());
  CLogwisp trace;
  trace.SetModuleFilter(0x20000);
  trace.SetModuleTab(1);
  trace.SetModulePrefix("J2534: ");
  trace.TraceIt("CComm::StartCommunication() : Firmware Download OK\n");
  trace.SetModuleFilter(0xA1B2C3D4);
  trace.SetModulePrefix("");
  trace.TraceIt("%s", "");

  const auto messages = viewer.WaitFor(2);
  ASSERT_EQ(messages.size(), 2u);
  const std::string line = "  J2534: CComm::StartCommunication() : Firmware Download OK\n";
  EXPECT_EQ(messages[0].filter, 0x20000u);
  EXPECT_EQ(messages[0].byteCount, line.size() + 1);
  EXPECT_EQ(messages[0].bytes, line + '\0');
  EXPECT_EQ(messages[1].filter, 0xA1B2C3D4u);  // the header is little-endian on the wire
  EXPECT_EQ(messages[1].byteCount, 3u);
  EXPECT_EQ(messages[1].bytes, std::string("  \0", 3));
}

TEST(SocketViewerTransportTest, OnlyAFourByteAnswerCountsAsHandled) {
  struct Case {
    TestViewer::Answer answer;
    bool handled;
  };
  const Case cases[] = {
      {TestViewer::Answer::Result, true},
      {TestViewer::Answer::ShortReply, false},
      {TestViewer::Answer::Hangup, false},
      {TestViewer::Answer::Never, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    const std::string path = ViewerPath() + "-answers";
    TestViewer viewer(path, c.answer);
    logwisp::SocketViewerTransport transport(path, /*timeoutMs=*/100);
    ASSERT_TRUE(transport.Find());
    EXPECT_EQ(transport.Send(1, "one", 4), c.handled);
    viewer.WaitFor(1);
    // A failed send drops the connection: nothing more reaches the viewer before the next Find.
    EXPECT_EQ(transport.Send(1, "two", 4), c.handled);
    EXPECT_EQ(viewer.WaitFor(c.handled ? 2 : 1).size(), c.handled ? 2u : 1u);
  }
}

TEST(SocketViewerTransportTest, NoViewerMeansAbsent) {
  const std::string tooLong = "/tmp/" + std::string(200, 'x');
  for (const std::string& path : {ViewerPath() + "-nobody", tooLong, std::string("/nonexistent/LogwispWnd")}) {
    logwisp::SocketViewerTransport transport(path);
    EXPECT_FALSE(transport.Find()) << path;
    EXPECT_FALSE(transport.Send(1, "x", 2));
  }
}

// With the library's own time-out: a viewer that never answers holds up one line for about a
// second; that line and the following ones go to the debugger until the next scan.
TEST(SocketViewerTransportTest, HungViewerCostsOneBoundedSend) {
  VirtualClock clock;
  DebugCapture debug;
  TestViewer viewer(ViewerPath(), TestViewer::Answer::Never);
  CLogwisp trace;
  trace.SetModuleTab(1);
  trace.SetModulePrefix("J2534: ");
  for (const char* text : {"a\n", "b\n", "c\n"}) trace.TraceIt("%s", text);

  EXPECT_EQ(viewer.Received().size(), 1u);
  EXPECT_EQ(debug.Lines(), (std::vector<std::string>{"J2534: a\n", "J2534: b\n", "J2534: c\n"}));
}

}  // namespace
