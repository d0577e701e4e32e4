// The uninstaller's lines and messages, and the whole round trip through the programs.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <tuple>

#include "platform/library/Library.h"
#include "platform/machine/FileServices.h"
#include "tests/installer/InstallerTestSupport.h"
#include "tools/machine/MachineTool.h"
#include "uninstaller/Uninstaller.h"

namespace {

using testsupport::ScriptedPrompt;
namespace fs = std::filesystem;

TEST(Uninstaller, RootNamesAreMatchedExactly) {
  const std::pair<std::string, platform::HKEY> cases[] = {
      {"HKEY_CLASSES_ROOT", platform::HKEY_CLASSES_ROOT}, {"HKEY_CURRENT_CONFIG", platform::HKEY_CURRENT_CONFIG},
      {"HKEY_CURRENT_USER", platform::HKEY_CURRENT_USER}, {"HKEY_LOCAL_MACHINE", platform::HKEY_LOCAL_MACHINE},
      {"HKEY_USERS", platform::HKEY_USERS},               {"HKEY_DYN_DATA", platform::HKEY_DYN_DATA},
      {"HKEY_LOCAL_MACHINE ", nullptr},                   {"hkey_local_machine", nullptr},
      {"HKLM", nullptr},                                  {"", nullptr},
  };
  for (const auto& [name, key] : cases) EXPECT_EQ(uninstaller::RootKeyNamed(name), key) << name;
}

TEST_F(InstallerTest, TheUninstallerReportsWhatItCouldRead) {
  Write("C:\\empty.log", "");
  platform::CreateDirectoryA("C:\\folder.log");
  const struct {
    std::string commandLine;
    int status;
    std::string text, caption;
    unsigned type;
  } cases[] = {
      {"C:\\missing.log", 1, "Could not uninstall (log file not found)", "Error", 16},
      {"", 1, "Could not uninstall (log file not found)", "Error", 16},
      {"  C:\\empty.log ", 0, "Uninstall successful", "Ondrel UnInstaller", 64},
      {"C:\\folder.log", 1, "Could not uninstall (could not open log file)", "Error", 16},
  };
  for (const auto& c : cases) {
    ScriptedPrompt prompt;
    EXPECT_EQ(uninstaller::WinMain(c.commandLine, nullptr), c.status) << c.commandLine;
    ASSERT_EQ(prompt.messages().size(), 1u) << c.commandLine;
    EXPECT_EQ(prompt.messages()[0].text, c.text);
    EXPECT_EQ(prompt.messages()[0].caption, c.caption);
    EXPECT_EQ(prompt.messages()[0].type, c.type);
  }
}

TEST_F(InstallerTest, SharedFilesGoOnlyWhenUnusedAndTheUserAgrees) {
  const uninstaller::InstalledPlaces places({"C:\\WINDOWS\\system32", "C:\\Tools"}, {});
  const std::string path = "C:\\WINDOWS\\system32\\s.dll";
  for (const int answer : {platform::IDYES, platform::IDNO}) {
    Write(path, "shared");
    installer::IncrementSharedCount(path);
    ScriptedPrompt prompt;
    prompt.Script({answer});
    uninstaller::ProcessLogLine("INSTSYSFILE C:\\WINDOWS\\system32,s.dll", places);
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{
                                  "<s.dll>\n\nThis file seems to be no longer in use.\nDo you want to remove it?"});
    EXPECT_EQ(prompt.messages()[0].type, 36u);
    EXPECT_EQ(Read(path), answer == platform::IDYES ? "(missing)" : "shared");
    EXPECT_EQ(SharedCount(path), std::nullopt);
  }
  Write("C:\\Tools\\Mine\\user.txt", "the user's");
  platform::CreateDirectoryA("C:\\Tools\\Empty");
  for (const char* line : {"NEWDIR C:\\Tools\\Empty", "NEWDIR C:\\Tools\\Mine", "NEWDIR C:\\Tools",
                           "NEWKEY HKEY_LOCAL_MACHINE ,Software", "REGFILE C:\\Tools\\Mine,user.txt",
                           "INSTAPPFILE C:\\Tools\\Mine\\user.txt", "INSTAPPFILE C:\\Tools\\Mine\\user.txt,"}) {
    uninstaller::ProcessLogLine(line, places);
  }
  EXPECT_FALSE(fs::exists(platform::ToHostPath("C:\\Tools\\Empty")));
  EXPECT_EQ(Read("C:\\Tools\\Mine\\user.txt"), "the user's");
  EXPECT_TRUE(KeyExists("Software"));
}

