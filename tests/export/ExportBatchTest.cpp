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
#include "tests/export/TestDisc.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestPaths.h"

namespace {

namespace fs = std::filesystem;

class FilesWritten : public ExportReport {
 public:
  SoundBankBuilder& BankBuilder() override { return builder_; }
  void Wrote(const fs::path& path) override { files.insert(path.filename()); }
  void SampleNotLoaded(const ExportVolume&, const ExportItem& item, const std::exception_ptr&) override {
    ADD_FAILURE() << item.name;
  }
  void NotWritten(const ExportVolume&, const ExportItem& item, const fs::path&, const std::string& reason) override {
    ADD_FAILURE() << item.name << ": " << reason;
  }
  void Failed(ExportLoss, const std::string& text) override { ADD_FAILURE() << text; }

  std::set<std::string> files;

 private:
  SoundBankBuilder builder_;
};

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
  }
}

// What a batch hears of the files not written; the builder is made ready at the first
// program, as the command line loads the engine.
class ReasonsHeard : public ExportReport {
 public:
  explicit ReasonsHeard(std::function<void(SoundBankBuilder&)> ready) : ready_(std::move(ready)) {}
  SoundBankBuilder& BankBuilder() override {
    if (ready_) std::exchange(ready_, nullptr)(builder_);
    return builder_;
  }
  StatusLine* Warnings() override { return &ignored_; }
  void SampleNotLoaded(const ExportVolume&, const ExportItem& item, const std::exception_ptr&) override {
    ADD_FAILURE() << item.name;
  }
  void NotWritten(const ExportVolume&, const ExportItem&, const fs::path& path, const std::string& reason) override {
    notWritten.push_back(path.filename().string() + ": " + reason);
  }
  void Failed(ExportLoss, const std::string& text) override { ADD_FAILURE() << text; }

  std::vector<std::string> notWritten;

 private:
  std::function<void(SoundBankBuilder&)> ready_;
  SoundBankBuilder builder_;
  StderrStatusLine ignored_;
};

// Every reason the bank builder gives for a bank it did not write reaches the report,
// on one line, and none is shown in a message box.
TEST(ExportBatch, EachReasonABankIsNotWrittenReachesTheReport) {
  const fs::path temporaryWav = platform::ToHostPath("C:\\WINDOWS\\temp\\~sfytemp.wav");
  struct Fault {
    const char* name;
    std::function<void(testexport::DiscContents&, testexport::FakeEngine&)> arrange;
    std::function<void(SoundBankBuilder&, testexport::FakeEngine&)> ready;
    std::string reason;
  };
  const auto fakeEngine = [](SoundBankBuilder& builder, testexport::FakeEngine& engine) {
    builder.UseEngine(engine.api());
  };
  const auto nothing = [](testexport::DiscContents&, testexport::FakeEngine&) {};
  const Fault faults[] = {
      {"engine library missing", nothing,
       [](SoundBankBuilder& builder, testexport::FakeEngine&) { builder.LoadEngine("NOSUCHENGINE.DLL"); },
       "Could not load the SF2 manager driver; SF2 export will not work. "
       "Could not perform task; the SF2 engine isn't running."},
      {"engine call refused", [](auto&, testexport::FakeEngine& engine) { engine.Fail("SaveBank"); }, fakeEngine,
       "error - unspecific error in SF2 engine"},
      {"temporary WAV unwritable", [&](auto&, auto&) { fs::create_directories(temporaryWav / "blocker"); },
       fakeEngine, "Could not write WAV file"},
      {"sample words unreadable",
       [](testexport::DiscContents& disc, auto&) {
         disc.samples[0].words = testexport::ToneWords(20000);
         disc.cutInFirstSample = true;
       },
       fakeEngine, "Error while trying to read the CD."},
      {"no sample in the volume",
       [](testexport::DiscContents& disc, auto&) { disc.samples[0].name = "ELSEWHERE"; }, fakeEngine,
       "WARNING - Bank PIANO not written (seems to contain no valid samples)"},
  };
  const fs::path folder = testsupport::FreshFolder("reasons");
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    testsupport::ScriptedPrompt prompt;
    testexport::FakeEngine engine;
    testexport::DiscContents contents;
    contents.program.name = "PIANO";
    contents.program.keygroups.push_back(testexport::MakeKeygroup(0, 127, {"SOFT"}));
    contents.samples = {testexport::MakeSample("SOFT", testexport::ToneWords(500))};
    fault.arrange(contents, engine);
    testexport::WriteProgramDisc(folder / "disc.img", contents);
    testexport::OpenDisc disc(folder / "disc.img");
    ExportDisc source(disc.reader());
    ReasonsHeard report([&](SoundBankBuilder& builder) { fault.ready(builder, engine); });
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
