// The library as callers meet it: loaded by name through the platform's loader, its one export
// bound by name, its interfaces asked for by id.
#include <gtest/gtest.h>

#include <kv310/Kv310.h>
#include <link/LinkBinding.h>
#include <platform/module.h>
#include <set>
#include <string>

namespace {

TEST(Kv310Module, HandsOutSixteenSingletonsUntilUnloaded) {
  HMODULE module = LoadLibrary("Kv310.dll");
  ASSERT_NE(module, 0u);
  char path[4096] = {};
  ASSERT_GT(GetModuleFileName(module, path, sizeof path), 0u);
  auto query = kvlink::BindExport<Kv310QueryInterfaceProc>(module, "QueryInterface");
  ASSERT_NE(query, nullptr);

  std::set<void*> seen;
  for (unsigned id = 0; id < kv310::kInterfaceCount; ++id) {
    void* first = nullptr;
    void* second = nullptr;
    EXPECT_EQ(query(id, &first), 1) << id;
    EXPECT_EQ(query(id, &second), 1) << id;
    ASSERT_NE(first, nullptr) << id;
    EXPECT_EQ(first, second) << "the same object every time, id " << id;
    seen.insert(first);
  }
  EXPECT_EQ(seen.size(), 16u);

  void* none = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(query(16, &none), 0);
  EXPECT_EQ(none, nullptr);

  ASSERT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(kvp::ModuleIsMappedAt(path)) << "unloading really unloads (and destroys the objects)";

  // Loaded again, it builds its objects afresh.
  module = LoadLibrary("Kv310.dll");
  ASSERT_NE(module, 0u);
  query = kvlink::BindExport<Kv310QueryInterfaceProc>(module, "QueryInterface");
  ASSERT_NE(query, nullptr);
  void* object = nullptr;
  EXPECT_EQ(query(kv310::kInfo, &object), 1);
  EXPECT_NE(object, nullptr);
  FreeLibrary(module);
}

}  // namespace
