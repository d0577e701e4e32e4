// The payload loops, the registry steps and shared counts, on both sides.
#include "platform/machine/FileServices.h"
#include "tests/installer/InstallerTestSupport.h"
#include "uninstaller/Uninstaller.h"

namespace {

using namespace installer;
using platform::ResourceEntry;
using platform::StringEntry;

class RecordedProgress : public ProgressText {
 public:
  void SetText(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

const unsigned char kBytes[] = "file";
const StringEntry kStrings[] = {
    {50000, "Carvox"},      {50001, "Carvox.exe"},    {41000, "a.dll"}, {44000, "<sysdir>"},
    {41001, "b.dll"},       {44001, "<sysdir32>"},    {41002, "c.sys"}, {44002, "<driver_dir>"},
    {43000, "good.dll"},    {46000, "<appdir>"},      {43001, "bad.dll"}, {46001, "<appdir>"},
    {43002, "plain.dll"},   {46002, "<appdir>"},
};

class PayloadTest : public InstallerTest {
 protected:
  void Install(bool nt) {
    if (!nt) PlayWindows98();
    good_ = Read(std::string("Z:") + GOOD_COMPONENT);
    bad_ = Read(std::string("Z:") + FAILING_COMPONENT);
    plain_ = Read(std::string("Z:") + PLAIN_LIBRARY);
    entries_ = {
        {"INSTFILE", "IDT_APPFILE_UNINST", kBytes, 4},
        {"INSTFILE", "IDT_SYSFILE_1", kBytes, 4},
        {"INSTFILE", "IDT_SYSFILE_3", kBytes, 4},  // 2 is missing: 3 takes the second strings
        {"INSTFILE", "IDT_SYSFILE_15", kBytes, 4},
        {"INSTFILE", "IDT_SELFREG_CUSTOM_1", reinterpret_cast<const unsigned char*>(good_.data()), good_.size()},
        {"INSTFILE", "IDT_SELFREG_CUSTOM_2", reinterpret_cast<const unsigned char*>(bad_.data()), bad_.size()},
        {"INSTFILE", "IDT_SELFREG_CUSTOM_3", reinterpret_cast<const unsigned char*>(plain_.data()), plain_.size()},
    };
    table_ = {entries_.data(), entries_.size(), kStrings, std::size(kStrings)};
    platform::InstallResources(&table_);
    progress_.texts.clear();
    InstallerContext context;
    InitContext(context);
    RunInstallation(context, progress_);
    rebootNeeded_ = context.rebootNeeded;
  }

  std::string good_, bad_, plain_;
  std::vector<ResourceEntry> entries_;
  platform::ResourceTable table_{};
  RecordedProgress progress_;
  bool rebootNeeded_ = false;
};

TEST_F(PayloadTest, StringsFollowThePresentResourcesAndWindows98SkipsTheAspiFiles) {
  for (const bool nt : {true, false}) {
    SetUp();
    testsupport::ScriptedPrompt prompt;
    Install(nt);
    EXPECT_EQ(Read("C:\\WINDOWS\\system32\\a.dll"), "file");
    EXPECT_EQ(Read("C:\\WINDOWS\\system32\\b.dll"), nt ? "file" : "(missing)");
    EXPECT_EQ(Read("C:\\WINDOWS\\system32\\drivers\\c.sys"), nt ? "file" : "(missing)");
    EXPECT_EQ(rebootNeeded_, nt);
    EXPECT_EQ(KeyExists("SYSTEM\\CurrentControlSet\\Services\\ASPI32\\Parameters"), nt);
    // One step per processed file, from 15 for system files and 45 for components.
    const std::vector<std::string>& texts = progress_.texts;
    ASSERT_EQ(texts.size(), nt ? 7u : 5u);
    EXPECT_EQ(texts[1].size(), 16u * 5);
    EXPECT_EQ(texts.back().size(), 48u * 5);
    EXPECT_EQ(SharedCount("C:\\WINDOWS\\system32\\b.dll"), nt ? std::optional<platform::DWORD>(1) : std::nullopt);
  }
}

TEST_F(PayloadTest, ComponentsAreRegisteredCountedAndUnregistered) {
  testsupport::ScriptedPrompt prompt;
  Install(true);
  const std::string appDir = "C:\\Program Files\\Korvell\\Carvox";
  EXPECT_EQ(prompt.texts(), std::vector<std::string>(
                                {"There was an error while trying to install a file\n(" + appDir +
                                     "\\bad.dll).\nThe installation my be incomplete.",
                                 "There was an error while trying to install a file\n(" + appDir +
                                     "\\plain.dll).\nThe installation my be incomplete."}));
  EXPECT_TRUE(KeyExists("Software\\Carvox\\Tests\\Component"));
  EXPECT_EQ(SharedCount(appDir + "\\good.dll"), 1u);
  EXPECT_EQ(SharedCount(appDir + "\\bad.dll"), 1u);

  uninstaller::ProcessLogLine("INSTAPPFILE " + appDir + ",good.dll,COMPONENT",
                              uninstaller::InstalledPlaces::OfThisMachine());
  EXPECT_EQ(Read(appDir + "\\good.dll"), "(missing)");
  EXPECT_EQ(SharedCount(appDir + "\\good.dll"), std::nullopt);
  EXPECT_FALSE(KeyExists("Software\\Carvox\\Tests\\Component"));
}

TEST_F(InstallerTest, SharedCountsGoUpAndDownWithoutWrapping) {
  const struct {
    const char* name;
    platform::DWORD type;  // REG_NONE: no value
    std::string data;
    std::optional<platform::DWORD> afterIncrement, afterDecrement;
    int decrementResult;
  } cases[] = {
      {"text value", platform::REG_SZ, std::string("x", 2), 1001, 999, 999},
      {"no value", platform::REG_NONE, "", 1, std::nullopt, 1},
      {"three", platform::REG_DWORD, std::string("\3\0\0\0", 4), 4, 2, 2},
      {"one", platform::REG_DWORD, std::string("\1\0\0\0", 4), 2, std::nullopt, 0},
      {"zero", platform::REG_DWORD, std::string("\0\0\0\0", 4), 1, std::nullopt, 0},
  };
  const std::string path = "C:\\WINDOWS\\system32\\x.dll";
  for (const auto& c : cases) {
    for (const bool increment : {true, false}) {
      platform::HKEY key = SharedDlls();
      platform::RegDeleteValueA(key, path.c_str());
      if (c.type != platform::REG_NONE) {
        platform::RegSetValueExA(key, path.c_str(), 0, c.type, reinterpret_cast<const platform::BYTE*>(c.data.data()),
                                 static_cast<platform::DWORD>(c.data.size()));
      }
      platform::RegCloseKey(key);
      if (increment) {
        IncrementSharedCount(path);
        EXPECT_EQ(SharedCount(path), c.afterIncrement) << c.name;
      } else {
        EXPECT_EQ(uninstaller::DecrementSharedCount(path), c.decrementResult) << c.name;
        EXPECT_EQ(SharedCount(path), c.afterDecrement) << c.name;
      }
    }
  }
  ASSERT_EQ(platform::RegDeleteKeyA(platform::HKEY_LOCAL_MACHINE, kSharedDllsKey), 0);
  IncrementSharedCount(path);
  EXPECT_FALSE(KeyExists(kSharedDllsKey));
  EXPECT_EQ(uninstaller::DecrementSharedCount(path), 1);
}

TEST_F(InstallerTest, RegistryFailuresShowTheirTwoMessages) {
  testsupport::ScriptedPrompt prompt;
  InstallerContext context;
  context.productName = "bad\\\\name";
  context.mainProgramName = "Carvox.exe";
  context.appDir = std::string(platform::kMaxValueSize, 'x');
  WriteUninstallEntry(context);
  WriteAppPathsEntry(context);
  EXPECT_EQ(prompt.texts(),
            std::vector<std::string>(
                {"There was an error while trying to set up a registry key\nThe installation may be incomplete.",
                 "There was an error while trying to set up a registry key\nThe installation my be incomplete.",
                 "There was an error while trying to set up a registry key\nThe installation my be incomplete."}));
  EXPECT_EQ(prompt.messages()[0].type, 16u);
}

}  // namespace
