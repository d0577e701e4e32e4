#include "tests/platform/machine/MachineTestSupport.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

using PathMapping = FreshMachine;

TEST_F(PathMapping, DrivesCAndZ) {
  EXPECT_EQ(ToHostPath("C:\\"), DriveC());
  EXPECT_EQ(ToHostPath("c:\\WINDOWS\\system32"), DriveC() / "WINDOWS/system32");
  EXPECT_EQ(ToHostPath("Z:\\"), fs::path("/"));
  EXPECT_EQ(ToHostPath("z:\\usr\\bin"), fs::path("/usr/bin"));
}

TEST_F(PathMapping, ComponentsMatchWithoutRegardToCase) {
  EXPECT_EQ(ToHostPath("C:\\windows\\SYSTEM32"), DriveC() / "WINDOWS/system32");
  // The uninstaller is written as ONUnInst.exe and registered as ONUninst.exe.
  WriteHostFile(DriveC() / "WINDOWS/ONUnInst.exe", "MZ");
  EXPECT_EQ(ToHostPath("C:\\WINDOWS\\ONUninst.exe"), DriveC() / "WINDOWS/ONUnInst.exe");
}

TEST_F(PathMapping, NewNamesKeepTheirCase) {
  EXPECT_EQ(ToHostPath("C:\\windows\\NewFolder\\Read Me.TXT"), DriveC() / "WINDOWS/NewFolder/Read Me.TXT");
}

TEST_F(PathMapping, AnExactNameWinsOverOtherCases) {
  fs::create_directories(DriveC() / "dup/Data");
  fs::create_directories(DriveC() / "dup/DATA");
  EXPECT_EQ(ToHostPath("C:\\dup\\DATA"), DriveC() / "dup/DATA");
  EXPECT_EQ(ToHostPath("C:\\dup\\data"), DriveC() / "dup/DATA") << "the first in byte order";
}

TEST_F(PathMapping, SeparatorsEmptyComponentsAndDotsResolvePredictably) {
  const fs::path system = DriveC() / "WINDOWS/system32";
  EXPECT_EQ(ToHostPath("C:/WINDOWS\\system32"), system);
  EXPECT_EQ(ToHostPath("C:\\\\WINDOWS\\\\\\system32\\"), system);
  EXPECT_EQ(ToHostPath("C:\\WINDOWS\\.\\temp\\..\\system32"), system);
  EXPECT_EQ(ToHostPath("C:\\WINDOWS\\.."), DriveC());
}

TEST_F(PathMapping, RefusesPathsThatLeaveTheDriveOrAreNotAbsolute) {
  for (const char* path : {"C:\\..", "C:\\WINDOWS\\..\\..\\etc", "c:/../../etc/passwd", "Z:\\..", "Q:\\data",
                           "1:\\data", "WINDOWS\\system32", "C:WINDOWS", "C:", "\\\\server\\share\\x",
                           "\\WINDOWS", "", "C:\\a<b", "C:\\a:b", "C:\\what?", "C:\\tab\there"}) {
    EXPECT_THROW(ToHostPath(path), PathError) << path;
  }
}

TEST_F(PathMapping, HostPathsConvertBack) {
  EXPECT_EQ(ToWindowsPath(DriveC() / "WINDOWS/system32"), "C:\\WINDOWS\\system32");
  EXPECT_EQ(ToWindowsPath(DriveC()), "C:\\");
  EXPECT_EQ(ToWindowsPath("/usr/share/doc"), "Z:\\usr\\share\\doc");
  EXPECT_EQ(ToWindowsPath("/"), "Z:\\");
  EXPECT_EQ(ToWindowsPath(DriveC() / "WINDOWS/../Program Files/"), "C:\\Program Files");
  EXPECT_EQ(ToHostPath(ToWindowsPath("/usr/share/doc")), fs::path("/usr/share/doc"));
}

}  // namespace
