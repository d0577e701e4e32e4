#include "platform/machine/FileServices.h"

#include <cstdio>
#include <string>
#include <vector>

#include "tests/platform/machine/MachineTestSupport.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

class FileServices : public FreshMachine {
 protected:
  void Write(const char* path, const std::string& text, const char* mode) {
    std::FILE* file = OpenFile(path, mode);
    ASSERT_NE(file, nullptr) << path;
    std::fputs(text.c_str(), file);
    std::fclose(file);
  }
  std::string Read(const char* path, const char* mode) {
    std::FILE* file = OpenFile(path, mode);
    if (file == nullptr) return "<cannot open>";
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
  }
  bool Exists(const char* path) {
    WIN32_FIND_DATAA data{};
    HFINDFILE search = FindFirstFileA(path, &data);
    if (search == nullptr) return false;
    FindClose(search);
    return true;
  }
};

TEST_F(FileServices, TheUninstallerNameIsOneFileInAnyCase) {
  Write("C:\\WINDOWS\\ONUnInst.exe", "MZ", "w+b");
  WIN32_FIND_DATAA data{};
  HFINDFILE search = FindFirstFileA("C:\\WINDOWS\\ONUninst.exe", &data);
  ASSERT_NE(search, nullptr);
  EXPECT_STREQ(data.cFileName, "ONUnInst.exe");
  EXPECT_EQ(data.nFileSizeLow, 2u);
  FindClose(search);
  EXPECT_EQ(Read("C:\\windows\\onuninst.EXE", "rb"), "MZ");
  EXPECT_TRUE(DeleteFileA("C:\\WINDOWS\\ONUNINST.EXE"));
  EXPECT_FALSE(fs::exists(DriveC() / "WINDOWS/ONUnInst.exe"));
}

