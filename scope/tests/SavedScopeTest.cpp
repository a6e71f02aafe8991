// Signal files into saved scopes: the first free scope takes the file, the second is the E/F
// pair, a full set refuses the file whole, and an empty file takes nothing.
#include <scope/SavedScopeFill.h>

#include "ScopeFiles.h"

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>

#include <kvtest/CoreGlobals.h>

#include <gtest/gtest.h>

namespace {

// The saved scopes and the colour scheme are the core's: reset around every test.
class SavedScopeTest : public kvtest::CoreTest {};

scope::SignalFile TwoChannels() {
  const auto file = scope::ParseOscFile(scope_test::BuildOsc({.channels = 2, .source = 1}));
  EXPECT_TRUE(file);
  return *file;
}

TEST_F(SavedScopeTest, FilesFillTheFreeScopesInTurn) {
  const scope::SignalFile file = TwoChannels();
  int index = -1;
  ASSERT_TRUE(scope::LoadIntoSavedScope(file, "run.osc", "run", &index));
  EXPECT_EQ(index, 0);
  const CSavedScope& first = GetSavedScopes()[0];
  EXPECT_EQ(first.m_bEmpty, 0);
  EXPECT_EQ(first.m_bPair, 0);
  EXPECT_EQ(first.m_bOlderFormat, 1);
  EXPECT_EQ(first.m_dSampleRate, 10000.0);
  EXPECT_EQ(first.m_nTriggerSource, 1);
  EXPECT_EQ(first.m_bTriggerChannelMissing, 0);
  EXPECT_DOUBLE_EQ(first.m_dTriggerLevel, 5.0);
  EXPECT_EQ(first.m_bRollMode, 1);  // mode selector 2
  // The file's name is the saved scope's title and name; its title the comment.
  EXPECT_STREQ(static_cast<LPCSTR>(first.m_strName), "run.osc");
  EXPECT_STREQ(static_cast<LPCSTR>(first.m_strDescription2), "run");
  ASSERT_EQ(first.m_Signals.GetSize(), 2);
  const CSavedSignal* a = first.FindSignal(0);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetCount(), 4);
  EXPECT_DOUBLE_EQ(a->GetValue(1), 2.45);
  EXPECT_EQ(a->m_Flags1[1], 1);
  EXPECT_EQ(a->m_nPosition, 60);
  EXPECT_EQ(a->m_crColor, GetSchemeColor(30));
  EXPECT_EQ(a->m_crFill, AdjustColor(GetSchemeColor(30), 170));
  EXPECT_EQ(a->m_nStyle, 2);
  EXPECT_NE(first.FindSignal(1), nullptr);

  ASSERT_TRUE(scope::LoadIntoSavedScope(file, "b.osc", "b.osc", &index));
  EXPECT_EQ(index, 1);
  const CSavedScope& second = GetSavedScopes()[1];
  EXPECT_EQ(second.m_bPair, 1);
  ASSERT_NE(second.FindSignal(2), nullptr);
  ASSERT_NE(second.FindSignal(3), nullptr);
  EXPECT_EQ(second.FindSignal(3)->m_crColor, GetSchemeColor(33));

  // No free scope: refused whole, nothing touched.
  EXPECT_FALSE(scope::LoadIntoSavedScope(file, "c.osc", "c.osc"));
  EXPECT_STREQ(static_cast<LPCSTR>(GetSavedScopes()[0].m_strName), "run.osc");
  EXPECT_EQ(scope::FirstFreeSavedScope(), nullptr);
}

TEST_F(SavedScopeTest, AFileWithoutChannelsTakesNothing) {
  const auto empty = scope::ParseOscFile(scope_test::BuildOsc({.channels = 0}));
  ASSERT_TRUE(empty);
  ASSERT_TRUE(scope::LoadIntoSavedScope(*empty, "e.osc", "e.osc"));
  EXPECT_EQ(GetSavedScopes()[0].m_bEmpty, 1);
  EXPECT_EQ(scope::FirstFreeSavedScope(), &GetSavedScopes()[0]);
}

TEST_F(SavedScopeTest, NewSignalsJoinTheEFPairInTheSecondScope) {
  CSavedScope& pair = GetSavedScopes()[1];
  pair.m_bPair = 1;
  int index = -1;
  CSavedSignal* s = scope::AddSignal(pair, 1, &index);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(s->m_nKind, 3);
  EXPECT_EQ(s->m_crColor, 0x00FF00u);
  EXPECT_EQ(s->GetCount(), 0);
  pair.m_bPair = 0;
}

TEST_F(SavedScopeTest, TitlesAndClears) {
  EXPECT_STREQ(static_cast<LPCSTR>(scope::SavedScopeTitle(nullptr)), "Err");
  CSavedScope& first = GetSavedScopes()[0];
  EXPECT_STREQ(static_cast<LPCSTR>(scope::SavedScopeTitle(&first)), "Err");
  scope::AddSignal(first, 1);
  EXPECT_STREQ(static_cast<LPCSTR>(scope::SavedScopeTitle(&first)), "D");
  first.RemoveAllSignals();
  scope::AddSignal(first, 0);
  scope::AddSignal(first, 1);
  EXPECT_STREQ(static_cast<LPCSTR>(scope::SavedScopeTitle(&first)), "C + D");
  scope::AddSignal(first, 7)->m_nKind = 7;
  first.m_Signals[0]->m_nKind = 9;
  EXPECT_STREQ(static_cast<LPCSTR>(scope::SavedScopeTitle(&first)), "Err + D");
  first.m_bEmpty = 0;

  GlobalProps& props = GetGlobalProps();
  for (int i = 0; i < 4; ++i) props.m_Styles[GlobalProps::STYLE_SAVED_C + i].m_nFlags |= 1;
  scope::ClearSavedScope(1);  // nothing saved there: only the display bits of E and F go
  EXPECT_EQ(first.m_Signals.GetSize(), 3);
  EXPECT_TRUE(props.m_Styles[GlobalProps::STYLE_SAVED_C].IsShown());
  EXPECT_FALSE(props.m_Styles[GlobalProps::STYLE_SAVED_E].IsShown());
  EXPECT_FALSE(props.m_Styles[GlobalProps::STYLE_SAVED_F].IsShown());
  scope::ClearSavedScope(0);
  EXPECT_EQ(first.m_Signals.GetSize(), 0);
  EXPECT_EQ(first.m_bEmpty, 1);
  EXPECT_FALSE(props.m_Styles[GlobalProps::STYLE_SAVED_D].IsShown());

  for (int i = 0; i < 4; ++i) props.m_Styles[GlobalProps::STYLE_SAVED_C + i].m_nFlags |= 1;
  scope::AddSignal(GetSavedScopes()[1], 0);
  scope::ClearAllSavedScopes();
  EXPECT_EQ(GetSavedScopes()[1].m_Signals.GetSize(), 0);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(props.m_Styles[GlobalProps::STYLE_SAVED_C + i].IsShown()) << i;
}

}  // namespace
