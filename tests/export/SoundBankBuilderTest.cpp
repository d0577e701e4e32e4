// The bank builder against a recording double of the engine: the calls it makes, in
// order and with their arguments, and every way a build can fail.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "export/SoundBankBuilder.h"
#include "platform/machine/Machine.h"
#include "tests/export/FakeEngine.h"
#include "tests/export/TestDisc.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestPaths.h"

namespace fs = std::filesystem;
using testexport::DiscContents;
using testexport::EngineCall;
using testexport::MakeKeygroup;
using testexport::MakeSample;
using testexport::ToneWords;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Not;

namespace {

constexpr const char* kEngineError = "error - unspecific error in SF2 engine";
constexpr const char* kReadError = "Error while trying to read the CD.";

struct RecordingStatusLine : StatusLine {
  void SetStatusText(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

struct RecordingProgressBar : ProgressBar {
  void SetRange(int lower, int upper) override { ranges.emplace_back(lower, upper); }
  void SetPos(int position) override { positions.push_back(position); }
  std::vector<std::pair<int, int>> ranges;
  std::vector<int> positions;
};

// Two keygroups: PIANO over keys 36..59 with zones SOFT (velocities 0..63) and LOUD,
// and over 60..83 one zone on SOFT again; SOFT is looped, LOUD is not.
DiscContents PianoDisc() {
  DiscContents disc;
  disc.program.name = "PIANO";
  disc.program.keygroups.push_back(MakeKeygroup(36, 59, {"SOFT", "LOUD"}));
  disc.program.keygroups[0].zones[0].highVelocity = 63;
  disc.program.keygroups[0].zones[1].lowVelocity = 64;
  disc.program.keygroups.push_back(MakeKeygroup(60, 83, {"SOFT"}));
  disc.samples.push_back(MakeSample("SOFT", ToneWords(3000, 1), 1000));
  disc.samples.push_back(MakeSample("LOUD", ToneWords(2000, 2)));
  disc.samples[1].originalKey = 72;
  return disc;
}

class SoundBankBuilderTest : public testing::Test {
 protected:
  SoundBankBuilderTest() : folder_(testsupport::FreshFolder("bank")), builder_(&status_) {
    builder_.UseEngine(engine_.api());
  }

  int Build(const DiscContents& contents, const char* program = "PIANO") {
    testexport::WriteProgramDisc(folder_ / "disc.img", contents);
    testexport::OpenDisc disc(folder_ / "disc.img");
    return builder_.BuildSoundBank(disc.reader(), 0, 0, program, output(), &progress_);
  }

  fs::path output() const { return folder_ / "piano.sf2"; }
  static fs::path TemporaryWav() { return platform::ToHostPath("C:\\WINDOWS\\temp\\~sfytemp.wav"); }

  // The build ended the bank it created, with both ending calls, as its last calls.
  void ExpectBankEnded() {
    const auto slots = engine_.SlotSequence();
    ASSERT_GE(slots.size(), 2u);
    EXPECT_EQ(slots[slots.size() - 2], "EndBank");
    EXPECT_EQ(slots.back(), "ReleaseBank");
    EXPECT_EQ(engine_.CallsOf("EndBank").size(), 1u);
  }

  // A failed build: the one message, no bank file, no temporary file left.
  void ExpectFailedWith(int result, const std::string& message) {
    EXPECT_EQ(result, 0);
    EXPECT_THAT(prompt_.texts(), ElementsAre(message));
    EXPECT_FALSE(fs::exists(output()));
    EXPECT_FALSE(fs::exists(TemporaryWav()));
  }

  fs::path folder_;
  testsupport::ScriptedPrompt prompt_;
  testexport::FakeEngine engine_;
  RecordingStatusLine status_;
  RecordingProgressBar progress_;
  SoundBankBuilder builder_;
};

// --- The calls of a good build ---------------------------------------------------

TEST_F(SoundBankBuilderTest, GoodBuildMakesTheCallsInOrder) {
  EXPECT_EQ(Build(PianoDisc()), 1);
  EXPECT_THAT(prompt_.texts(), IsEmpty());
  EXPECT_THAT(status_.texts, IsEmpty());
  EXPECT_TRUE(fs::exists(output()));

  std::vector<std::string> expected = {"CreateBank", "SetBankInfo", "SetBankInfo", "SetBankInfo",
                                       "AddInstrument", "AddPreset"};
  const auto zone = [&](bool imports) {
    if (imports) expected.push_back("ImportWavSample");
    expected.insert(expected.end(), {"AddInstrumentZone", "SetZoneKeyRange", "SetZoneVelocityRange"});
    expected.insert(expected.end(), SoundBankBuilder::kZoneGeneratorCount, "SetZoneGenerator");
  };
  zone(true);   // SOFT
  zone(true);   // LOUD
  zone(false);  // SOFT again
  expected.insert(expected.end(), {"SaveBank", "EndBank", "ReleaseBank"});
  EXPECT_EQ(engine_.SlotSequence(), expected);
}

TEST_F(SoundBankBuilderTest, BankInformationAndNames) {
  ASSERT_EQ(Build(PianoDisc()), 1);
  const auto info = engine_.CallsOf("SetBankInfo");
  ASSERT_EQ(info.size(), 3u);
  const int64_t bank = engine_.CallsOf("CreateBank")[0].handedOut;
  EXPECT_EQ(info[0].values, (std::vector<int64_t>{bank, 5}));
  EXPECT_EQ(info[0].text, "Carvox generated Sound Bank");
  EXPECT_EQ(info[1].values[1], 9);
  EXPECT_TRUE(std::regex_match(info[1].text,
                               std::regex("(Mon|Tues|Wednes|Thurs|Fri|Satur|Sun)day, "
                                          "(January|February|March|April|May|June|July|August|"
                                          "September|October|November|December) [0-3][0-9], 20[0-9]{2}")))
      << info[1].text;
  EXPECT_EQ(info[2].values[1], 8);
  EXPECT_EQ(info[2].text, "Carvox Ver. 1.0     ");

  const EngineCall instrument = engine_.CallsOf("AddInstrument")[0];
  const EngineCall preset = engine_.CallsOf("AddPreset")[0];
  EXPECT_EQ(instrument.text, "PIANO");
  EXPECT_EQ(instrument.values, (std::vector<int64_t>{bank, 0}));
  EXPECT_EQ(preset.text, "PIANO");
  const int64_t instrumentHandle = instrument.handedOut;
  EXPECT_EQ(preset.values, (std::vector<int64_t>{bank, 0, 0, instrumentHandle}));
  for (const EngineCall& zone : engine_.CallsOf("AddInstrumentZone")) EXPECT_EQ(zone.values[0], instrumentHandle);

  const EngineCall save = engine_.CallsOf("SaveBank")[0];
  EXPECT_EQ(save.text, output().string());
  EXPECT_EQ(save.values, (std::vector<int64_t>{bank, 0}));
}

TEST_F(SoundBankBuilderTest, RangesPackLowAndHighBytes) {
  ASSERT_EQ(Build(PianoDisc()), 1);
  const auto keys = engine_.CallsOf("SetZoneKeyRange");
  const auto velocities = engine_.CallsOf("SetZoneVelocityRange");
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].values[1], 43);
  EXPECT_EQ(keys[0].values[2], 36 | (59 << 8));
  EXPECT_EQ(keys[1].values[2], 36 | (59 << 8));
  EXPECT_EQ(keys[2].values[2], 60 | (83 << 8));
  EXPECT_EQ(velocities[0].values[1], 44);
  EXPECT_EQ(velocities[0].values[2], 0 | (63 << 8));
  EXPECT_EQ(velocities[1].values[2], 64 | (127 << 8));
  // Each range goes to the zone just added.
  const auto zones = engine_.CallsOf("AddInstrumentZone");
  for (size_t i = 0; i < zones.size(); ++i) EXPECT_EQ(keys[i].values[0], velocities[i].values[0]);
}

TEST_F(SoundBankBuilderTest, SharedSampleIsImportedOnceAndItsHeaderRuledEachZone) {
  ASSERT_EQ(Build(PianoDisc()), 1);
  const auto imports = engine_.CallsOf("ImportWavSample");
  ASSERT_EQ(imports.size(), 2u);
  EXPECT_EQ(imports[0].text, TemporaryWav().string());
  // The WAV held the sample's words when the engine read it: header, 2 bytes a word,
  // the "smpl" chunk with its loop (SOFT) or without (LOUD).
  EXPECT_EQ(engine_.importedFileSizes().at("SOFT"), 46u + 2 * 3000 + 8 + 60);
  EXPECT_EQ(engine_.importedFileSizes().at("LOUD"), 46u + 2 * 2000 + 8 + 36);
  EXPECT_TRUE(engine_.importsFoundTheLockHeld()) << "no other build can share the file meanwhile";
  EXPECT_FALSE(fs::exists(TemporaryWav())) << "deleted after the import";

  const auto zones = engine_.CallsOf("AddInstrumentZone");
  ASSERT_EQ(zones.size(), 3u);
  EXPECT_EQ(zones[0].values[1], zones[2].values[1]) << "both SOFT zones use one engine sample";
  EXPECT_NE(zones[0].values[1], zones[1].values[1]);

  // Root key and loop mode of every zone come from that zone's own sample.
  std::vector<int64_t> rootKeys, sampleModes;
  for (const EngineCall& call : engine_.CallsOf("SetZoneGenerator")) {
    if (call.values[1] == 58) rootKeys.push_back(call.values[2]);
    if (call.values[1] == 54) sampleModes.push_back(call.values[2]);
  }
  EXPECT_THAT(rootKeys, ElementsAre(60, 72, 60));
  EXPECT_THAT(sampleModes, ElementsAre(1, 0, 1));
}

TEST_F(SoundBankBuilderTest, ProgressCountsCompletedZones) {
  DiscContents disc;
  disc.program.name = "PIANO";
  disc.samples.push_back(MakeSample("TONE", ToneWords(100)));
  for (int i = 0; i < 5; ++i) disc.program.keygroups.push_back(MakeKeygroup(0, 127, {"TONE", "TONE"}));
  ASSERT_EQ(Build(disc), 1);
  EXPECT_THAT(progress_.ranges, ElementsAre(std::pair(0, 11)));
  EXPECT_THAT(progress_.positions, ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8, 9));
}

