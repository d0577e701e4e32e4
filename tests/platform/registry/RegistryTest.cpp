#include <cstring>

#include "tests/platform/registry/RegistryTestSupport.h"

using namespace platform;

namespace {

using Registry = FreshRegistry;

TEST_F(Registry, ANewMachineHasTheFolderValuesAndAnEmptySharedDllsKey) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, "ProgramFilesDir"), "C:\\Program Files");
  EXPECT_EQ(GetText(key, "CommonFilesDir"), "C:\\Program Files\\Common Files");
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                          0, KEY_READ, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, "Common Programs"), "C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0,
                          KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  char name[64];
  DWORD size = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

TEST_F(Registry, CreateReportsWhetherTheLastKeyWasNew) {
  DWORD disposition = 0;
  RegCloseKey(Create("Software\\Korvell\\Carvox", &disposition));
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(Create("software\\KORVELL\\carvox", &disposition));
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(Create("Software\\Korvell", &disposition));
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY) << "keys made on the way exist";
  RegCloseKey(Create("Software\\Korvell\\Carvox\\Deeper\\", &disposition));
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY) << "a trailing backslash is ignored";
}

TEST_F(Registry, OpeningAMissingKeyFails) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Nobody", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
      << "each root is a tree of its own";
}

TEST_F(Registry, BadSubkeyPathsAreRefused) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "\\Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "a\\\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_BAD_PATHNAME);
  const std::string tooLong(kMaxKeyNameLength + 1, 'k');
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, tooLong.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "line\nbreak", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
}

// "a\\a\\...": `levels` names.
std::string NestedPath(size_t levels) {
  std::string path = "a";
  for (size_t i = 1; i < levels; ++i) path += "\\a";
  return path;
}

TEST_F(Registry, KeysAreAtMost512LevelsDeep) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, NestedPath(100000).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_INVALID_PARAMETER);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, NestedPath(kMaxKeyDepth - 1).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  HKEY deepest = nullptr;
  EXPECT_EQ(RegCreateKeyExA(key, "b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deepest, nullptr), ERROR_SUCCESS);
  RegCloseKey(deepest);
  HKEY tooDeep = nullptr;
  EXPECT_EQ(RegCreateKeyExA(key, "b\\c", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &tooDeep, nullptr),
            ERROR_INVALID_PARAMETER)
      << "counted from the root, not from the handle";
  RegCloseKey(key);
  for (const auto& entry : std::filesystem::directory_iterator(MachineRoot())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
  std::string text;
  ASSERT_EQ(RegExportText(HKEY_CURRENT_USER, NestedPath(kMaxKeyDepth - 1).c_str(), text), ERROR_SUCCESS);
  EXPECT_NE(text.find("\\a\\b]"), std::string::npos) << "the deepest key is in the hive";
}

TEST_F(Registry, NamesIgnoreCaseAndKeepTheFirstSpelling) {
  HKEY key = Create("Software\\Korvell\\Carvox");
  EXPECT_EQ(SetText(key, "Last_exportDir", "C:\\one"), ERROR_SUCCESS);
  EXPECT_EQ(SetText(key, "LAST_EXPORTDIR", "C:\\two"), ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, "last_exportdir"), "C:\\two");
  char name[64];
  DWORD size = sizeof name;
  ASSERT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Last_exportDir");
  size = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

TEST_F(Registry, QueryFollowsTheBufferSizeRules) {
  HKEY key = Create("Software\\Korvell\\Carvox");
  ASSERT_EQ(SetText(key, "DSound_driver", "Primary"), ERROR_SUCCESS);
  DWORD type = 0;
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "DSound_driver", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 8u) << "REG_SZ carries its NUL";
  EXPECT_EQ(type, REG_SZ);

  BYTE small[7];
  std::memset(small, 'x', sizeof small);
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "DSound_driver", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(small[0], 'x') << "nothing copied into a short buffer";

  BYTE exact[8];
  size = sizeof exact;
  EXPECT_EQ(RegQueryValueExA(key, "DSound_driver", nullptr, nullptr, exact, &size), ERROR_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<char*>(exact), "Primary");
  EXPECT_EQ(RegQueryValueExA(key, "DSound_driver", nullptr, nullptr, exact, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "missing", nullptr, nullptr, exact, &size), ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(SetDword(key, "normalize_Export", 1), ERROR_SUCCESS);
  DWORD value = 0;
  size = sizeof value;
  EXPECT_EQ(RegQueryValueExA(key, "normalize_Export", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 1u);
  RegCloseKey(key);
}

TEST_F(Registry, TheDefaultValueHasNoName) {
  HKEY key = Create("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Carvox.exe");
  ASSERT_EQ(SetText(key, nullptr, "C:\\Program Files\\Korvell\\Carvox\\Carvox.exe"), ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, ""), "C:\\Program Files\\Korvell\\Carvox\\Carvox.exe");
  ASSERT_EQ(SetText(key, "", "other"), ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, nullptr), "other");
  EXPECT_EQ(RegDeleteValueA(key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, ""), "<error 2>");
  RegCloseKey(key);
}

TEST_F(Registry, ValuesOfEveryKindSurviveTheHiveFile) {
  HKEY key = Create("Software\\Kinds");
  const BYTE binary[] = {0, 1, 0xFF, '\n', '"', '\\'};
  const char odd[] = "two\nlines";
  const std::string big(100000, 'b');
  ASSERT_EQ(RegSetValueExA(key, "bin", 0, REG_BINARY, binary, sizeof binary), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "odd", 0, REG_SZ, reinterpret_cast<const BYTE*>(odd), sizeof odd), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "nonul", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "short dword", 0, REG_DWORD, binary, 3), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "quote\"and\\slash", "C:\\\"x\""), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "big", big), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "x=hex", "C:\\"), ERROR_SUCCESS) << "a string ending in a backslash is not continued";
  std::string before;
  ASSERT_EQ(RegExportText(HKEY_LOCAL_MACHINE, "Software\\Kinds", before), ERROR_SUCCESS);
  RegCloseKey(key);

  // Another program rewrites the file with the same contents: everything is read back.
  const std::string hive = ReadHive();
  WriteHive("");
  WriteHive(hive);
  std::string after;
  ASSERT_EQ(RegExportText(HKEY_LOCAL_MACHINE, "Software\\Kinds", after), ERROR_SUCCESS);
  EXPECT_EQ(after, before);
  key = Create("Software\\Kinds");
  EXPECT_EQ(GetText(key, "quote\"and\\slash"), "C:\\\"x\"");
  EXPECT_EQ(GetText(key, "big"), "<error 234>");
  EXPECT_EQ(GetText(key, "x=hex"), "C:\\");
  BYTE data[8];
  DWORD size = sizeof data;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "nonul", nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(type, REG_SZ);
  RegCloseKey(key);
}

