// The notification area keeps a record of its calls only while a test asks for one, so a program
// that loses and regains its board for days holds no growing list.
#include <platform/device.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

NOTIFYICONDATA Icon(HWND window, const char* balloon) {
  NOTIFYICONDATA data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uFlags = NIF_TIP | (balloon ? NIF_INFO : 0);
  strcpy(data.szTip, "Dravix Scope");
  if (balloon) strcpy(data.szInfo, balloon);
  return data;
}

TEST(TrayRecordTest, CallsAreRecordedOnlyWhileATestAsks) {
  kvp::RecordTrayCalls(false);
  NOTIFYICONDATA data = Icon(91, "lost");
  for (int restart = 0; restart < 100; ++restart) {  // a link restart: add, balloon, delete
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &data));
    ASSERT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &data));
    ASSERT_TRUE(Shell_NotifyIcon(NIM_DELETE, &data));
  }
  EXPECT_TRUE(kvp::TrayRecords().empty());
  EXPECT_EQ(kvp::TrayIconsShown(), 0u) << "the icons themselves are still tracked";
  EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &data)) << "and a call for a missing icon still fails";

  kvp::ClearTrayRecords();  // starts a recording
  ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &data));
  ASSERT_TRUE(Shell_NotifyIcon(NIM_DELETE, &data));
  EXPECT_EQ(kvp::TrayRecords().size(), 2u);
  kvp::RecordTrayCalls(false);
  EXPECT_TRUE(kvp::TrayRecords().empty()) << "turning it off lets the record go";
}

}  // namespace
