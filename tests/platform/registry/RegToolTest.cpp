#include <sstream>

#include "tests/platform/registry/RegistryTestSupport.h"
#include "tests/support/ScriptedPrompt.h"
#include "tools/reg/RegTool.h"

using namespace platform;

namespace {

class RegTool : public FreshRegistry {
 protected:
  int Run(std::vector<std::string> arguments) {
    out_.str("");
    err_.str("");
    return regtool::Run(arguments, out_, err_);
  }
  std::ostringstream out_;
  std::ostringstream err_;
  testsupport::ScriptedPrompt prompt_;
};

const char* kKey = "HKLM\\Software\\Korvell\\Carvox";

TEST_F(RegTool, AddsAndQueriesValuesOfEachType) {
  EXPECT_EQ(Run({"add", kKey, "/v", "DSound_driver", "/d", "Primary Sound"}), 0);
  EXPECT_EQ(Run({"add", kKey, "/v", "normalize_Export", "/t", "REG_DWORD", "/d", "0x10"}), 0);
  EXPECT_EQ(Run({"add", kKey, "/ve", "/t", "reg_binary", "/d", "00ff"}), 0);
  EXPECT_EQ(Run({"add", "HKEY_LOCAL_MACHINE\\Software\\Korvell\\Carvox\\Sub"}), 0);
  EXPECT_EQ(Run({"query", kKey}), 0);
  EXPECT_EQ(out_.str(),
            "\nHKEY_LOCAL_MACHINE\\Software\\Korvell\\Carvox\n"
            "    (Default)    REG_BINARY    00FF\n"
            "    DSound_driver    REG_SZ    Primary Sound\n"
            "    normalize_Export    REG_DWORD    0x10\n"
            "\nHKEY_LOCAL_MACHINE\\Software\\Korvell\\Carvox\\Sub\n");
  EXPECT_EQ(Run({"query", "hklm\\software\\korvell\\carvox", "/v", "dsound_driver"}), 0);
  EXPECT_NE(out_.str().find("    dsound_driver    REG_SZ    Primary Sound\n"), std::string::npos) << "named as asked";
}

TEST_F(RegTool, DwordsAreDecimalUnlessMarkedHex) {
  for (const auto& [text, shown] : std::vector<std::pair<std::string, std::string>>{
           {"010", "0xa"}, {"0x10", "0x10"}, {"0XfF", "0xff"}, {"4294967295", "0xffffffff"}, {"0", "0x0"}}) {
    ASSERT_EQ(Run({"add", kKey, "/v", "n", "/t", "REG_DWORD", "/d", text, "/f"}), 0) << text;
    ASSERT_EQ(Run({"query", kKey, "/v", "n"}), 0);
    EXPECT_NE(out_.str().find("REG_DWORD    " + shown + "\n"), std::string::npos) << text << ": " << out_.str();
  }
  for (const std::string text : {"4294967296", "-1", "+1", " 1", "1 ", "0x", "0x-1", "1e3", ""}) {
    EXPECT_EQ(Run({"add", kKey, "/v", "n", "/t", "REG_DWORD", "/d", text, "/f"}), 2) << text;
  }
}

TEST_F(RegTool, QueryShowsKeysAsGivenAndUnknownTypesInHex) {
  HKEY key = Create("Software\\Korvell\\Carvox\\Sub");
  RegCloseKey(key);
  key = Create("Software\\Korvell\\Carvox");
  ASSERT_EQ(RegSetValueExA(key, "odd", 0, 0x1F, reinterpret_cast<const BYTE*>("\x01"), 1), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Run({"query", std::string(kKey) + "\\"}), 0);
  EXPECT_EQ(out_.str(),
            "\nHKEY_LOCAL_MACHINE\\Software\\Korvell\\Carvox\n"
            "    odd    REG_0x1f    01\n"
            "\nHKEY_LOCAL_MACHINE\\Software\\Korvell\\Carvox\\Sub\n");
  EXPECT_EQ(Run({"query", kKey, "/v", "missing"}), 1);
  EXPECT_EQ(out_.str(), "") << "no header for a value that is not there";
  EXPECT_NE(err_.str().find("unable to find"), std::string::npos);
}

TEST_F(RegTool, OverwritingAValueAsksUnlessForced) {
  ASSERT_EQ(Run({"add", kKey, "/v", "x", "/d", "one"}), 0);
  prompt_.Script({IDNO});
  EXPECT_EQ(Run({"add", kKey, "/v", "X", "/d", "two"}), 1);
  ASSERT_EQ(prompt_.messages().size(), 1u);
  EXPECT_EQ(prompt_.messages()[0].type, MB_YESNO | MB_ICONQUESTION);
  prompt_.Script({IDYES});
  EXPECT_EQ(Run({"add", kKey, "/v", "x", "/d", "three"}), 0);
  EXPECT_EQ(Run({"add", kKey, "/v", "x", "/d", "four", "/f"}), 0);
  EXPECT_EQ(prompt_.messages().size(), 2u) << "/f asks nothing";
  HKEY key = Create("Software\\Korvell\\Carvox");
  EXPECT_EQ(GetText(key, "x"), "four");
  RegCloseKey(key);
}

TEST_F(RegTool, DeleteRefusesKeysWithSubkeysAndAsksFirst) {
  ASSERT_EQ(Run({"add", kKey, "/v", "x", "/d", "1"}), 0);
  EXPECT_EQ(Run({"delete", "HKLM\\Software\\Korvell", "/f"}), 1);
  EXPECT_NE(err_.str().find("has subkeys"), std::string::npos);
  prompt_.Script({IDNO});
  EXPECT_EQ(Run({"delete", kKey, "/v", "x"}), 1);
  EXPECT_EQ(Run({"delete", kKey, "/v", "x", "/f"}), 0);
  EXPECT_EQ(Run({"delete", kKey, "/v", "x", "/f"}), 1) << "the value is gone";
  EXPECT_EQ(Run({"delete", kKey}), 0) << "the scripted prompt answers Yes";
  EXPECT_EQ(Run({"query", kKey}), 1);
  EXPECT_NE(err_.str().find("unable to find"), std::string::npos);
  EXPECT_EQ(Run({"delete", "HKLM", "/f"}), 1);
}

TEST_F(RegTool, ExportsRegedit4Text) {
  ASSERT_EQ(Run({"add", kKey, "/v", "Last_exportDir", "/d", "C:\\out"}), 0);
  EXPECT_EQ(Run({"export", kKey}), 0);
  EXPECT_EQ(out_.str(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Korvell\\Carvox]\n\"Last_exportDir\"=\"C:\\\\out\"\n\n");
  EXPECT_EQ(Run({"export"}), 0);
  EXPECT_EQ(out_.str(), ReadHive());
  EXPECT_EQ(Run({"export", "HKLM\\Nothing"}), 1);
}

TEST_F(RegTool, InfoShowsTheMachine) {
  EXPECT_EQ(Run({"info"}), 0);
  EXPECT_NE(out_.str().find(MachineRoot().string()), std::string::npos);
  EXPECT_NE(out_.str().find("platform 2, 5.1, build 2600"), std::string::npos);
  EXPECT_NE(out_.str().find("C:\\WINDOWS\\system32 = "), std::string::npos);
  EXPECT_NE(out_.str().find("C: Z: (mask 0x02000004)"), std::string::npos);
}

TEST_F(RegTool, BadCommandLinesGetTheUsage) {
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{},
                                             {"frobnicate"},
                                             {"query"},
                                             {"query", "HKXX\\Software"},
                                             {"add", kKey, "/v"},
                                             {"add", kKey, "/v", "n", "/t", "REG_DWORD", "/d", "ten"},
                                             {"add", kKey, "/v", "n", "/t", "REG_DWORD", "/d", "0x100000000"},
                                             {"add", kKey, "/v", "n", "/t", "REG_BINARY", "/d", "abc"},
                                             {"add", kKey, "/v", "n", "/t", "REG_QWORD", "/d", "1"},
                                             {"add", kKey, "extra"},
                                             {"add", kKey, "/d", "data"},
                                             {"add", kKey, "/t", "REG_SZ"},
                                             {"add", kKey, "/v", "n", "/ve", "/d", "x"},
                                             {"add", kKey, "/f", "/f"},
                                             {"query", kKey, "/f"},
                                             {"query", kKey, "/d", "x"},
                                             {"delete", kKey, "/t", "REG_SZ"},
                                             {"export", kKey, "/v", "n"},
                                             {"info", kKey},
                                             {"info", "/f"}}) {
    EXPECT_EQ(Run(arguments), 2) << testing::PrintToString(arguments);
    EXPECT_NE(err_.str().find("usage:"), std::string::npos);
  }
}

