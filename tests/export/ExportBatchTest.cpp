// The export batch over a plan that names a program alone, as the window plans a
// selection: the presets play WAV files beside them, so the samples they use are
// written too; a bank alone needs none.
#include <gtest/gtest.h>

#include <set>

#include "export/ExportBatch.h"
#include "export/SoundBankBuilder.h"
#include "tests/export/TestDisc.h"
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
  void NotWritten(const ExportVolume&, const ExportItem& item, const fs::path&) override { ADD_FAILURE() << item.name; }
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

}  // namespace
