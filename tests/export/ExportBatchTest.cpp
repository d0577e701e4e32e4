// The export batch over a plan that names a program alone, as the window plans a
// selection: the presets play WAV files beside them, so the samples they use are
// written too; a bank alone needs none.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "export/ExportBatch.h"
#include "export/SoundBankBuilder.h"
#include "platform/machine/Machine.h"
#include "tests/export/FakeEngine.h"
#include "tests/export/FilesWritten.h"
#include "tests/export/TestDisc.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestPaths.h"

namespace {

namespace fs = std::filesystem;
using testexport::FilesWritten;

TEST(ExportBatch, PresetsOfASelectedProgramBringItsSamples) {
  testexport::DiscContents contents;
  contents.program.name = "PIANO";
  contents.program.keygroups.push_back(testexport::MakeKeygroup(0, 127, {"SOFT", "LOUD", "SOFT"}));
  contents.samples = {testexport::MakeSample("SOFT", testexport::ToneWords(500, 1)),
                      testexport::MakeSample("LOUD", testexport::ToneWords(500, 2))};
  const fs::path folder = testsupport::FreshFolder("batch");
  testexport::WriteProgramDisc(folder / "disc.img", contents);
  for (const char* formats : {"sfz", "dspreset"}) {
    SCOPED_TRACE(formats);
    testexport::OpenDisc disc(folder / "disc.img");
    ExportDisc source(disc.reader());
    FilesWritten report;
    const ExportVolume plan{0, 0, "A/VOLUME", folder / formats, {ExportItem{.name = "PIANO", .program = true}}};
    ExportBatch(source, report, {.formats = ParseExportFormats(formats)}).Export({plan});
    EXPECT_EQ(report.files, (std::set<std::string>{"piano." + std::string(formats), "soft.wav", "loud.wav"}));
    EXPECT_TRUE(report.notWritten.empty()) << report.notWritten.front();
  }
}

// Every reason the bank builder gives for a bank it did not write reaches the report,
// on one line, and none is shown in a message box.
TEST(ExportBatch, EachReasonABankIsNotWrittenReachesTheReport) {
  const fs::path temporaryWav = platform::ToHostPath("C:\\WINDOWS\\temp\\~sfytemp.wav");
  using testexport::DiscContents, testexport::FakeEngine;
  const struct Fault {
    const char* name;
    std::function<void(DiscContents&, FakeEngine&)> arrange;
    std::string reason;
    const char* library = nullptr;  // loaded instead of the fake engine
  } faults[] = {
      {"engine library missing", [](auto&, auto&) {},
       "Could not load the SF2 manager driver; SF2 export will not work. "
       "Could not perform task; the SF2 engine isn't running.",
       "NOSUCHENGINE.DLL"},
      {"engine call refused", [](auto&, FakeEngine& engine) { engine.Fail("SaveBank"); },
       "error - unspecific error in SF2 engine"},
      {"temporary WAV unwritable", [&](auto&, auto&) { fs::create_directories(temporaryWav / "blocker"); },
       "Could not write WAV file"},
      {"sample words unreadable",
       [](DiscContents& disc, auto&) {
         disc.samples[0].words = testexport::ToneWords(20000);
         disc.cutInFirstSample = true;
       },
       "Error while trying to read the CD."},
      {"no sample in the volume", [](DiscContents& disc, auto&) { disc.samples[0].name = "ELSEWHERE"; },
       "WARNING - Bank PIANO not written (seems to contain no valid samples)"},
  };
  const fs::path folder = testsupport::FreshFolder("reasons");
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    testsupport::ScriptedPrompt prompt;
    FakeEngine engine;
    DiscContents contents;
    contents.program.name = "PIANO";
    contents.program.keygroups.push_back(testexport::MakeKeygroup(0, 127, {"SOFT"}));
    contents.samples = {testexport::MakeSample("SOFT", testexport::ToneWords(500))};
    fault.arrange(contents, engine);
    testexport::WriteProgramDisc(folder / "disc.img", contents);
    testexport::OpenDisc disc(folder / "disc.img");
    ExportDisc source(disc.reader());
    FilesWritten report([&](SoundBankBuilder& builder) {
      fault.library ? builder.LoadEngine(fault.library) : builder.UseEngine(engine.api());
    });
    const ExportVolume plan{0, 0, "A/VOLUME", folder, {ExportItem{.name = "PIANO", .program = true}}};
    ExportBatch batch(source, report, {.formats = ParseExportFormats("sf2")});
    batch.Export({plan});
    EXPECT_EQ(report.notWritten, std::vector<std::string>{"piano.sf2: " + fault.reason});
    EXPECT_EQ(batch.counts().failedItems, 1);
    EXPECT_TRUE(prompt.texts().empty()) << prompt.texts().front();
    fs::remove_all(temporaryWav);
  }
}

}  // namespace
