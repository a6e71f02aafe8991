#include <platform/module.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kProbe = std::string(KV_TEST_DIR) + "/Probe.so";

std::vector<char> ReadBlock(const std::string& file) {
  DWORD handle = 1;
  const DWORD size = GetFileVersionInfoSize(file.c_str(), &handle);
  EXPECT_EQ(handle, 0u);
  std::vector<char> block(size);
  if (size) {
    EXPECT_TRUE(GetFileVersionInfo(file.c_str(), 0, size, block.data()));
  }
  return block;
}

std::string StringValue(const std::vector<char>& block, const std::string& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::string sub = "\\StringFileInfo\\040904b0\\" + name;
  if (!VerQueryValue(block.data(), sub.c_str(), &value, &length)) return "<missing>";
  return static_cast<const char*>(value);
}

TEST(VersionInfoTest, ReadsTheBlockOfABuiltModuleByFileName) {
  ASSERT_FALSE(kvp::ModuleIsMappedAt(kProbe.c_str()));
  std::vector<char> block = ReadBlock(kProbe);
  ASSERT_FALSE(block.empty());
  EXPECT_FALSE(kvp::ModuleIsMappedAt(kProbe.c_str()));  // read from the file, not loaded

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValue(block.data(), "\\", &value, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
  EXPECT_EQ(fixed->dwFileVersionMS, DWORD(KV_VERSION_MS));
  EXPECT_EQ(fixed->dwFileVersionLS, DWORD(KV_VERSION_LS));
  EXPECT_EQ(fixed->dwProductVersionMS, DWORD(KV_VERSION_MS));
  EXPECT_EQ(fixed->dwProductVersionLS, DWORD(KV_VERSION_LS));

  ASSERT_TRUE(VerQueryValue(block.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0409);
  EXPECT_EQ(static_cast<const WORD*>(value)[1], 0x04b0);

  const std::pair<const char*, std::string> strings[] = {
      {"ProductVersion", KV_PROJECT_VERSION}, {"FileVersion", KV_PROJECT_VERSION},
      {"ProductName", "Dravix Scope"},        {"FileDescription", "kvfix_probe_1"},
      {"legalcopyright", "Copyright (C) KELO"}, {"NoSuchValue", "<missing>"},
  };
  for (const auto& [name, expected] : strings) EXPECT_EQ(StringValue(block, name), expected) << name;
  EXPECT_FALSE(VerQueryValue(block.data(), "\\StringFileInfo\\040704b0\\ProductName", &value, &length));
}

TEST(VersionInfoTest, FilesWithoutABlockFailWithACode) {
  std::ofstream(std::string("not_elf.bin")) << "plain text, not a module";
  std::ofstream truncated("truncated.so", std::ios::binary);
  std::ifstream probe(kProbe, std::ios::binary);
  std::vector<char> head(200);
  probe.read(head.data(), head.size());
  truncated.write(head.data(), head.size());
  truncated.close();

  const std::pair<std::string, DWORD> cases[] = {
      {"missing.so", ERROR_FILE_NOT_FOUND},
      {"not_elf.bin", ERROR_BAD_FORMAT},
      {"truncated.so", ERROR_BAD_FORMAT},
      {std::string(KV_TEST_DIR) + "/platform_module_tests", ERROR_RESOURCE_TYPE_NOT_FOUND},
  };
  for (const auto& [file, error] : cases) {
    SetLastError(0);
    DWORD handle;
    EXPECT_EQ(GetFileVersionInfoSize(file.c_str(), &handle), 0u) << file;
    EXPECT_EQ(GetLastError(), error) << file;
  }
}

}  // namespace
