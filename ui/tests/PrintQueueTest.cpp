// The print queue model: adding pending and queued items, the removals, the index checks, the
// setters and getters of the data records and the item heights the report lays out with.
#include <gtest/gtest.h>

#include <ui/print/PrintQueue.h>

#include <kvtest/CoreGlobals.h>

#include <platform/afxgdi.h>

#include <cstdlib>

namespace {

class PrintQueueTest : public kvtest::CoreTest {
 protected:
  CPrintQueue queue;

  // Appends an item of the type, queued or pending, with a comment; returns its index.
  int Add(int type, int queued, LPCSTR comment = "") {
    int index = -2;
    CPrintItemData* data = queue.AddItem(type, &index, queued);
    EXPECT_NE(data, nullptr);
    if (data) data->SetComment(comment);
    return index;
  }
};

TEST_F(PrintQueueTest, AnItemAddedToAnEmptyQueueIsPendingAtIndexZero) {
  int index = -2;
  CPrintItemData* data = queue.AddItem(4, &index);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(data->GetType(), 4);
  EXPECT_EQ(queue.CountFilled(), 0);
  CPrintQueue::CPrintQueueItem* item = queue.GetLastItem();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->include, 1);
  EXPECT_EQ(item->queued, 0);
  EXPECT_EQ(item->data.get(), data);
  item->queued = 1;
  EXPECT_EQ(queue.CountFilled(), 1);
}

TEST_F(PrintQueueTest, TypesOutsideTheTableMakeNothing) {
  for (int type : {-1, 13, 100}) {
    int index = 5;
    EXPECT_EQ(queue.AddItem(type, &index), nullptr) << type;
    EXPECT_EQ(index, -1) << type;
  }
  EXPECT_EQ(queue.GetCount(), 0);
  EXPECT_EQ(queue.GetLastItem(), nullptr);
}

TEST_F(PrintQueueTest, RemoveQueuedKeepsThePendingItem) {
  Add(0, 1, "a");
  Add(2, 1, "b");
  Add(3, 1, "c");
  Add(5, 0, "pending");
  EXPECT_EQ(queue.RemoveQueued(), 0);
  ASSERT_EQ(queue.GetCount(), 1);
  EXPECT_STREQ(queue.GetItem(0)->data->GetComment(), "pending");
  EXPECT_EQ(queue.GetItem(0)->queued, 0);
  queue.RemoveLast();
  EXPECT_EQ(queue.RemoveQueued(), 1) << "empty afterwards, also when it was empty";
}

TEST_F(PrintQueueTest, RemoveAtClosesTheGapAndRefusesIndicesOutside) {
  Add(0, 1, "first");
  Add(1, 1, "second");
  Add(2, 1, "third");
  EXPECT_EQ(queue.RemoveAt(5), 0);
  EXPECT_EQ(queue.RemoveAt(-1), 0);
  EXPECT_EQ(queue.GetCount(), 3);
  EXPECT_EQ(queue.RemoveAt(0), 1);
  ASSERT_EQ(queue.GetCount(), 2);
  EXPECT_STREQ(queue.GetItem(0)->data->GetComment(), "second");
  EXPECT_STREQ(queue.GetItem(1)->data->GetComment(), "third");
  EXPECT_EQ(queue.GetItem(2), nullptr);
  EXPECT_EQ(queue.GetItem(-1), nullptr);
  queue.RemoveLast();
  queue.RemoveLast();
  queue.RemoveLast();  // nothing left: no effect
  EXPECT_EQ(queue.GetCount(), 0);
}

TEST_F(PrintQueueTest, ClearEmptiesItemsAndHeaderTexts) {
  Add(0, 1);
  queue.m_strVehicle = "Skoda";
  queue.m_strLicencePlate = "1A2 3456";
  queue.Clear();
  EXPECT_EQ(queue.GetCount(), 0);
  EXPECT_TRUE(queue.m_strVehicle.IsEmpty());
  EXPECT_TRUE(queue.m_strLicencePlate.IsEmpty());
}