TEST_F(Registry, OversizedValuesAreRefused) {
  HKEY key = Create("Software\\Big");
  const std::vector<BYTE> huge(kMaxValueSize + 1);
  EXPECT_EQ(RegSetValueExA(key, "huge", 0, REG_BINARY, huge.data(), static_cast<DWORD>(huge.size())),
            ERROR_INVALID_PARAMETER);
  const std::string longName(kMaxValueNameLength + 1, 'n');
  EXPECT_EQ(SetText(key, longName.c_str(), "x"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key, "null data", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(Registry, DeletingAKeyWithSubkeysIsRefused) {
  RegCloseKey(Create("Software\\Korvell\\Carvox"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Korvell"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Korvell\\CARVOX"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Korvell\\Carvox"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Korvell"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED) << "a root stays";
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, EnumerationGoesByIndexInNameOrder) {
  HKEY key = Create("Software\\Enum");
  RegCloseKey(Create("Software\\Enum\\beta"));
  RegCloseKey(Create("Software\\Enum\\Alpha"));
  char name[8];
  DWORD size = sizeof name;
  ASSERT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Alpha");
  EXPECT_EQ(size, 5u);
  size = sizeof name;
  ASSERT_EQ(RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "beta");
  size = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(key, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  size = 5;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA)
      << "the name needs 6 characters with its NUL";

  ASSERT_EQ(SetText(key, "\\DosDevices\\E:", "device"), ERROR_SUCCESS);
  BYTE data[4];
  DWORD dataSize = sizeof data;
  size = sizeof name;
  char valueName[32];
  size = sizeof valueName;
  EXPECT_EQ(RegEnumValueA(key, 0, valueName, &size, nullptr, nullptr, data, &dataSize), ERROR_MORE_DATA);
  EXPECT_EQ(dataSize, 7u);
  RegCloseKey(key);
}

TEST_F(Registry, HandlesCheckTheirAccessAndTheirKey) {
  RegCloseKey(Create("Software\\Access"));
  HKEY reader = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Access", 0, KEY_READ, &reader), ERROR_SUCCESS);
  EXPECT_EQ(SetText(reader, "x", "y"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(reader, "x"), ERROR_ACCESS_DENIED);

  HKEY writer = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Access", 0, KEY_WRITE, &writer), ERROR_SUCCESS);
  EXPECT_EQ(GetText(writer, "x"), "<error 5>");
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Access"), ERROR_SUCCESS);
  EXPECT_EQ(SetText(writer, "x", "y"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(writer), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(writer), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(SetText(nullptr, "x", "y"), ERROR_INVALID_HANDLE);
}

}  // namespace