TEST_F(InstallerTest, LinesReachOnlyWhatTheInstallationCouldHaveCreated) {
  const uninstaller::InstalledPlaces places({"C:\\Program Files\\Korvell\\Carvox", "C:\\WINDOWS\\system32"},
                                            {"Software\\Korvell\\Carvox"});
  const std::pair<std::string, bool> cases[] = {
      {"INSTAPPFILE C:\\Program Files\\Korvell\\Carvox,Carvox.exe", true},
      {"INSTAPPFILE c:\\program files\\korvell\\CARVOX,Carvox.exe,COMPONENT", true},
      {"INSTAPPFILE C:\\Program Files\\Korvell\\Carvox,..\\..\\..\\WINDOWS\\win.ini", false},
      {"INSTAPPFILE C:\\Program Files\\Korvell\\Carvox,sub/../../../x", false},
      {"INSTAPPFILE C:\\Program Files\\Korvell\\Carvox,..", false},
      {"INSTAPPFILE C:\\Program Files\\Korvell\\Carvox", false},
      {"INSTAPPFILE C:\\Program Files\\Korvell,Carvox.exe", false},
      {"INSTAPPFILE C:\\Program Files\\Korvell\\Carvox\\help,Carvox.hlp", false},
      {"INSTSYSFILE C:\\WINDOWS\\system32,MFC42.DLL", true},
      {"INSTSYSFILE C:\\WINDOWS,win.ini", false},
      {"INSTAPPFILE Z:\\home\\someone\\docs,thesis.txt", false},
      {"NEWDIR C:\\Program Files\\Korvell\\Carvox", true},
      {"NEWDIR C:\\Program Files\\Korvell\\Carvox\\help\\de", true},
      {"NEWDIR C:\\Program Files\\Korvell", true},
      {"NEWDIR C:\\Program Files\\Korvel", false},
      {"NEWDIR C:\\Program Files\\Korvell\\Carvox\\..", false},
      {"NEWDIR C:\\Program Files\\Korvell\\Carvox\\a/../../..", false},
      {"NEWDIR C:\\", false},
      {"NEWDIR Z:\\tmp\\empty", false},
      {"NEWKEY HKEY_LOCAL_MACHINE,Software\\Korvell\\Carvox", true},
      {"NEWKEY HKEY_LOCAL_MACHINE,Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", false},
      {"NEWKEY HKEY_LOCAL_MACHINE,Software\\Korvell", false},
      {"NEWKEY HKEY_CURRENT_USER,Software\\Korvell\\Carvox", false},
      {"REGFILE C:\\WINDOWS,win.ini", true},
  };
  for (const auto& [line, carriedOut] : cases) EXPECT_EQ(uninstaller::ProcessLogLine(line, places), carriedOut) << line;
}

// A log in the user's folder was changed: its valid lines still run, the others are
// left alone and named once.
TEST_F(InstallerTest, AHostileLogHarmsNothingOutsideTheInstallation) {
  const std::string appDir = "C:\\Program Files\\Korvell\\Carvox";
  const fs::path host = testsupport::FreshFolder("host");
  std::ofstream(host / "thesis.txt") << "the user's";
  fs::create_directory(host / "empty");
  Write("C:\\WINDOWS\\win.ini", "[windows]");
  Write(appDir + "\\Carvox.exe", "program");
  installer::IncrementSharedCount("C:\\elsewhere\\other.dll");
  installer::InstallerContext context;
  context.appDir = appDir;
  context.mainProgramName = installer::kMainProgramName;
  installer::WriteAppPathsEntry(context);
  const std::vector<std::string> hostile = {
      "INSTAPPFILE " + platform::ToWindowsPath(host) + ",thesis.txt",
      "INSTAPPFILE " + appDir + ",..\\..\\..\\WINDOWS\\win.ini",
      "NEWDIR " + platform::ToWindowsPath(host / "empty"),
      "NEWKEY HKEY_LOCAL_MACHINE," + std::string(installer::kSharedDllsKey),
  };
  std::string log = "INSTAPPFILE " + appDir + ",_install.log\n";
  for (const std::string& line : hostile) log += line + "\nINSTAPPFILE " + appDir + ",Carvox.exe\n";
  log += "NEWDIR " + appDir + "\nNEWDIR C:\\Program Files\\Korvell\nNEWKEY HKEY_LOCAL_MACHINE," +
         installer::AppPathsKey(installer::kMainProgramName) + "\n";
  Write(appDir + "\\_install.log", log);

  ScriptedPrompt prompt;
  EXPECT_EQ(uninstaller::WinMain(appDir + "\\_install.log", nullptr), 1);
  ASSERT_EQ(prompt.messages().size(), 1u);
  for (const std::string& line : hostile) EXPECT_NE(prompt.texts()[0].find("\n" + line), std::string::npos) << line;
  EXPECT_TRUE(fs::exists(host / "thesis.txt"));
  EXPECT_TRUE(fs::is_directory(host / "empty"));
  EXPECT_EQ(Read("C:\\WINDOWS\\win.ini"), "[windows]");
  EXPECT_EQ(SharedCount("C:\\elsewhere\\other.dll"), 1u);
  EXPECT_FALSE(fs::exists(platform::ToHostPath("C:\\Program Files\\Korvell")));
  EXPECT_FALSE(KeyExists(installer::AppPathsKey(installer::kMainProgramName)));
}

