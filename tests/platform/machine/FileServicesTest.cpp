#include "platform/machine/FileServices.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
  EXPECT_FALSE(Exists("C:\\Nowhere\\*"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(Exists("C:\\Nowhere\\x.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(Exists("C:\\WINDOWS\\*.none"));
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

TEST_F(FileServices, MoveCanChangeOnlyTheCaseOfAName) {
  Write("C:\\File.txt", "x", "wb");
  EXPECT_TRUE(MoveFileA("C:\\File.txt", "C:\\FILE.TXT"));
  EXPECT_TRUE(fs::exists(DriveC() / "FILE.TXT"));
  EXPECT_FALSE(fs::exists(DriveC() / "File.txt"));
  EXPECT_TRUE(MoveFileA("C:\\WINDOWS\\temp", "c:\\windows\\Temp")) << "folders too";
  EXPECT_TRUE(fs::is_directory(DriveC() / "WINDOWS/Temp"));
  EXPECT_FALSE(MoveFileA("C:\\FILE.TXT", "C:\\FILE.TXT")) << "a file does not move onto itself";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

// Moves between host file systems copy and delete; they need a second file system.
class MoveAcrossFileSystems : public FileServices {
 protected:
  void SetUp() override {
    FileServices::SetUp();
    struct stat shm {}, sandbox {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(root_.c_str(), &sandbox) != 0 || shm.st_dev == sandbox.st_dev) {
      GTEST_SKIP() << "/dev/shm is not a file system of its own here";
    }
    other_ = "/dev/shm/carvox-move-" + std::to_string(::getpid());
  }
  void TearDown() override {
    if (!other_.empty()) std::filesystem::remove(other_);
  }
  std::string other_;
};

TEST_F(MoveAcrossFileSystems, CopiesThenDeletesTheSource) {
  Write("C:\\WINDOWS\\big.bin", std::string(200000, 'z'), "wb");
  const std::string target = ToWindowsPath(other_);
  EXPECT_TRUE(MoveFileA("C:\\WINDOWS\\big.bin", target.c_str()));
  EXPECT_FALSE(fs::exists(DriveC() / "WINDOWS/big.bin"));
  EXPECT_EQ(ReadHostFile(other_), std::string(200000, 'z'));
  Write("C:\\WINDOWS\\again.bin", "new", "wb");
  EXPECT_FALSE(MoveFileA("C:\\WINDOWS\\again.bin", target.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(ReadHostFile(other_), std::string(200000, 'z')) << "the existing target is kept";
}

TEST_F(FileServices, AMoveWhoseCopyFailsLeavesNoPartialTarget) {
  // /proc/self/mem opens but cannot be read at offset 0, and it is on a file system of
  // its own: the copy starts and fails.
  struct stat info {};
  if (::stat("/proc/self/mem", &info) != 0) GTEST_SKIP() << "no /proc";
  EXPECT_FALSE(MoveFileA("Z:\\proc\\self\\mem", "C:\\WINDOWS\\mem.copy"));
  EXPECT_FALSE(fs::exists(DriveC() / "WINDOWS/mem.copy"));
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

TEST_F(FileServices, TextModePositionsAreOffsetsOnDisk) {
  // Lines of every length, so that CR LF pairs fall on every side of the read chunks.
  std::string lines;
  std::vector<long> offsets{0};
  for (int i = 0; i < 3000; ++i) {
    lines += std::string(static_cast<size_t>(i % 11), 'a' + static_cast<char>(i % 26)) + "\n";
    offsets.push_back(offsets.back() + i % 11 + 2);
  }
  Write("C:\\positions.txt", lines, "w");
  std::FILE* file = OpenFile("C:\\positions.txt", "r");
  ASSERT_NE(file, nullptr);
  char line[32];
  for (size_t i = 1; i < offsets.size(); ++i) {
    ASSERT_NE(std::fgets(line, sizeof line, file), nullptr);
    ASSERT_EQ(std::ftell(file), offsets[i]) << "after line " << i;
  }
  ASSERT_EQ(std::fseek(file, offsets[1234], SEEK_SET), 0);
  ASSERT_NE(std::fgets(line, sizeof line, file), nullptr);
  EXPECT_EQ(std::string(line), std::string(1234 % 11, 'a' + 1234 % 26) + "\n");
  EXPECT_EQ(std::ftell(file), offsets[1235]);
  ASSERT_EQ(std::fseek(file, -2, SEEK_CUR), 0) << "back over the CR LF";
  EXPECT_EQ(std::fgetc(file), '\n');
  std::fclose(file);

  file = OpenFile("C:\\positions.txt", "r+");
  ASSERT_NE(file, nullptr);
  ASSERT_NE(std::fgets(line, sizeof line, file), nullptr);
  ASSERT_EQ(std::fseek(file, 0, SEEK_CUR), 0);
  std::fputs("X\n", file);
  EXPECT_EQ(std::ftell(file), offsets[1] + 3) << "a written line end takes two bytes";
  std::fclose(file);
  EXPECT_EQ(ReadHostFile(DriveC() / "positions.txt").substr(0, 7), "\r\nX\r\ncc") << "written over the next line";
}

TEST_F(FileServices, OpenRefusesBadModesAndPaths) {
  EXPECT_EQ(OpenFile("C:\\x.txt", ""), nullptr);
  EXPECT_EQ(OpenFile("C:\\x.txt", nullptr), nullptr);
  EXPECT_EQ(OpenFile("C:\\x.txt", "q"), nullptr);
  EXPECT_EQ(OpenFile("C:\\x.txt", "rw"), nullptr);
  EXPECT_EQ(OpenFile("C:\\..\\x.txt", "w"), nullptr);
  EXPECT_EQ(OpenFile("C:\\missing.txt", "r"), nullptr);
  std::FILE* binary = OpenFile("C:\\x.bin", "w+b");
  ASSERT_NE(binary, nullptr);
  EXPECT_NE(::fcntl(fileno(binary), F_GETFD) & FD_CLOEXEC, 0) << "programs started later do not inherit it";
  std::fclose(binary);
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