TEST_F(SoundBankBuilderTest, WorksWithoutProgressBar) {
  testexport::WriteProgramDisc(folder_ / "disc.img", PianoDisc());
  testexport::OpenDisc disc(folder_ / "disc.img");
  EXPECT_EQ(builder_.BuildSoundBank(disc.reader(), 0, 0, "PIANO", output(), nullptr), 1);
}

// --- Missing samples ---------------------------------------------------------------

TEST_F(SoundBankBuilderTest, MissingSampleSkipsItsZoneOnly) {
  DiscContents disc = PianoDisc();
  disc.program.keygroups[0].zones.insert(disc.program.keygroups[0].zones.begin(), akaiimage::ZoneDescription{});
  disc.program.keygroups[0].zones[0].sampleName = "GONE";
  ASSERT_EQ(Build(disc), 1);
  EXPECT_THAT(status_.texts, ElementsAre("WARNING - Sample not found: GONE"));
  EXPECT_THAT(prompt_.texts(), IsEmpty());
  EXPECT_EQ(engine_.CallsOf("AddInstrumentZone").size(), 3u);
  EXPECT_THAT(progress_.ranges, ElementsAre(std::pair(0, 5)));
  EXPECT_THAT(progress_.positions, ElementsAre(0, 1, 2)) << "a skipped zone does not advance";
}