TEST_F(RegTool, AddWithoutAValueNameAddsTheKeyOnly) {
  EXPECT_EQ(Run({"add", kKey}), 0);
  EXPECT_EQ(Run({"query", kKey, "/ve"}), 1) << "no default value appears";
  EXPECT_EQ(Run({"add", kKey, "/d", "lost?"}), 2) << "data without a value is refused, not dropped";
}

TEST_F(RegTool, AnUnreadableHiveStopsTheToolWithItsLine) {
  WriteHive("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\nnonsense\n");
  const int status = RunReportingHiveErrors([&] { return Run({"add", kKey, "/v", "x", "/d", "1", "/f"}); },
                                            "carvox-reg");
  EXPECT_EQ(status, 1);
  ASSERT_EQ(prompt_.messages().size(), 1u);
  EXPECT_NE(prompt_.messages()[0].text.find(HiveFilePath().string() + ":4: "), std::string::npos)
      << prompt_.messages()[0].text;
  EXPECT_EQ(prompt_.messages()[0].caption, "carvox-reg");
  EXPECT_EQ(prompt_.messages()[0].type, MB_OK | MB_ICONSTOP);
  EXPECT_EQ(ReadHive(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\nnonsense\n");
  EXPECT_EQ(RunReportingHiveErrors([] { return 7; }), 7) << "the work's own status otherwise";
}

}  // namespace
