// The link's trace lines: built under the link's trace lock, sent outside it, so a viewer that is
// slow to take one line holds up only the thread that traced it.
#include <link/LinkTrace.h>

#include <platform/clock.h>
#include <platform/files.h>

#include <gtest/gtest.h>

#include <future>

#include "TestViewer.h"

namespace {

TEST(LinkTrace, AHungViewerHoldsUpOnlyTheThreadThatTraced) {
  TestViewer viewer(kvp::RuntimeDir() + "/LogwispWnd", TestViewer::Answer::Never);
  // An earlier line may have found no viewer: the next scan is due after the scan interval.
  kvp::ClockUseVirtual(true);
  kvp::ClockAdvance(3000);
  auto first = std::async(std::launch::async, [] { kvlink::Trace("first %d\n", 1); });
  ASSERT_EQ(viewer.WaitFor(1).size(), 1u);
  // The first line waits for an answer that never comes; the second goes out meanwhile.
  kvlink::Trace("second %d\n", 2);
  const auto got = viewer.WaitFor(2);
  first.get();
  ASSERT_EQ(got.size(), 2u) << "the second line waited for the first one's send";
  EXPECT_EQ(got[0].filter, kvlink::kTraceFilter);
  EXPECT_EQ(got[1].bytes, std::string("  J2534: second 2\n") + '\0');
  kvp::ClockUseVirtual(false);
}

}  // namespace