TEST_F(SoundBankBuilderTest, ProgramOfMissingSamplesWritesNoBank) {
  DiscContents disc;
  disc.program.name = "PIANO";
  disc.program.keygroups.push_back(MakeKeygroup(0, 127, {"GONE", "LOST"}));
  disc.samples.push_back(MakeSample("OTHER", ToneWords(100)));
  EXPECT_EQ(Build(disc), 0);
  EXPECT_THAT(status_.texts, ElementsAre("WARNING - Sample not found: GONE",
                                         "WARNING - Sample not found: LOST",
                                         "WARNING - Bank PIANO not written (seems to contain no valid samples)"));
  EXPECT_THAT(prompt_.texts(), IsEmpty());
  EXPECT_FALSE(fs::exists(output()));
  EXPECT_THAT(engine_.CallsOf("SaveBank"), IsEmpty());
  ExpectBankEnded();
  EXPECT_THAT(progress_.positions, IsEmpty());
}

TEST_F(SoundBankBuilderTest, ProgramWithoutZonesWritesNoBank) {
  DiscContents disc;
  disc.program.name = "PIANO";
  disc.samples.push_back(MakeSample("OTHER", ToneWords(100)));
  EXPECT_EQ(Build(disc), 0);
  EXPECT_THAT(status_.texts, ElementsAre("WARNING - Bank PIANO not written (seems to contain no valid samples)"));
  EXPECT_THAT(progress_.ranges, ElementsAre(std::pair(0, 1)));
  ExpectBankEnded();
}