TEST_F(FileServices, FindFirstFileFollowsWindowsRules) {
  Write("C:\\WINDOWS\\a.ini", "", "w");
  Write("C:\\WINDOWS\\b.INI", "", "w");
  WIN32_FIND_DATAA data{};
  HFINDFILE search = FindFirstFileA("C:\\WINDOWS\\*.ini", &data);
  ASSERT_NE(search, nullptr);
  std::vector<std::string> names{data.cFileName};
  while (FindNextFileA(search, &data)) names.push_back(data.cFileName);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  FindClose(search);
  EXPECT_EQ(names, (std::vector<std::string>{"a.ini", "b.INI"}));

  EXPECT_TRUE(Exists("C:\\WINDOWS\\system32"));
  EXPECT_FALSE(Exists("C:\\WINDOWS\\system32\\")) << "a trailing separator finds nothing";
  EXPECT_FALSE(Exists("C:\\")) << "a drive root finds nothing";
  EXPECT_FALSE(Exists("C:\\WINDOWS\\missing.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(Exists("Q:\\WINDOWS"));
  EXPECT_FALSE(Exists("C:\\..\\etc"));
}

TEST_F(FileServices, DirectoriesAreCreatedAndRemovedOnlyWhenThatIsPossible) {
  EXPECT_TRUE(CreateDirectoryA("C:\\Program Files\\Korvell"));
  EXPECT_FALSE(CreateDirectoryA("C:\\program files\\KORVELL"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryA("C:\\No\\Such\\Parent"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  Write("C:\\Program Files\\Korvell\\x.txt", "x", "w");
  EXPECT_FALSE(RemoveDirectoryA("C:\\Program Files\\Korvell"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  EXPECT_FALSE(DeleteFileA("C:\\Program Files\\Korvell")) << "DeleteFile does not take directories";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(DeleteFileA("C:\\Program Files\\Korvell\\X.TXT"));
  EXPECT_FALSE(DeleteFileA("C:\\Program Files\\Korvell\\x.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(RemoveDirectoryA("C:\\Program Files\\Korvell"));
  EXPECT_FALSE(RemoveDirectoryA("C:\\..\\outside"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(FileServices, MoveFailsWhenTheTargetExistsAndKeepsBothFiles) {
  Write("C:\\WINDOWS\\new.dll", "new", "wb");
  Write("C:\\WINDOWS\\old.dll", "old", "wb");
  EXPECT_FALSE(MoveFileA("C:\\WINDOWS\\new.dll", "C:\\WINDOWS\\OLD.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(Read("C:\\WINDOWS\\old.dll", "rb"), "old");
  EXPECT_EQ(Read("C:\\WINDOWS\\new.dll", "rb"), "new");
  EXPECT_TRUE(MoveFileA("C:\\WINDOWS\\new.dll", "C:\\WINDOWS\\new.dll.precpy"));
  EXPECT_EQ(Read("C:\\WINDOWS\\new.dll.precpy", "rb"), "new");
  EXPECT_FALSE(MoveFileA("C:\\WINDOWS\\gone.dll", "C:\\WINDOWS\\x.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FileServices, AFileMarkedInUseCannotBeDeletedOrMoved) {
  Write("C:\\WINDOWS\\system32\\busy.dll", "busy", "wb");
  MarkInUse("C:\\WINDOWS\\SYSTEM32\\BUSY.DLL");
  EXPECT_TRUE(IsMarkedInUse("c:\\windows\\system32\\busy.dll"));
  EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\system32\\busy.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(MoveFileA("C:\\WINDOWS\\system32\\busy.dll", "C:\\WINDOWS\\system32\\moved.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  Write("C:\\WINDOWS\\system32\\busy.new", "new", "wb");
  EXPECT_FALSE(MoveFileA("C:\\WINDOWS\\system32\\busy.new", "C:\\WINDOWS\\system32\\busy.dll"));
  EXPECT_EQ(Read("C:\\WINDOWS\\system32\\busy.dll", "rb"), "busy");

  ClearInUse("C:\\WINDOWS\\system32\\busy.dll");
  EXPECT_TRUE(DeleteFileA("C:\\WINDOWS\\system32\\busy.dll"));
}

TEST_F(FileServices, TextModeWritesAndReadsCrLf) {
  Write("C:\\WINDOWS\\wininit.ini", "[rename]\nNUL=C:\\x\n", "w");
  EXPECT_EQ(ReadHostFile(DriveC() / "WINDOWS/wininit.ini"), "[rename]\r\nNUL=C:\\x\r\n");
  EXPECT_EQ(Read("C:\\WINDOWS\\wininit.ini", "r"), "[rename]\nNUL=C:\\x\n");
  EXPECT_EQ(Read("C:\\WINDOWS\\wininit.ini", "rb"), "[rename]\r\nNUL=C:\\x\r\n");

  WriteHostFile(DriveC() / "lone.txt", "a\rb\r\n\r");
  EXPECT_EQ(Read("C:\\lone.txt", "r"), "a\rb\n\r") << "only CR LF pairs become a line end";
  Write("C:\\raw.bin", "a\nb", "w+b");
  EXPECT_EQ(ReadHostFile(DriveC() / "raw.bin"), "a\nb");
}

TEST_F(FileServices, TextModeKeepsCrLfPairsThatStraddleReadChunks) {
  std::string lines;
  for (int i = 0; i < 5000; ++i) lines += std::string(static_cast<size_t>(i % 7), 'x') + "\r\n";
  WriteHostFile(DriveC() / "long.log", lines);
  std::string expected;
  for (int i = 0; i < 5000; ++i) expected += std::string(static_cast<size_t>(i % 7), 'x') + "\n";
  EXPECT_EQ(Read("C:\\long.log", "r"), expected);
}

TEST_F(FileServices, TextModeUpdateReadsBackWhatItWrote) {
  std::FILE* file = OpenFile("C:\\WINDOWS\\temp\\kfwr.tmp", "w+");
  ASSERT_NE(file, nullptr);
  std::fputs("one\ntwo\n", file);
  std::rewind(file);
  char line[16];
  ASSERT_NE(std::fgets(line, sizeof line, file), nullptr);
  EXPECT_STREQ(line, "one\n");
  std::fclose(file);
  Write("C:\\WINDOWS\\temp\\kfwr.tmp", "three\n", "a");
  EXPECT_EQ(Read("C:\\WINDOWS\\temp\\kfwr.tmp", "rt"), "one\ntwo\nthree\n");
}

TEST_F(FileServices, OpenRefusesBadModesAndPaths) {
  EXPECT_EQ(OpenFile("C:\\x.txt", "q"), nullptr);
  EXPECT_EQ(OpenFile("C:\\x.txt", "rw"), nullptr);
  EXPECT_EQ(OpenFile("C:\\..\\x.txt", "w"), nullptr);
  EXPECT_EQ(OpenFile("C:\\missing.txt", "r"), nullptr);
  EXPECT_FALSE(fs::exists(root_ / "x.txt"));
}

TEST_F(FileServices, ShortPathIsThePathItselfWhenItExists) {
  char buffer[MAX_PATH];
  EXPECT_EQ(GetShortPathNameA("C:\\WINDOWS\\system32", buffer, sizeof buffer), 19u);
  EXPECT_STREQ(buffer, "C:\\WINDOWS\\system32");
  EXPECT_EQ(GetShortPathNameA("C:\\WINDOWS\\system32", buffer, 5), 20u);
  EXPECT_EQ(GetShortPathNameA("C:\\WINDOWS\\nothing", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
