#include <platform/afx.h>

#include <gtest/gtest.h>

TEST(CString, SubstringsClampInsteadOfFailing) {
  const CString s("Channel");
  struct Case { CString got; const char* want; } cases[] = {
      {s.Left(2), "Ch"},   {s.Left(99), "Channel"}, {s.Left(-1), ""},   {s.Right(3), "nel"},
      {s.Right(99), "Channel"}, {s.Mid(4), "nel"},  {s.Mid(2, 3), "ann"}, {s.Mid(5, 99), "el"},
      {s.Mid(99), ""},      {s.Mid(-3, 2), "Ch"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(CString, FindAndCompareAreByteWise) {
  const CString s("<Color_Btn_BkgrndHot>1,2,3</Color_Btn_BkgrndHot>");
  EXPECT_EQ(s.Find("Color_Btn_Bkgrnd"), 1);
  EXPECT_EQ(s.Find("</Color_Btn_BkgrndHot>"), 26);
  EXPECT_EQ(s.Find("color"), -1);
  EXPECT_EQ(s.Find(',', 23), 24);
  EXPECT_EQ(s.Find(',', 99), -1);
  EXPECT_EQ(s.ReverseFind('>'), s.GetLength() - 1);
  // 0xB5 (micro sign) sorts after ASCII, as strcmp on bytes does.
  EXPECT_LT(CString("V"), CString("\xB5V"));
  EXPECT_EQ(CString("ab").CompareNoCase("AB"), 0);
}

TEST(CString, FormatAndBuffer) {
  CString s;
  s.Format("%d Build %d.%d", 3, 1, 12);
  EXPECT_EQ(s, "3 Build 1.12");
  s.AppendFormat("%s", "!");
  EXPECT_EQ(s, "3 Build 1.12!");

  CString b("abc");
  char* p = b.GetBuffer(10);
  std::strcpy(p, "hello");
  b.ReleaseBuffer();
  EXPECT_EQ(b.GetLength(), 5);
  p = b.GetBuffer(0);
  p[2] = '\0';
  b.ReleaseBuffer();
  EXPECT_EQ(b, "he");
  b.GetBuffer(4);
  b.ReleaseBuffer(1);
  EXPECT_EQ(b, "h");
}

TEST(CArray, RemoveAtCutsRangesBeyondTheEnd) {
  CArray<int, int> a;
  for (int i = 0; i < 5; ++i) a.Add(i);
  a.RemoveAt(3, 10);
  ASSERT_EQ(a.GetSize(), 3);
  a.RemoveAt(0, 2);
  ASSERT_EQ(a.GetSize(), 1);
  EXPECT_EQ(a[0], 2);
  EXPECT_THROW(a.GetAt(1), std::out_of_range);
  a.SetSize(4);
  EXPECT_EQ(a[3], 0);
}
