#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "platform/registry/internal/HiveStore.h"
#include "tests/platform/registry/RegistryTestSupport.h"

using namespace platform;

namespace {

using HiveFile = FreshRegistry;

// Writes `count` values named prefix0, prefix1... into one key, each a change of its own.
bool WriteValues(const std::string& prefix, int count) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  bool ok = true;
  for (int i = 0; i < count; ++i) {
    const std::string name = prefix + std::to_string(i);
    ok = ok && RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                              static_cast<DWORD>(name.size() + 1)) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return ok;
}

TEST_F(HiveFile, TwoProcessesWritingAtOnceLoseNoValue) {
  constexpr int kEach = 150;
  RegCloseKey(Create("Software\\Shared"));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool ok = false;
    try {
      ok = WriteValues("child", kEach);
    } catch (...) {
    }
    _exit(ok ? 0 : 1);
  }
  const bool parentOk = WriteValues("parent", kEach);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(parentOk);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  HKEY key = Create("Software\\Shared");
  std::set<std::string> names;
  char name[64];
  DWORD size = sizeof name;
  for (DWORD i = 0; RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++i) {
    names.insert(name);
    size = sizeof name;
  }
  RegCloseKey(key);
  EXPECT_EQ(names.size(), 2u * kEach);
  EXPECT_TRUE(names.count("child0") && names.count("parent149"));
}

TEST_F(HiveFile, AChangeByAnotherProgramIsSeenAtTheNextCall) {
  HKEY key = Create("Software\\Seen");
  ASSERT_EQ(SetText(key, "mine", "1"), ERROR_SUCCESS);
  WriteHive("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Seen]\n\"theirs\"=\"2\"\n");
  EXPECT_EQ(GetText(key, "theirs"), "2");
  EXPECT_EQ(GetText(key, "mine"), "<error 2>");
  ASSERT_EQ(SetText(key, "again", "3"), ERROR_SUCCESS);
  EXPECT_NE(ReadHive().find("\"theirs\"=\"2\""), std::string::npos) << "the change was made on their version";
  RegCloseKey(key);
}