// A program whose header announces more keygroups than its file holds: the build
// covers the keygroups that were decoded and nothing beyond them.
TEST_F(SoundBankBuilderTest, KeygroupsBeyondTheDecodedOnesAreIgnored) {
  akaiimage::ProgramDescription program;
  program.name = "PIANO";
  program.keygroups.push_back(MakeKeygroup(0, 127, {"TONE"}));
  for (int i = 1; i < 53; ++i) program.keygroups.push_back(MakeKeygroup(0, 127, {}));
  program.keygroupCount = 60;
  std::vector<uint8_t> bytes = akaiimage::WriteProgramFile(program);
  ASSERT_EQ(bytes.size(), 150u * 54);
  // One block exactly, with the mark of a 54th keygroup that does not fit in it.
  bytes.resize(8192, 0);
  bytes[150 * 54] = 2;
  DiscContents disc;
  disc.program = program;
  disc.samples.push_back(MakeSample("TONE", ToneWords(100)));
  disc.rawProgram = bytes;
  EXPECT_EQ(Build(disc), 1);
  EXPECT_THAT(prompt_.texts(), IsEmpty());
  EXPECT_EQ(engine_.CallsOf("AddInstrumentZone").size(), 1u);
  EXPECT_THAT(progress_.ranges, ElementsAre(std::pair(0, 2)));
}

// --- Failures before any engine call -----------------------------------------------

TEST_F(SoundBankBuilderTest, UnknownProgramIsAReadError) {
  ExpectFailedWith(Build(PianoDisc(), "ORGAN"), kReadError);
  EXPECT_THAT(engine_.calls(), IsEmpty());
}

TEST_F(SoundBankBuilderTest, WithoutEngineNothingIsBuilt) {
  builder_.UnloadEngine();
  ExpectFailedWith(Build(PianoDisc()), "Could not perform task;\nthe SF2 engine isn't running.");
  EXPECT_EQ(prompt_.messages()[0].type, unsigned{platform::MB_OK | platform::MB_ICONSTOP});
  EXPECT_THAT(engine_.calls(), IsEmpty());
}

// --- An engine that refuses one call ------------------------------------------------

struct RefusedCall {
  std::string slot;
  int occurrence;
  friend void PrintTo(const RefusedCall& call, std::ostream* out) {
    *out << call.slot << " #" << call.occurrence;
  }
};

class RefusedCallTest : public SoundBankBuilderTest, public testing::WithParamInterface<RefusedCall> {};

TEST_P(RefusedCallTest, EndsTheBuildWithOneMessageAndNoFile) {
  engine_.Fail(GetParam().slot, GetParam().occurrence);
  ExpectFailedWith(Build(PianoDisc()), kEngineError);
  EXPECT_EQ(prompt_.messages()[0].type, unsigned{platform::MB_OK | platform::MB_ICONSTOP});
  EXPECT_THAT(engine_.CallsOf("SaveBank"), IsEmpty());
  ExpectBankEnded();
  // Nothing more was asked of the engine after the refused call but ending the bank.
  const auto& calls = engine_.calls();
  EXPECT_EQ(calls[calls.size() - 3].slot, GetParam().slot);
}

INSTANTIATE_TEST_SUITE_P(EveryEditCall, RefusedCallTest,
                         testing::Values(RefusedCall{"SetBankInfo", 1}, RefusedCall{"SetBankInfo", 3},
                                         RefusedCall{"AddInstrument", 1}, RefusedCall{"AddPreset", 1},
                                         RefusedCall{"ImportWavSample", 2},
                                         RefusedCall{"AddInstrumentZone", 3},
                                         RefusedCall{"SetZoneKeyRange", 1},
                                         RefusedCall{"SetZoneVelocityRange", 2},
                                         RefusedCall{"SetZoneGenerator", 1},
                                         RefusedCall{"SetZoneGenerator", 22},
                                         RefusedCall{"SetZoneGenerator", 50}),
                         [](const auto& info) {
                           return info.param.slot + std::to_string(info.param.occurrence);
                         });

TEST_F(SoundBankBuilderTest, RefusedCreationEndsNothing) {
  engine_.Fail("CreateBank");
  ExpectFailedWith(Build(PianoDisc()), kEngineError);
  EXPECT_THAT(engine_.SlotSequence(), ElementsAre("CreateBank"));
}

TEST_F(SoundBankBuilderTest, RefusedSaveStillEndsTheBankButIsNoSuccess) {
  engine_.Fail("SaveBank");
  ExpectFailedWith(Build(PianoDisc()), kEngineError);
  ExpectBankEnded();
}

// A saved bank whose ending is refused: reported, no success, but both ending calls made.
TEST_F(SoundBankBuilderTest, RefusedEndIsReportedOnce) {
  engine_.Fail("EndBank");
  EXPECT_EQ(Build(PianoDisc()), 0);
  EXPECT_THAT(prompt_.texts(), ElementsAre(kEngineError));
  EXPECT_TRUE(fs::exists(output()));
  EXPECT_EQ(engine_.SlotSequence().back(), "ReleaseBank");
}