TEST(MachineTool, SplitsRegisteredCommandsAfterTheFirstProgramName) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"C:\\WINDOWS\\ONUninst.exe C:\\Program Files\\a b\\_install.log", "C:\\WINDOWS\\ONUninst.exe",
       "C:\\Program Files\\a b\\_install.log"},
      {"C:\\A.EXE x.exe y", "C:\\A.EXE", "x.exe y"},
      {"C:\\a.exex y", "C:\\a.exex y", ""},
  };
  for (const auto& [line, program, argument] : cases) {
    const machinetool::Command command = machinetool::SplitCommand(line);
    EXPECT_EQ(command.program, program) << line;
    EXPECT_EQ(command.argument, argument) << line;
  }
}

// The programs themselves, on the test's machine, without a display: they speak
// through the terminal.
int RunProgram(const std::string& commandLine, std::string& output) {
  const fs::path out = testsupport::FreshFolder("run") / "output.txt";
  const std::string withoutDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY " + commandLine;
  const int status = std::system((withoutDisplay + " </dev/null >'" + out.string() + "' 2>&1").c_str());
  std::ifstream in(out);
  output.assign(std::istreambuf_iterator<char>(in), {});
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The exit statuses tell failures: a setup that could not place its files or write its
// log registers no uninstallation, and an uninstallation without its log fails.
TEST_F(InstallerTest, FailuresEndWithAnErrorStatus) {
  Write("C:\\blocker", "a file where a folder should be");
  std::string output;
  EXPECT_EQ(RunProgram(std::string(SETUP_PROGRAM) + " --unattended --dir 'C:\\blocker\\sub'", output), 1) << output;
  EXPECT_NE(output.find("Could not write File."), std::string::npos) << output;
  EXPECT_FALSE(KeyExists(installer::UninstallEntryKey(installer::kProductName)));

  installer::InstallerContext context;
  context.productName = installer::kProductName;
  context.windowsDir = platform::kWindowsFolder;
  context.appDir = "C:\\blocker\\sub";
  installer::WriteUninstallEntry(context);
  EXPECT_EQ(RunProgram(std::string(MACHINE_PROGRAM) + " uninstall Carvox", output), 1) << output;
  EXPECT_NE(output.find("Could not uninstall (log file not found)"), std::string::npos) << output;
}

TEST_F(InstallerTest, InstallThenUninstallLeavesTheMachineAsBefore) {
  const std::string setup = std::string(SETUP_PROGRAM) + " --unattended";
  const std::string machine = MACHINE_PROGRAM;
  const std::set<std::string> before = MachineFiles();
  Write("C:\\WINDOWS\\system32\\MFC42.DLL", "an older copy in use");
  platform::MarkInUse("C:\\WINDOWS\\system32\\MFC42.DLL");
  std::string output;
  ASSERT_EQ(RunProgram(setup, output), 0) << output;
  EXPECT_NE(output.find("Reboot: question: Setup finished.\nYou have to reboot"), std::string::npos) << output;
  EXPECT_EQ(Read("C:\\WINDOWS\\system32\\MFC42.DLL"), "an older copy in use");
  ASSERT_EQ(RunProgram(machine + " reboot", output), 0) << output;
  EXPECT_TRUE(platform::VersionRecordOf(Read("C:\\WINDOWS\\system32\\MFC42.DLL")).has_value());

  const std::string appDir = "C:\\Program Files\\Korvell\\Carvox";
  // Each payload file lies at its destination under its own name: the strings, numbered
  // by the resources present, match the embedded files.
  installer::InstallerContext context;
  installer::ReadMachineFolders(context);
  context.appDir = appDir;
  std::ifstream placements(PAYLOAD_LIST);
  std::string name, destination, source;
  int placed = 0;
  while (std::getline(placements, name, '\t') && std::getline(placements, destination, '\t') &&
         std::getline(placements, source)) {
    const std::string path = installer::ResolveDestination(context, destination) + "\\" + name;
    EXPECT_TRUE(Read(path) == Read("Z:" + source)) << path << " is not " << source;
    ++placed;
  }
  EXPECT_GT(placed, 0);

  const std::string log = Read(appDir + "\\_install.log");
  EXPECT_EQ(log.rfind("INSTAPPFILE " + appDir + ",_install.log\r\n"
                      "INSTAPPFILE " + std::string(platform::kCommonProgramsFolder) + "\\Korvell,Carvox.lnk\r\n", 0), 0u)
      << log;
  EXPECT_TRUE(log.ends_with("NEWKEY HKEY_LOCAL_MACHINE,Software\\Korvell\\Carvox\r\n"
                            "NEWKEY HKEY_LOCAL_MACHINE,Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Carvox\r\n"));
  EXPECT_EQ(log.find("MFC42"), std::string::npos);  // it existed before
  for (const char* file : {"\\Carvox.exe", "\\SFEDT32.DLL"}) {
    EXPECT_TRUE(platform::VersionRecordOf(Read(appDir + file)).has_value()) << file;  // as built
  }
  // The installed program starts and closes: a missing engine beside it would hold it at
  // a message box, so the guard's time-out fails the test instead of hanging it.
  EXPECT_EQ(RunProgram("QT_QPA_PLATFORM=offscreen CARVOX_CLOSE_AFTER_START=1 CARVOX_SPLASH_MS=0 CARVOX_SOUND=silent "
                       "timeout 300 '" + platform::ToHostPath(appDir + "\\Carvox.exe").string() + "'", output), 0)
      << output;
  platform::HMODULE layer = platform::LoadLibraryA("C:\\WINDOWS\\system32\\WNASPI32.DLL");
  ASSERT_NE(layer, nullptr);
  EXPECT_NE(platform::GetProcAddress(layer, "SendASPI32Command"), nullptr);
  platform::FreeLibrary(layer);
  platform::ShellLink link;
  ASSERT_TRUE(platform::LoadShellLink((std::string(platform::kCommonProgramsFolder) + "\\Korvell\\Carvox.lnk").c_str(), link));
  EXPECT_EQ(link.target, appDir + "\\Carvox.exe");
  EXPECT_EQ(link.workingDirectory, appDir);
  ASSERT_EQ(RunProgram(machine + " programs", output), 0);
  EXPECT_EQ(output, "Carvox\tCarvox\tC:\\WINDOWS\\ONUninst.exe " + appDir + "\\_install.log\n");

  ASSERT_EQ(RunProgram(machine + " uninstall Carvox", output), 0) << output;
  EXPECT_NE(output.find("Uninstall successful"), std::string::npos) << output;

  // What stays: the system files (the uninstaller's question is answered No off a
  // terminal), their folders, the uninstaller itself, the Korvell key's parent.
  std::set<std::string> after = MachineFiles();
  for (const std::string& kept : before) after.erase(kept);
  for (const std::string& file : after) {
    EXPECT_TRUE(file.starts_with("WINDOWS/system") || file == "WINDOWS/ONUnInst.exe" || file == "WINDOWS/wininit.ini")
        << file;
  }
  for (const char* key : {"Software\\Korvell\\Carvox", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Carvox",
                          "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Carvox.exe",
                          "SYSTEM\\CurrentControlSet\\Services\\ASPI32"}) {
    EXPECT_FALSE(KeyExists(key)) << key;
  }
  ASSERT_EQ(RunProgram(machine + " programs", output), 0);
  EXPECT_EQ(output, "");

  // A reinstallation finds the keys of the first one and logs none of them.
  ASSERT_EQ(RunProgram(setup, output), 0) << output;
  ASSERT_EQ(RunProgram(setup, output), 0) << output;
  EXPECT_EQ(Read(appDir + "\\_install.log").find("NEWKEY"), std::string::npos);
}

}  // namespace
