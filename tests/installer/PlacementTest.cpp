// The context, destinations, directory entries and the placement of system files.
#include "platform/machine/FileServices.h"
#include "tests/installer/InstallerTestSupport.h"

namespace {

using namespace installer;
using platform::VS_FIXEDFILEINFO;

std::string WithVersion(const std::string& bytes, platform::WORD major) {
  const VS_FIXEDFILEINFO record = platform::MakeVersionRecord(major, 0, 0, 0, platform::VFT_DLL);
  return bytes + std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

// The staging folder's removal is seen by the round trip (nothing may be left).
TEST_F(InstallerTest, ContextDirectoriesFollowThePlatform) {
  for (const bool nt : {true, false}) {
    SetUp();
    if (!nt) PlayWindows98();
    unsetenv("TMP");
    InstallerContext context;
    InitContext(context);
    EXPECT_EQ(context.isNT, nt);
    EXPECT_EQ(context.system16Dir, nt ? "C:\\WINDOWS\\system" : "C:\\WINDOWS\\system32");
    EXPECT_EQ(context.driverDir, nt ? "C:\\WINDOWS\\system32\\drivers" : "C:\\WINDOWS\\system32");
    EXPECT_EQ(context.sharedDir, "C:\\Program Files\\Common Files\\Korvell");
    EXPECT_EQ(context.tempDir, "C:\\WINDOWS\\Temp\\_ins0");
  }
}

TEST_F(InstallerTest, DestinationsReplaceTheFirstPlaceholderOnly) {
  InstallerContext context;
  context.appDir = "C:\\App";
  context.windowsDir = "C:\\WINDOWS";
  context.systemDir = "C:\\WINDOWS\\system32";
  const std::pair<std::string, std::string> cases[] = {
      {"<appdir>\\help", "C:\\App\\help"},
      {"<windir>\\x<appdir>", "<windir>\\xC:\\App"},
      {"<sysdir32>", "C:\\WINDOWS\\system32"},
      {"<appdir><appdir>", "C:\\App<appdir>"},
      {"D:\\plain", "D:\\plain"},
  };
  for (const auto& [destination, resolved] : cases) EXPECT_EQ(ResolveDestination(context, destination), resolved);
}

TEST_F(InstallerTest, TypedDirectoriesMustBeAbsoluteAndHoldNoComma) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Tools\\Carvox\\", "C:\\Tools\\Carvox"}, {"c:/x/y", "c:\\x\\y"}, {"/opt/carvox", "Z:\\opt\\carvox"},
      {"", ""}, {"   ", ""}, {"Carvox", ""}, {"C:", ""}, {"\\Carvox", ""}, {"C:\\a,b", ""}, {"Q:\\x", ""},
  };
  for (const auto& [typed, accepted] : cases) {
    std::string reason;
    EXPECT_EQ(AcceptDirectory(typed, reason), accepted) << typed;
    EXPECT_EQ(reason.empty(), !accepted.empty()) << typed;
  }
}

TEST_F(InstallerTest, SystemFilesAreReplacedOnlyByNewerVersions) {
  const struct {
    const char* name;
    std::string existing;  // empty: no file
    std::string staged;
    bool placed;
    bool logged;
  } cases[] = {
      {"absent", "", WithVersion("new", 2), true, true},
      {"same version", WithVersion("old", 2), WithVersion("new", 2), false, false},
      {"higher existing", WithVersion("old", 3), WithVersion("new", 2), false, false},
      {"lower existing", WithVersion("old", 1), WithVersion("new", 2), true, false},
      {"existing without version", "old", WithVersion("new", 2), true, false},
      {"damaged existing record", WithVersion("old", 3).substr(1) + "x", WithVersion("new", 2), true, false},
      {"staged without version", WithVersion("old", 3), "new", true, false},
  };
  for (const auto& c : cases) {
    SetUp();
    InstallerContext context;
    InitContext(context);
    if (!c.existing.empty()) Write("C:\\WINDOWS\\system32\\x.dll", c.existing);
    EXPECT_EQ(PlaceSystemFile(context, c.staged.data(), c.staged.size(), "x.dll", "C:\\WINDOWS\\system32", false),
              c.placed ? 1 : 0) << c.name;
    EXPECT_EQ(Read("C:\\WINDOWS\\system32\\x.dll"), c.placed ? c.staged : c.existing) << c.name;
    EXPECT_EQ(Log().size(), c.logged ? 1u : 0u) << c.name;
    EXPECT_FALSE(context.rebootNeeded) << c.name;
  }
}

