// The version records of the Windows programs, as Windows reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The whole record of the program, empty when it has none.
std::vector<char> versionRecord(const char* program) {
  std::wstring path(program, program + strlen(program));
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<char> record(size);
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, record.data())) record.clear();
  return record;
}

std::wstring entry(std::vector<char>& record, const std::string& name) {
  void* value = nullptr;
  UINT length = 0;
  std::wstring key = L"\\StringFileInfo\\040904B0\\" + std::wstring(name.begin(), name.end());
  if (!VerQueryValueW(record.data(), key.c_str(), &value, &length) || length == 0) return L"";
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(VersionRecord, MorvixCarriesItsRecord) {
  std::vector<char> record = versionRecord(MORVIX_EXE);
  ASSERT_FALSE(record.empty());

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(MAKELONG(1, 1), fixed->dwFileVersionMS);  // 1,1
  EXPECT_EQ(0u, fixed->dwFileVersionLS);              // 0,0
  EXPECT_EQ(MAKELONG(1, 1), fixed->dwProductVersionMS);
  EXPECT_EQ(0u, fixed->dwProductVersionLS);

  const std::pair<const char*, const wchar_t*> entries[] = {
      {"FileDescription", L"Converts Basic binary dumps to Unicode text"},
      {"FileVersion", L"1,1,0,0"},
      {"ProductVersion", L"1,1,0,0"},
      {"InternalName", L"MORVIX"},
      {"OriginalFilename", L"MORVIX"},
      {"ProductName", L"MORVIX"},
  };
  for (const auto& [name, value] : entries)
    EXPECT_EQ(value, entry(record, name)) << name;
}

TEST(VersionRecord, KaldexCarriesNone) {
  EXPECT_TRUE(versionRecord(KALDEX_EXE).empty());
}

}  // namespace
