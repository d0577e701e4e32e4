// The install log as the installer writes it and the uninstaller reads and splits it.
#include <gtest/gtest.h>

#include "installer/InstallLog.h"
#include "tests/support/MachineFiles.h"
#include "tests/support/ScriptedPrompt.h"

namespace {

using installer::LogLineKind;

using testsupport::ReadMachineFile;
using testsupport::WriteMachineFile;

TEST(InstallLog, WritesNewestFirstWithCrLf) {
  installer::InstallLog& log = installer::TheInstallLog();
  log.Clear();
  installer::LogNewKey("HKEY_LOCAL_MACHINE", "Software\\Korvell\\Carvox");
  installer::LogNewDir("C:\\Program Files\\Korvell");
  installer::LogAppFile("C:\\Program Files\\Korvell", "a b.exe", false);
  installer::LogSysFile("C:\\WINDOWS\\system32", "x.dll", true);
  installer::WriteInstallLog("C:\\written.log");
  log.Clear();
  EXPECT_EQ(ReadMachineFile("C:\\written.log"),
            "INSTSYSFILE C:\\WINDOWS\\system32,x.dll,COMPONENT\r\n"
            "INSTAPPFILE C:\\Program Files\\Korvell,a b.exe\r\n"
            "NEWDIR C:\\Program Files\\Korvell\r\n"
            "NEWKEY HKEY_LOCAL_MACHINE,Software\\Korvell\\Carvox\r\n");
}

TEST(InstallLog, AFileThatCannotBeCreatedIsReported) {
  testsupport::ScriptedPrompt prompt;
  installer::WriteInstallLog("C:\\no such folder\\_install.log");
  EXPECT_EQ(prompt.texts(), std::vector<std::string>{"Could not write File."});
  EXPECT_EQ(prompt.messages()[0].type, 16u);
}

TEST(InstallLog, ReadsLinesWholeWhateverTheirEnds) {
  const std::string longLine = "NEWDIR C:\\" + std::string(290, 'd');
  const struct {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"CR LF", "one\r\ntwo\r\n", {"one", "two"}},
      {"LF only", "one\ntwo\n", {"one", "two"}},
      {"no final line end keeps its last character", "one\r\ntwo", {"one", "two"}},
      {"a 300-character line stays one line", longLine + "\r\n", {longLine}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) {
    WriteMachineFile("C:\\read.log", c.bytes);
    std::vector<std::string> lines;
    ASSERT_TRUE(installer::ReadInstallLog("C:\\read.log", lines)) << c.name;
    EXPECT_EQ(lines, c.lines) << c.name;
  }
  std::vector<std::string> none;
  EXPECT_FALSE(installer::ReadInstallLog("C:\\missing.log", none));
}

TEST(InstallLog, SplitsLinesIntoKindAndFields) {
  const struct {
    std::string line;
    LogLineKind kind;
    std::string first, second, third;
    bool component;
  } cases[] = {
      {"INSTAPPFILE C:\\A B,c d.exe", LogLineKind::AppFile, "C:\\A B", "c d.exe", "", false},
      {"INSTAPPFILE C:\\A,x.dll,COMPONENT", LogLineKind::AppFile, "C:\\A", "x.dll", "COMPONENT", true},
      {"INSTSYSFILE C:\\A,x.dll,COMPONENT ", LogLineKind::SysFile, "C:\\A", "x.dll", "COMPONENT ", false},
      {"INSTSYSFILE C:\\A,x.dll,component,more", LogLineKind::SysFile, "C:\\A", "x.dll", "component", false},
      {"INSTAPPFILE C:\\A", LogLineKind::AppFile, "C:\\A", "", "", false},
      {"NEWKEY HKEY_USERS,a\\b,c", LogLineKind::NewKey, "HKEY_USERS", "a\\b", "", false},
      {"NEWDIR C:\\x,y", LogLineKind::NewDir, "C:\\x", "", "", false},
      {"REGFILE C:\\x,y", LogLineKind::RegFile, "", "", "", false},
      {"newdir C:\\x", LogLineKind::Unknown, "", "", "", false},
      {"NEWDIRC:\\x", LogLineKind::Unknown, "", "", "", false},
      {"", LogLineKind::Unknown, "", "", "", false},
  };
  for (const auto& c : cases) {
    const installer::LogLine split = installer::SplitLogLine(c.line);
    EXPECT_EQ(split.kind, c.kind) << c.line;
    EXPECT_EQ(split.first, c.first) << c.line;
    EXPECT_EQ(split.second, c.second) << c.line;
    EXPECT_EQ(split.third, c.third) << c.line;
    EXPECT_EQ(split.IsComponent(), c.component) << c.line;
  }
}

}  // namespace