TEST_F(InstallerTest, AFileInUseWaitsForTheNextStart) {
  const struct {
    const char* name;
    std::string wininit;  // empty: no file
    std::string expected;
  } cases[] = {
      {"no wininit.ini", "", "[Rename]\r\nNUL=T\r\nT=T.precpy\r\n"},
      {"no section", "[boot]\r\n", "[boot]\r\n[Rename]\r\nNUL=T\r\nT=T.precpy\r\n"},
      {"a section", "[rename]\r\nNUL=C:\\a\r\n", "[rename]\r\nNUL=T\r\nT=T.precpy\r\nNUL=C:\\a\r\n"},
      {"indented capitals", "  [RENAME]\r\n[x]\r\n", "  [RENAME]\r\nNUL=T\r\nT=T.precpy\r\n[x]\r\n"},
      {"already scheduled", "[rename]\r\nNUL=T\r\nT=T.precpy\r\n", "[rename]\r\nNUL=T\r\nT=T.precpy\r\n"},
  };
  const auto withTarget = [](std::string text, const std::string& target) {
    for (size_t at; (at = text.find("T")) != std::string::npos;) text.replace(at, 1, target);
    return text;
  };
  const std::string target = "C:\\WINDOWS\\system32\\x.dll";
  for (const auto& c : cases) {
    SetUp();
    testsupport::ScriptedPrompt prompt;
    InstallerContext context;
    InitContext(context);
    if (!c.wininit.empty()) Write("C:\\WINDOWS\\wininit.ini", withTarget(c.wininit, target));
    Write(target, "old");
    platform::MarkInUse(target);
    const std::string staged = WithVersion("new", 2);
    EXPECT_EQ(PlaceSystemFile(context, staged.data(), staged.size(), "x.dll", "C:\\WINDOWS\\system32", false), 0);
    EXPECT_TRUE(context.rebootNeeded) << c.name;
    EXPECT_EQ(Read(target + ".precpy"), staged) << c.name;
    EXPECT_EQ(Read("C:\\WINDOWS\\wininit.ini"), withTarget(c.expected, target)) << c.name;
    EXPECT_TRUE(prompt.messages().empty()) << c.name;
  }
}

// The staged copy cannot be moved beside the file in use. A copy waiting there from an
// earlier run is still there for wininit.ini's lines, and no line deletes the file at the
// start without putting another in its place.
TEST_F(InstallerTest, AFailedMoveForTheNextStartLosesNoFile) {
  const std::string target = "C:\\WINDOWS\\system32\\MFC42.DLL";
  for (const bool earlierCopy : {true, false}) {
    SetUp();
    InstallerContext context;
    InitContext(context);
    context.tempDir = "C:\\staging";
    platform::CreateDirectoryA(context.tempDir.c_str());
    Write(target, "in use");
    platform::MarkInUse(target);
    if (earlierCopy) {
      Write(target + ".precpy", "earlier");
      ScheduleRenameAtBoot(context, target, target + ".precpy");
    }
    platform::MarkInUse(context.tempDir + "\\MFC42.DLL");
    const std::string staged = WithVersion("new", 2);
    EXPECT_EQ(PlaceSystemFile(context, staged.data(), staged.size(), "MFC42.DLL", "C:\\WINDOWS\\system32", false), 0);
    ASSERT_TRUE(platform::ExitWindowsEx(platform::EWX_REBOOT, 0));
    EXPECT_EQ(Read(target), earlierCopy ? "earlier" : "in use") << earlierCopy;
  }
}

TEST_F(InstallerTest, AFileThatCannotBeWrittenIsReportedAndLeavesNothing) {
  testsupport::ScriptedPrompt prompt;
  InstallerContext context;
  InitContext(context);
  context.tempDir = "C:\\missing staging";
  EXPECT_EQ(PlaceSystemFile(context, "x", 1, "x.dll", "C:\\WINDOWS\\system32", false), 0);
  EXPECT_FALSE(WritePayloadFile("x", 1, "x.exe", "C:\\missing folder", false));
  EXPECT_EQ(prompt.texts(), (std::vector<std::string>{"Could not copy file.", "Could not copy File."}));
  EXPECT_TRUE(Log().empty());
}

}  // namespace
