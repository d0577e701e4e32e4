#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "tests/platform/machine/MachineTestSupport.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { old_.empty() ? unsetenv(name_) : setenv(name_, old_.c_str(), 1); }

 private:
  const char* name_;
  std::string old_;
};

TEST_F(FreshMachine, FirstUseCreatesTheWindowsFolders) {
  const fs::path root = MachineRoot();
  EXPECT_EQ(root, root_);
  for (const char* folder : {"drive_c/WINDOWS/system32", "drive_c/WINDOWS/temp", "drive_c/Program Files/Common Files",
                             "drive_c/Documents and Settings/All Users/Start Menu/Programs"}) {
    EXPECT_TRUE(fs::is_directory(root / folder)) << folder;
  }
  EXPECT_EQ(SystemFolderHostPath(), root / "drive_c/WINDOWS/system32");
  EXPECT_EQ(WindowsFolderHostPath(), root / "drive_c/WINDOWS");
}

TEST_F(FreshMachine, AFolderRemovedLaterIsMadeAgain) {
  fs::remove_all(MachineRoot() / "drive_c/WINDOWS");
  EXPECT_TRUE(fs::is_directory(MachineRoot() / "drive_c/WINDOWS/system32"));
  fs::remove(MachineRoot() / "drive_c/WINDOWS/temp");
  EXPECT_TRUE(fs::is_directory(MachineRoot() / "drive_c/WINDOWS/temp")) << "also beside an intact system32";
}

TEST_F(FreshMachine, ProgramsStartingTogetherBothGetACompleteMachine) {
  std::vector<pid_t> children;
  for (int i = 0; i < 4; ++i) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        _exit(fs::is_directory(MachineRoot() / "drive_c/WINDOWS/temp") ? 0 : 1);
      } catch (...) {
        _exit(2);
      }
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}

TEST(MachineRootChoice, FallsBackToTheDataFolderAndThenHome) {
  const fs::path home = testsupport::FreshFolder("home");
  ScopedEnv machine("CARVOX_MACHINE", nullptr);
  ScopedEnv homeVariable("HOME", home.c_str());
  {
    const fs::path data = home / "data";
    ScopedEnv xdg("XDG_DATA_HOME", data.c_str());
    EXPECT_EQ(MachineRoot(), data / "carvox/machine");
  }
  ScopedEnv relativeXdg("XDG_DATA_HOME", "relative/data");  // ignored, as XDG says
  EXPECT_EQ(MachineRoot(), home / ".local/share/carvox/machine");
}

TEST(MachineRootChoice, ARelativeMachineFolderStaysWhereItWasFirstFound) {
  const fs::path first = testsupport::FreshFolder("first");
  const fs::path second = testsupport::FreshFolder("second");
  const fs::path before = fs::current_path();
  ScopedEnv machine("CARVOX_MACHINE", "relative-machine");
  fs::current_path(first);
  EXPECT_EQ(MachineRoot(), first / "relative-machine");
  fs::current_path(second);
  EXPECT_EQ(MachineRoot(), first / "relative-machine");
  EXPECT_FALSE(fs::exists(second / "relative-machine"));
  fs::current_path(before);
}

TEST_F(FreshMachine, FolderQueriesFollowWindowsBufferRules) {
  char buffer[64];
  EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 10u);
  EXPECT_STREQ(buffer, "C:\\WINDOWS");
  EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 19u);
  EXPECT_STREQ(buffer, "C:\\WINDOWS\\system32");

  char small[10];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(GetWindowsDirectoryA(small, sizeof small), 11u) << "needed size with the NUL";
  EXPECT_EQ(small[0], 'x') << "nothing written when too small";
  EXPECT_EQ(GetWindowsDirectoryA(small, 0), 11u);
  char exact[11];
  EXPECT_EQ(GetWindowsDirectoryA(exact, sizeof exact), 10u);
}

std::string TempPath() {
  char buffer[MAX_PATH];
  const DWORD length = GetTempPathA(sizeof buffer, buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : "<failed>";
}

TEST_F(FreshMachine, TempPathIsTheTmpVariableOnDriveZ) {
  const fs::path tmp = testsupport::FreshFolder("tmp");
  const fs::path temp = testsupport::FreshFolder("temp");
  const fs::path tmpdir = testsupport::FreshFolder("tmpdir");
  ScopedEnv tmpVariable("TMP", tmp.c_str());
  ScopedEnv tempVariable("TEMP", temp.c_str());
  ScopedEnv tmpdirVariable("TMPDIR", tmpdir.c_str());
  const std::string path = TempPath();
  EXPECT_TRUE(path.starts_with("Z:\\"));
  EXPECT_EQ(path.back(), '\\');
  EXPECT_EQ(ToHostPath(path), tmp);
  {
    ScopedEnv relative("TMP", "relative");
    EXPECT_EQ(ToHostPath(TempPath()), temp) << "only an absolute folder counts";
  }
  ScopedEnv noTmp("TMP", nullptr);
  EXPECT_EQ(ToHostPath(TempPath()), temp);
  ScopedEnv noTemp("TEMP", nullptr);
  EXPECT_EQ(ToHostPath(TempPath()), tmpdir);
  ScopedEnv noTmpdir("TMPDIR", nullptr);
  EXPECT_EQ(TempPath(), "Z:\\tmp\\");
}

}  // namespace
