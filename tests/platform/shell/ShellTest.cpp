// Restart with wininit.ini replacements, shell links, opening documents.
#include <gtest/gtest.h>

#include "platform/machine/FileServices.h"
#include "platform/shell/Shell.h"
#include "tests/support/MachineFiles.h"

namespace {

const auto Write = &testsupport::WriteMachineFile;
const auto Read = &testsupport::ReadMachineFile;

TEST(Restart, CarriesOutAndEmptiesEveryRenameSection) {
  const struct {
    const char* name;
    std::string wininit;
    std::string after;
  } cases[] = {
      {"a plain section",
       "[rename]\r\nNUL=C:\\old.dll\r\nC:\\old.dll=C:\\old.dll.precpy\r\n",
       "[rename]\r\n"},
      {"an indented header in capitals, other sections kept",
       "[boot]\r\nx=1\r\n  [RENAME]\r\nNUL=C:\\old.dll\r\nC:\\old.dll=C:\\old.dll.precpy\r\n[other]\r\ny=2\r\n",
       "[boot]\r\nx=1\r\n  [RENAME]\r\n[other]\r\ny=2\r\n"},
      {"no section", "[boot]\r\nx=1\r\n", "[boot]\r\nx=1\r\n"},
  };
  for (const auto& c : cases) {
    Write("C:\\old.dll", "old");
    Write("C:\\old.dll.precpy", "new");
    platform::MarkInUse("C:\\old.dll");
    Write("C:\\WINDOWS\\wininit.ini", c.wininit);
    ASSERT_TRUE(platform::ExitWindowsEx(platform::EWX_REBOOT, 0)) << c.name;
    EXPECT_EQ(Read("C:\\WINDOWS\\wininit.ini"), c.after) << c.name;
    EXPECT_FALSE(platform::IsMarkedInUse("C:\\old.dll")) << c.name;
    const bool replaced = c.after != c.wininit;
    EXPECT_EQ(Read("C:\\old.dll"), replaced ? "new" : "old") << c.name;
    EXPECT_EQ(Read("C:\\old.dll.precpy"), replaced ? "(missing)" : "new") << c.name;
    platform::DeleteFileA("C:\\old.dll.precpy");
  }
}

TEST(Restart, SplitsAtTheFirstEqualsSignKeepsATargetWithoutSourceAndDoesNothingUnwritten) {
  Write("C:\\a=b.txt", "source");
  Write("C:\\kept.txt", "kept");
  Write("C:\\WINDOWS\\wininit.ini", "[rename]\r\nC:\\moved.txt=C:\\a=b.txt\r\nC:\\kept.txt=C:\\gone.txt\r\nnonsense\r\n");
  platform::CreateDirectoryA("C:\\WINDOWS\\wininit.ini.new");  // the new file cannot be written
  EXPECT_FALSE(platform::ExitWindowsEx(platform::EWX_REBOOT, 0));
  EXPECT_EQ(Read("C:\\moved.txt"), "(missing)");
  platform::RemoveDirectoryA("C:\\WINDOWS\\wininit.ini.new");
  ASSERT_TRUE(platform::ExitWindowsEx(platform::EWX_REBOOT, 0));
  EXPECT_EQ(Read("C:\\moved.txt"), "source");
  EXPECT_EQ(Read("C:\\kept.txt"), "kept");
  EXPECT_FALSE(platform::ExitWindowsEx(platform::EWX_SHUTDOWN, 0));
}

TEST(ShellLink, SavesAndLoadsEveryFieldAndRefusesLineBreaks) {
  platform::ShellLink link;
  link.target = "C:\\Program Files\\Korvell\\Carvox\\Carvox.exe";
  link.arguments = "a, b";
  link.description = "Carvox";
  link.iconPath = "C:\\x,y.ico";
  link.iconIndex = 3;
  link.workingDirectory = "C:\\Program Files\\Korvell\\Carvox";
  link.showCommand = 7;
  link.hotkey = 0x0641;
  ASSERT_EQ(platform::SaveShellLink("C:\\Carvox.lnk", link), platform::S_OK);
  EXPECT_TRUE(Read("C:\\Carvox.lnk").starts_with("[Shell Link]\r\nTarget=C:\\Program Files\\"));
  platform::ShellLink loaded;
  ASSERT_TRUE(platform::LoadShellLink("C:\\Carvox.lnk", loaded));
  EXPECT_EQ(loaded, link);

  link.description = "two\nlines";
  EXPECT_EQ(platform::SaveShellLink("C:\\Bad.lnk", link), platform::E_INVALIDARG);
  EXPECT_EQ(platform::SaveShellLink("C:\\no folder\\Carvox.lnk", platform::ShellLink{}), platform::STG_E_CANTSAVE);
  EXPECT_FALSE(platform::LoadShellLink("C:\\old.dll", loaded));
}

TEST(ShellExecute, OpensExistingFilesOnlyAndPrintsUnattended) {
  platform::SetShellUnattended(true);
  Write("C:\\ReadMe.txt", "read me");
  testing::internal::CaptureStdout();
  EXPECT_GT(platform::ShellExecuteA(nullptr, "open", "C:\\ReadMe.txt", nullptr, nullptr, platform::SW_SHOWNORMAL), 32);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Open: " + platform::ToHostPath("C:\\ReadMe.txt").string() + "\n");
  EXPECT_EQ(platform::ShellExecuteA(nullptr, "open", "C:\\Missing.txt", nullptr, nullptr, 1), platform::SE_ERR_FNF);
  EXPECT_EQ(platform::ShellExecuteA(nullptr, "print", "C:\\ReadMe.txt", nullptr, nullptr, 1), platform::SE_ERR_NOASSOC);
}

}  // namespace