TEST_F(SoundBankBuilderTest, RefusedReleaseIsReportedOnce) {
  engine_.Fail("ReleaseBank");
  EXPECT_EQ(Build(PianoDisc()), 0);
  EXPECT_THAT(prompt_.texts(), ElementsAre(kEngineError));
  EXPECT_TRUE(fs::exists(output()));
}

// --- Sample read and temporary file failures ----------------------------------------

TEST_F(SoundBankBuilderTest, SampleReadErrorEndsTheBuild) {
  DiscContents disc = PianoDisc();
  disc.samples[0].words = ToneWords(20000);  // SOFT spans several blocks; the image ends in it
  disc.cutInFirstSample = true;
  // LOUD lies past the end: its header cannot be read, so the program cannot be
  // described and the engine is never asked for a bank.
  EXPECT_EQ(Build(disc), 0);
  EXPECT_THAT(engine_.SlotSequence(), IsEmpty());

  // Without LOUD, SOFT's header is read but its words are not.
  disc.program.keygroups.erase(disc.program.keygroups.begin());
  disc.samples.pop_back();
  EXPECT_EQ(Build(disc), 0);
  EXPECT_THAT(prompt_.texts(), ElementsAre(kReadError, kReadError));
  EXPECT_FALSE(fs::exists(output()));
  EXPECT_THAT(engine_.CallsOf("ImportWavSample"), IsEmpty());
  ExpectBankEnded();
}

TEST_F(SoundBankBuilderTest, UnwritableTemporaryWavIsNeverImported) {
  // A folder in the temporary file's place cannot be replaced by the WAV.
  fs::create_directories(TemporaryWav() / "blocker");
  const int result = Build(PianoDisc());
  EXPECT_EQ(result, 0);
  EXPECT_THAT(prompt_.texts(), ElementsAre("Could not write WAV file"));
  EXPECT_FALSE(fs::exists(output()));
  EXPECT_THAT(engine_.CallsOf("ImportWavSample"), IsEmpty());
  ExpectBankEnded();
  fs::remove_all(TemporaryWav());
}

// The builder never creates the temp folder; the machine makes its folders again when
// one has gone, so a removed temp folder does not stop the export.
TEST_F(SoundBankBuilderTest, RemovedTempFolderIsMadeAgainByTheMachine) {
  fs::remove_all(TemporaryWav().parent_path());
  EXPECT_EQ(Build(PianoDisc()), 1);
  EXPECT_THAT(prompt_.texts(), IsEmpty());
  EXPECT_THAT(engine_.CallsOf("ImportWavSample"), Not(IsEmpty()));
}

// --- Loading the engine ---------------------------------------------------------------

TEST(SoundBankEngineLoading, MissingLibraryIsReportedInAPlainBox) {
  testsupport::ScriptedPrompt prompt;
  SoundBankBuilder builder;
  builder.LoadEngine("NOSUCHENGINE.DLL");
  ASSERT_EQ(prompt.messages().size(), 1u);
  EXPECT_EQ(prompt.messages()[0].text, "Could not load the SF2 manager driver;\nSF2 export will not work");
  EXPECT_EQ(prompt.messages()[0].type, unsigned{platform::MB_OK});
  EXPECT_EQ(builder.IsEngineRunning(), 0);
  EXPECT_EQ(prompt.texts().back(), "Could not perform task;\nthe SF2 engine isn't running.");
}

// A library that refuses the interface version, and one without the entry export.
TEST(SoundBankEngineLoading, UnusableLibraryLeavesNoEngineSilently) {
  for (const char* library : {REFUSING_ENGINE_PATH, ENTRYLESS_LIBRARY_PATH}) {
    SCOPED_TRACE(library);
    testsupport::ScriptedPrompt prompt;
    SoundBankBuilder builder;
    builder.LoadEngine(library);
    EXPECT_THAT(prompt.texts(), IsEmpty());
    EXPECT_EQ(builder.IsEngineRunning(), 0);
  }
}

TEST(SoundBankEngineResults, OnlyZeroIsSuccess) {
  testsupport::ScriptedPrompt prompt;
  EXPECT_EQ(SoundBankBuilder::CheckEngineResult(0), 1);
  EXPECT_THAT(prompt.texts(), IsEmpty());
  EXPECT_EQ(SoundBankBuilder::CheckEngineResult(-3), 0);
  EXPECT_THAT(prompt.texts(), ElementsAre(kEngineError));
}

}  // namespace