TEST(PrintItemData, GettersReturnTheSlotsWithNumbersTruncated) {
  CPrintItemData meter(0);
  meter.SetMeterValues(12.5, -1.25, 14.0, 1, 0, "meter");
  double r, lo, hi;
  int ac = -1, mode = -1;
  CString comment;
  meter.GetMeterValues(r, lo, hi, ac, mode, comment);
  EXPECT_EQ(r, 12.5);
  EXPECT_EQ(lo, -1.25);
  EXPECT_EQ(hi, 14.0);
  EXPECT_EQ(ac, 1);
  EXPECT_EQ(mode, 0);
  EXPECT_STREQ(comment, "meter");

  CPrintItemData six(3);
  six.SetValues6(1, 2, 3, 4, 5, 6, -7, 8, "six");
  double v[6];
  int n1 = 0, n2 = 0;
  six.GetValues6(v[0], v[1], v[2], v[3], v[4], v[5], n1, n2, comment);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(v[i], i + 1.0);
  EXPECT_EQ(n1, -7);
  EXPECT_EQ(n2, 8);
  six.GetValues5(v[0], v[1], v[2], v[3], v[4], comment);
  EXPECT_EQ(v[4], 5.0);
  EXPECT_STREQ(comment, "six");

  CPrintItemData count(12);
  count.SetCountValues6(4, 0.5, 1.5, 2.5, 3.5, 4.5, 5.5, nullptr);
  int c = 0;
  count.GetCountValues6(c, v[0], v[1], v[2], v[3], v[4], v[5], comment);
  EXPECT_EQ(c, 4);
  EXPECT_EQ(v[5], 5.5);
  EXPECT_TRUE(comment.IsEmpty());

  CPrintItemData three(4), two(6), one(2);
  three.SetValues3(1.5, 2.5, 3.5, "3");
  two.SetValues2(7.25, 8.25, "2");
  one.SetValue1(1e9, "1");
  three.GetValues3(v[0], v[1], v[2], comment);
  EXPECT_EQ(v[2], 3.5);
  two.GetValues2(v[0], v[1], comment);
  EXPECT_EQ(v[1], 8.25);
  EXPECT_EQ(one.Value(1), 1e9);
  EXPECT_STREQ(one.GetComment(), "1");
}

TEST(PrintItemData, StoredFlagsTruncateTowardZero) {
  // Flags stored as doubles read back as ints truncated toward zero, negative ones included.
  CPrintItemData data(0);
  data.SetMeterValues(0, 0, 0, 0, 0, "");
  data.SetValues6(0, 0, 0, 2.9, -2.9, 0, 0, 0, "");
  double r, lo, hi;
  int ac, mode;
  CString comment;
  data.GetMeterValues(r, lo, hi, ac, mode, comment);
  EXPECT_EQ(ac, 2);
  EXPECT_EQ(mode, -2);
}

// Heights: L = |trunc(f * 1.6)|; a comment adds its word-wrapped height; type 3 has three
// lines, type 12 three and the notice, the others two.
TEST_F(PrintQueueTest, ItemHeightsFollowTypeCommentAndNotice) {
  CDC dc;
  ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
  const int w = 600, f = 20, L = 32;
  CFont font;
  font.CreateFont(f, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
  CFont* old = dc.SelectObject(&font);
  CRect one(0, 0, w, 1);
  dc.DrawText("x", &one, DT_CALCRECT | DT_WORDBREAK);
  const int line = one.Height();
  CRect notice(0, 0, w, 1);
  dc.DrawText(
      "Notice: This measure is only differential bettwen cylindres. Labeling of cylinders needn't to be correct.",
      &notice, DT_CALCRECT | DT_WORDBREAK);
  dc.SelectObject(old);
  ASSERT_GT(line, 0);

  struct Case {
    const char* name;
    int type;
    const char* comment;
    int height;
  };
  const Case cases[] = {
      {"meter without comment", 0, "", 2 * L},
      {"engine values with a two-line comment", 3, "first line\nsecond line", 2 * line + 3 * L},
      {"engine values without comment", 3, "", 3 * L},
      {"count values add the notice", 12, "", 3 * L + notice.Height()},
      {"count values with comment", 12, "one", line + 3 * L + notice.Height()},
      {"two values with comment", 9, "one", line + 2 * L},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int index = Add(c.type, 1, c.comment);
    EXPECT_EQ(queue.GetItemHeight(&dc, queue.GetItem(index), w, f), c.height);
  }
  CPrintQueue::CPrintQueueItem empty;
  EXPECT_EQ(queue.GetItemHeight(&dc, &empty, w, f), 0) << "no data";
  EXPECT_EQ(queue.GetItemHeight(&dc, nullptr, w, f), 0);
}

TEST(GetPrintQueue, IsOneObject) { EXPECT_EQ(GetPrintQueue(), GetPrintQueue()); }

}  // namespace