TEST_F(HiveFile, SavesLeaveNoTemporaryFilesBehind) {
  HKEY key = Create("Software\\Tidy");
  for (int i = 0; i < 5; ++i) SetDword(key, "n", static_cast<DWORD>(i));
  RegCloseKey(key);
  for (const auto& entry : std::filesystem::directory_iterator(MachineRoot())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

struct BadHive {
  const char* what;
  std::string text;
  int line;
};

class UnreadableHive : public FreshRegistry, public testing::WithParamInterface<BadHive> {};

TEST_P(UnreadableHive, IsReportedWithItsLineAndNeverOverwritten) {
  RegCloseKey(Create("Software\\Before"));
  const std::string text = GetParam().text;
  WriteHive(text);
  HKEY key = nullptr;
  try {
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key);
    ADD_FAILURE() << "no error for " << GetParam().what;
  } catch (const HiveError& error) {
    const std::string expected = HiveFilePath().string() + ":" + std::to_string(GetParam().line) + ": ";
    EXPECT_EQ(std::string(error.what()).substr(0, expected.size()), expected) << error.what();
  }
  EXPECT_THROW(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\After", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                               nullptr),
               HiveError);
  EXPECT_EQ(ReadHive(), text) << "the file is left as it was";
}

const std::string kHead = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, UnreadableHive,
    testing::Values(BadHive{"no header", "garbage\n", 1},
                    BadHive{"binary garbage", std::string("REGEDIT4\n\x01\x02\0\xff\n", 14), 2},
                    BadHive{"garbage line", kHead + "\"a\"=\"b\"\nthis is not a value\n", 5},
                    BadHive{"unterminated string", kHead + "\"a\"=\"half\n", 4},
                    BadHive{"truncated name", kHead + "\"a\n", 4},
                    BadHive{"missing data", kHead + "\"a\"=\n", 4},
                    BadHive{"cut-off continuation", kHead + "\"a\"=hex:01,02,\\\n", 4},
                    BadHive{"bad hex", kHead + "\"a\"=hex:01,zz\n", 4},
                    BadHive{"dword too long", kHead + "\"a\"=dword:123456789\n", 4},
                    BadHive{"unknown escape", kHead + "\"a\"=\"C:\\x\"\n", 4},
                    BadHive{"open section", kHead + "[HKEY_LOCAL_MACHINE\\Software\n", 4},
                    BadHive{"unknown root", "REGEDIT4\n\n[HKEY_NOWHERE\\x]\n", 3},
                    BadHive{"short root in file", "REGEDIT4\n\n[HKLM\\x]\n", 3},
                    BadHive{"empty key name", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\a\\\\b]\n", 3},
                    BadHive{"value before key", "REGEDIT4\n\"a\"=\"b\"\n", 2},
                    BadHive{"key too deep", [] {
                      std::string section = "[HKEY_CURRENT_USER";
                      for (size_t i = 0; i <= kMaxKeyDepth; ++i) section += "\\k";
                      return "REGEDIT4\n\n[HKEY_CURRENT_USER\\ok]\n\n" + section + "]\n";
                    }(), 5},
                    BadHive{"huge string", kHead + "\"a\"=\"" + std::string(kMaxValueSize + 1, 'x') + "\"\n", 4},
                    BadHive{"huge hex", kHead + "\"a\"=hex:" + [] {
                      std::string list = "00";
                      for (size_t i = 0; i < kMaxValueSize; ++i) list += ",00";
                      return list;
                    }() + "\n", 4}),
    [](const testing::TestParamInfo<BadHive>& info) {
      std::string name = info.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST_F(HiveFile, AnOversizedHiveIsRefusedWithoutReadingIt) {
  RegCloseKey(Create("Software\\Before"));
  std::filesystem::resize_file(HiveFilePath(), kMaxHiveFileSize + 1);
  try {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key);
    ADD_FAILURE() << "no error";
  } catch (const HiveError& error) {
    EXPECT_NE(std::string(error.what()).find(HiveFilePath().string()), std::string::npos);
  }
  EXPECT_EQ(std::filesystem::file_size(HiveFilePath()), kMaxHiveFileSize + 1);
}

TEST_F(HiveFile, WhatTheRegistryWritesAtItsLimitsReadsBack) {
  // The longest value line: every character of the name escaped, the widest type prefix,
  // the largest data, wrapped over many lines.
  HKEY key = Create("Software\\Limits");
  const std::string name(kMaxValueNameLength, '\\');
  std::vector<BYTE> data(kMaxValueSize);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i * 7);
  ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, 0xFFFFFFFF, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);

  HiveStore another;  // as another program reads the file
  const RegKey* limits = another.Current().roots[RootIndex("HKLM")].FindSubkey("Software")->FindSubkey("Limits");
  ASSERT_NE(limits, nullptr);
  const RegValue* value = limits->FindValue(name);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type, 0xFFFFFFFFu);
  EXPECT_TRUE(value->data == data);
}

TEST_F(HiveFile, AcceptsWhatRegeditWrites) {
  WriteHive(
      "REGEDIT4\r\n\r\n; a comment\r\n[HKEY_LOCAL_MACHINE\\Software\\Korvell\\Carvox]\r\n"
      "@=\"default\"\r\n\"DSound_driver\"=\"Primary Sound Driver\"\r\n"
      "\"normalize_Export\"=dword:00000001\r\n"
      "\"bytes\"=hex:01,02,\\\r\n  03\r\n\"multi\"=hex(7):61,00,00\r\n");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Korvell\\Carvox", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, nullptr), "default");
  EXPECT_EQ(GetText(key, "DSound_driver"), "Primary Sound Driver");
  BYTE data[8];
  DWORD size = sizeof data;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "bytes", nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(data[2], 3);
  size = sizeof data;
  ASSERT_EQ(RegQueryValueExA(key, "multi", nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_MULTI_SZ);
  RegCloseKey(key);
}

}  // namespace
