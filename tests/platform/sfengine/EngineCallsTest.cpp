// The edit engine driven through its exported table: handle and argument checks,
// WAV import, and the layout of the files it saves (read back chunk by chunk).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sfengine/internal/EditEngine.h"
#include "platform/sfengine/internal/SampleStore.h"
#include "platform/sfengine/internal/SoundFontWriter.h"
#include "tests/platform/sfengine/EngineTestSupport.h"
#include "tests/support/TestPaths.h"

namespace fs = std::filesystem;
using namespace sfenginetest;

namespace {

std::vector<int16_t> Ramp(std::size_t count) {
  std::vector<int16_t> words(count);
  for (std::size_t i = 0; i < count; ++i) words[i] = static_cast<int16_t>(i * 7 - 1000);
  return words;
}

SFGenRecord Range(uint16_t id, uint8_t low, uint8_t high) { return {id, static_cast<uint16_t>(low | high << 8)}; }

// Imports `wav` from a file that is deleted right after the call, as the builder does.
int Import(SFHandle bank, const TestWav& wav, const char* name, SFHandle* sample) {
  const fs::path path = testsupport::FreshFolder("wav") / "~sfytemp.wav";
  WriteWav(path, wav);
  const int result = Engine().ImportWavSample(path.c_str(), bank, name, sample);
  fs::remove(path);
  return result;
}

// A bank with one instrument, one preset and one zone over one sample.
struct SmallBank {
  SFHandle bank = 0, instrument = 0, preset = 0, sample = 0, zone = 0;

  explicit SmallBank(const TestWav& wav = TestWav(Ramp(200))) {
    EngineApi& api = Engine();
    EXPECT_EQ(api.CreateBank(&bank), 0);
    EXPECT_EQ(api.AddInstrument(bank, "PIANO", 0, &instrument), 0);
    EXPECT_EQ(api.AddPreset(bank, "PIANO", 0, 0, instrument, &preset), 0);
    EXPECT_EQ(Import(bank, wav, "PIANO C3", &sample), 0);
    EXPECT_EQ(api.AddInstrumentZone(instrument, sample, &zone), 0);
  }
  ~SmallBank() { Engine().ReleaseBank(bank); }

  fs::path Save() const {
    const fs::path path = testsupport::FreshFolder("bank") / "piano.sf2";
    EXPECT_EQ(Engine().SaveBank(bank, path.c_str(), 0), 0);
    return path;
  }
};

TEST(SfEngineEntry, HandsOutTheTableOnlyForItsVersion) {
  SFEditEngineEntry entry = LoadEntry();
  ASSERT_NE(entry, nullptr);
  EngineApi* api = nullptr;
  EXPECT_NE(entry(0x00020000, &api), 0);
  EXPECT_EQ(api, nullptr);
  EXPECT_NE(entry(kEngineInterfaceVersion, nullptr), 0);
  EXPECT_EQ(entry(kEngineInterfaceVersion, &api), 0);
  EXPECT_EQ(api, &Engine());
}

TEST(SfEngineHandles, UnknownAndMismatchedHandlesAreRefused) {
  SmallBank one;
  SmallBank other;
  EngineApi& api = Engine();
  SFHandle out = 0;
  const SFGenRecord pan{17, 100};
  EXPECT_EQ(api.AddInstrument(0, "X", 0, &out), sfengine::kBadHandle);
  EXPECT_EQ(api.AddInstrument(987654321, "X", 0, &out), sfengine::kBadHandle);
  EXPECT_EQ(api.AddInstrument(one.zone, "X", 0, &out), sfengine::kBadHandle);  // a zone is no bank
  EXPECT_EQ(api.SetZoneGenerator(one.sample, &pan), sfengine::kBadHandle);
  EXPECT_EQ(api.AddInstrumentZone(one.instrument, other.sample, &out), sfengine::kBadHandle);
  EXPECT_EQ(api.AddPreset(one.bank, "X", 0, 1, other.instrument, &out), sfengine::kBadHandle);
  EXPECT_EQ(api.SaveBank(one.instrument, "/tmp/x.sf2", 0), sfengine::kBadHandle);
  EXPECT_EQ(out, 0u);
}

TEST(SfEngineHandles, EndedBankRefusesEditsButCanStillBeSaved) {
  SmallBank bank;
  EngineApi& api = Engine();
  ASSERT_EQ(api.EndBank(bank.bank), 0);
  SFHandle out = 0;
  const SFGenRecord keys = Range(43, 0, 127);
  EXPECT_EQ(api.AddInstrument(bank.bank, "X", 0, &out), sfengine::kBankEnded);
  EXPECT_EQ(api.SetZoneKeyRange(bank.zone, &keys), sfengine::kBankEnded);
  EXPECT_EQ(api.SetBankInfo(bank.bank, 5, "late"), sfengine::kBankEnded);
  EXPECT_EQ(Import(bank.bank, TestWav(Ramp(10)), "LATE", &out), sfengine::kBankEnded);
  EXPECT_EQ(api.EndBank(bank.bank), sfengine::kBankEnded);
  EXPECT_TRUE(fs::exists(bank.Save()));
}

TEST(SfEngineHandles, ReleasedBankInvalidatesItselfAndItsParts) {
  EngineApi& api = Engine();
  SFHandle bank = 0, instrument = 0, zone = 0, sample = 0;
  {
    SmallBank made;
    bank = made.bank;
    instrument = made.instrument;
    zone = made.zone;
    sample = made.sample;
    ASSERT_EQ(api.EndBank(bank), 0);
  }  // released here
  const SFGenRecord pan{17, 100};
  SFHandle out = 0;
  EXPECT_EQ(api.ReleaseBank(bank), sfengine::kBadHandle);
  EXPECT_EQ(api.EndBank(bank), sfengine::kBadHandle);
  EXPECT_EQ(api.SaveBank(bank, (testsupport::FreshFolder("gone") / "x.sf2").c_str(), 0), sfengine::kBadHandle);
  EXPECT_EQ(api.SetZoneGenerator(zone, &pan), sfengine::kBadHandle);
  EXPECT_EQ(api.AddInstrumentZone(instrument, sample, &out), sfengine::kBadHandle);
  // A new bank never receives an old handle.
  SFHandle fresh = 0;
  ASSERT_EQ(api.CreateBank(&fresh), 0);
  EXPECT_GT(fresh, zone);
  EXPECT_EQ(api.ReleaseBank(fresh), 0);  // also frees a bank that was never ended
}

TEST(SfEngineArguments, BadIdsAndNullPointersAreRefused) {
  SmallBank bank;
  EngineApi& api = Engine();
  const SFGenRecord velocityAsKeys = Range(44, 0, 127);
  const SFGenRecord sampleId{53, 0};
  const SFGenRecord instrument{41, 0};
  const SFGenRecord endOperator{60, 0};
  SFHandle out = 0;
  EXPECT_EQ(api.SetZoneKeyRange(bank.zone, &velocityAsKeys), sfengine::kBadArgument);
  EXPECT_EQ(api.SetZoneVelocityRange(bank.zone, nullptr), sfengine::kBadArgument);
  EXPECT_EQ(api.SetZoneGenerator(bank.zone, &sampleId), sfengine::kBadArgument);
  EXPECT_EQ(api.SetZoneGenerator(bank.zone, &instrument), sfengine::kBadArgument);
  EXPECT_EQ(api.SetZoneGenerator(bank.zone, &endOperator), sfengine::kBadArgument);
  EXPECT_EQ(api.SetBankInfo(bank.bank, 7, "no such id"), sfengine::kBadArgument);
  EXPECT_EQ(api.SetBankInfo(bank.bank, 5, nullptr), sfengine::kBadArgument);
  EXPECT_EQ(api.CreateBank(nullptr), sfengine::kBadArgument);
  EXPECT_EQ(api.AddInstrument(bank.bank, nullptr, 0, &out), sfengine::kBadArgument);
  EXPECT_EQ(api.AddInstrumentZone(bank.instrument, bank.sample, nullptr), sfengine::kBadArgument);
  EXPECT_EQ(api.AddPreset(bank.bank, "X", 0, 128, bank.instrument, &out), sfengine::kBadArgument);
  EXPECT_EQ(api.AddPreset(bank.bank, "X", 0, 0, bank.instrument, &out), sfengine::kDuplicatePreset);
  EXPECT_EQ(api.SaveBank(bank.bank, nullptr, 0), sfengine::kBadArgument);
}

TEST(SfEngineImport, MissingNonWavAndUnsupportedFilesAreRefused) {
  SmallBank bank;
  SFHandle sample = 0;
  const fs::path folder = testsupport::FreshFolder("import");
  EXPECT_EQ(Engine().ImportWavSample((folder / "missing.wav").c_str(), bank.bank, "M", &sample),
            sfengine::kBadWavFile);
  std::ofstream(folder / "text.wav") << "this is not a RIFF file at all";
  EXPECT_EQ(Engine().ImportWavSample((folder / "text.wav").c_str(), bank.bank, "T", &sample),
            sfengine::kBadWavFile);

  TestWav eightBit{Ramp(100)};
  eightBit.bits = 8;
  TestWav stereo{Ramp(100)};
  stereo.channels = 2;
  TestWav empty{};
  TestWav noRate{Ramp(100)};
  noRate.rate = 0;
  noRate.withSampler = false;
  for (const TestWav& wav : {eightBit, stereo, empty, noRate}) {
    EXPECT_EQ(Import(bank.bank, wav, "BAD", &sample), sfengine::kBadWavFile);
  }
  // Cut short: "data" says more words than the file holds.
  TestWav dataLast{Ramp(100)};
  dataLast.withSampler = false;
  WriteWav(folder / "short.wav", dataLast);
  fs::resize_file(folder / "short.wav", fs::file_size(folder / "short.wav") - 20);
  EXPECT_EQ(Engine().ImportWavSample((folder / "short.wav").c_str(), bank.bank, "S", &sample), sfengine::kBadWavFile);
  EXPECT_EQ(sample, 0u);
}

// An import keeps its file open, deleted or not, and the save copies the words from
// there; past the files a bank keeps, the words go to a spill file in the temporary
// folder, and where none can be made the import is refused. Either way every sample
// of the bank holds the words it was imported with.
TEST(SfEngineImport, KeptAndSpilledWordsReachTheBank) {
  ASSERT_NE(getenv("TMPDIR"), nullptr);  // the test main points it at the sandbox
  const std::string temporary = getenv("TMPDIR");
  const auto wordsOf = [](std::size_t sample) {
    std::vector<int16_t> words(40 + sample % 7);
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<int16_t>(sample * 100 + i);
    return words;
  };
  SmallBank bank(TestWav(wordsOf(0)));
  SFHandle sample = 0;
  for (std::size_t i = 1; i < sfengine::SampleStore::kMaxKeptFiles; ++i) {
    ASSERT_EQ(Import(bank.bank, TestWav(wordsOf(i)), "KEPT", &sample), 0);
  }
  setenv("TMPDIR", (testsupport::FreshFolder("import") / "missing").c_str(), 1);
  EXPECT_EQ(Import(bank.bank, TestWav(Ramp(100)), "NOWHERE", &sample), sfengine::kBadWavFile);
  setenv("TMPDIR", temporary.c_str(), 1);
  const std::size_t count = sfengine::SampleStore::kMaxKeptFiles + 2;
  for (std::size_t i = sfengine::SampleStore::kMaxKeptFiles; i < count; ++i) {
    ASSERT_EQ(Import(bank.bank, TestWav(wordsOf(i)), "SPILLED", &sample), 0);
  }

  const Sf2File file = ReadSf2(bank.Save());
  const std::string& smpl = file.chunks.at("smpl");
  for (std::size_t i = 0; i < count; ++i) {
    const uint32_t start = file.SampleField(i, 20);
    const uint32_t end = file.SampleField(i, 24);
    std::vector<int16_t> words;
    for (uint32_t w = start; w < end; ++w) words.push_back(static_cast<int16_t>(U16(smpl, 2 * w)));
    EXPECT_EQ(words, wordsOf(i)) << "sample " << i;
  }
}

// The words of a kept file that changed after its import are no longer those imported:
// the save fails and leaves no file.
TEST(SfEngineSave, AKeptFileChangedSinceItsImportFailsTheSave) {
  SmallBank bank;
  const fs::path wav = testsupport::FreshFolder("kept") / "kept.wav";
  WriteWav(wav, TestWav(Ramp(100)));
  SFHandle sample = 0;
  ASSERT_EQ(Engine().ImportWavSample(wav.c_str(), bank.bank, "KEPT", &sample), 0);
  fs::resize_file(wav, fs::file_size(wav) - 20);
  const fs::path folder = testsupport::FreshFolder("changed");
  EXPECT_EQ(Engine().SaveBank(bank.bank, (folder / "x.sf2").c_str(), 0), sfengine::kFileError);
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST(SfEngineSave, IntoMissingFolderFailsAndLeavesNothing) {
  SmallBank bank;
  const fs::path folder = testsupport::FreshFolder("save");
  EXPECT_EQ(Engine().SaveBank(bank.bank, (folder / "absent" / "x.sf2").c_str(), 0), sfengine::kFileError);
  // A folder in the way of the file: the temporary file must not stay behind.
  fs::create_directory(folder / "taken.sf2");
  EXPECT_EQ(Engine().SaveBank(bank.bank, (folder / "taken.sf2").c_str(), 0), sfengine::kFileError);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(SfEngineSave, ReplacesAnExistingFile) {
  SmallBank bank;
  const fs::path path = testsupport::FreshFolder("replace") / "x.sf2";
  std::ofstream(path) << std::string(1 << 20, 'x');
  ASSERT_EQ(Engine().SaveBank(bank.bank, path.c_str(), 0), 0);
  EXPECT_EQ(ReadSf2(path).riffForm, "sfbk");
}

TEST(SfEngineLayout, ChunksComeInStandardOrderWithTerminalRecords) {
  SmallBank bank;
  const Sf2File file = ReadSf2(bank.Save());
  EXPECT_EQ(file.riffForm, "sfbk");
  EXPECT_EQ(file.lists, (std::vector<std::string>{"INFO", "sdta", "pdta"}));
  const std::vector<std::string> pdta(file.order.end() - 9, file.order.end());
  EXPECT_EQ(pdta, (std::vector<std::string>{"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"}));
  EXPECT_EQ(file.chunks.at("phdr").size(), 2 * 38u);
  EXPECT_EQ(file.Name("phdr", 38, 1), "EOP");
  EXPECT_EQ(file.chunks.at("inst").size(), 2 * 22u);
  EXPECT_EQ(file.Name("inst", 22, 1), "EOI");
  EXPECT_EQ(file.chunks.at("shdr").size(), 2 * 46u);
  EXPECT_EQ(file.Name("shdr", 46, 1), "EOS");
  EXPECT_EQ(file.chunks.at("pmod"), std::string(10, '\0'));
  EXPECT_EQ(file.chunks.at("imod"), std::string(10, '\0'));
  // The preset's one zone holds the instrument generator, then the terminal record.
  EXPECT_EQ(file.chunks.at("pgen"), std::string("\x29\0\0\0\0\0\0\0", 8));
}

TEST(SfEngineLayout, InfoTextsAndTheDefaultBankName) {
  SmallBank bank;
  EngineApi& api = Engine();
  ASSERT_EQ(api.SetBankInfo(bank.bank, 5, "Carvox generated Sound Bank"), 0);
  ASSERT_EQ(api.SetBankInfo(bank.bank, 9, "Monday, December 07, 2026"), 0);
  ASSERT_EQ(api.SetBankInfo(bank.bank, 8, "first"), 0);
  ASSERT_EQ(api.SetBankInfo(bank.bank, 8, "Carvox Ver. 1.0     "), 0);  // replaces
  Sf2File file = ReadSf2(bank.Save());
  EXPECT_EQ(file.chunks.at("ifil"), std::string("\2\0\1\0", 4));
  EXPECT_EQ(file.chunks.at("isng"), std::string("EMU8000\0", 8));
  EXPECT_EQ(file.chunks.at("INAM"), std::string("PIANO\0", 6));  // the first preset's name
  EXPECT_EQ(file.chunks.at("ICMT"), std::string("Carvox generated Sound Bank\0", 28));
  EXPECT_EQ(file.chunks.at("ICRD"), std::string("Monday, December 07, 2026\0", 26));
  EXPECT_EQ(file.chunks.at("ISFT"), std::string("Carvox Ver. 1.0     \0\0", 22));

  ASSERT_EQ(api.SetBankInfo(bank.bank, 1, "Grand"), 0);
  EXPECT_EQ(ReadSf2(bank.Save()).chunks.at("INAM"), std::string("Grand\0", 6));

  SFHandle empty = 0;
  ASSERT_EQ(api.CreateBank(&empty), 0);
  const fs::path path = testsupport::FreshFolder("empty") / "e.sf2";
  ASSERT_EQ(api.SaveBank(empty, path.c_str(), 0), 0);
  EXPECT_EQ(ReadSf2(path).chunks.at("INAM"), std::string("Untitled\0\0", 10));
  api.ReleaseBank(empty);
}

TEST(SfEngineLayout, ZoneGeneratorsComeInTheRequiredOrder) {
  SmallBank bank;
  EngineApi& api = Engine();
  const SFGenRecord pan{17, static_cast<uint16_t>(-250)};
  const SFGenRecord rootKey{58, 48};
  const SFGenRecord panAgain{17, 300};
  const SFGenRecord velocities = Range(44, 10, 90);
  const SFGenRecord keys = Range(43, 36, 59);
  // Generators before the ranges, the ranges in reverse: the file order is fixed anyway.
  ASSERT_EQ(api.SetZoneGenerator(bank.zone, &pan), 0);
  ASSERT_EQ(api.SetZoneGenerator(bank.zone, &rootKey), 0);
  ASSERT_EQ(api.SetZoneVelocityRange(bank.zone, &velocities), 0);
  ASSERT_EQ(api.SetZoneKeyRange(bank.zone, &keys), 0);
  ASSERT_EQ(api.SetZoneGenerator(bank.zone, &panAgain), 0);
  const auto zones = ReadSf2(bank.Save()).ZoneGenerators();
  ASSERT_EQ(zones.size(), 1u);
  const std::vector<std::pair<uint16_t, uint16_t>> expected = {
      {43, 36 | 59 << 8}, {44, 10 | 90 << 8}, {17, 300}, {58, 48}, {53, 0}};
  ASSERT_EQ(zones[0].size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(zones[0][i].id, expected[i].first) << i;
    EXPECT_EQ(zones[0][i].amount, expected[i].second) << i;
  }
}

// Ranges from damaged keygroups are stored, not refused: bounds past 127 are cut to
// 127 and a reversed range stays reversed (it never sounds).
TEST(SfEngineLayout, RangesAreClampedNotRefused) {
  SmallBank bank;
  EngineApi& api = Engine();
  const SFGenRecord beyondKeys = Range(43, 200, 255);
  const SFGenRecord reversed = Range(44, 90, 10);
  ASSERT_EQ(api.SetZoneKeyRange(bank.zone, &beyondKeys), 0);
  ASSERT_EQ(api.SetZoneVelocityRange(bank.zone, &reversed), 0);
  const auto zones = ReadSf2(bank.Save()).ZoneGenerators();
  ASSERT_EQ(zones.size(), 1u);
  ASSERT_GE(zones[0].size(), 2u);
  EXPECT_EQ(zones[0][0].amount, 127 | 127 << 8);
  EXPECT_EQ(zones[0][1].amount, 90 | 10 << 8);
}

TEST(SfEngineLayout, SampleWordsRateRootKeyAndLoopComeFromTheWav) {
  TestWav wav{Ramp(300), 32000};
  wav.unityNote = 72;
  wav.loop = {{100, 149}};
  SmallBank bank(wav);
  TestWav second{Ramp(50)};
  second.withSampler = false;
  SFHandle unlooped = 0;
  ASSERT_EQ(Import(bank.bank, second, "A VERY LONG SAMPLE NAME", &unlooped), 0);

  const fs::path path = bank.Save();
  const Sf2File file = ReadSf2(path);
  const std::string& smpl = file.chunks.at("smpl");
  ASSERT_EQ(smpl.size(), 2u * (300 + 46 + 50 + 46));
  for (std::size_t i = 0; i < 300; ++i) ASSERT_EQ(static_cast<int16_t>(U16(smpl, 2 * i)), wav.words[i]) << i;
  EXPECT_EQ(smpl.substr(600, 92), std::string(92, '\0'));
  EXPECT_EQ(file.Name("shdr", 46, 0), "PIANO C3");
  EXPECT_EQ(file.SampleField(0, 20), 0u);    // start
  EXPECT_EQ(file.SampleField(0, 24), 300u);  // end
  EXPECT_EQ(file.SampleField(0, 28), 100u);  // loop start
  EXPECT_EQ(file.SampleField(0, 32), 150u);  // loop end, one past the WAV's last loop word
  EXPECT_EQ(file.SampleField(0, 36), 32000u);
  EXPECT_EQ(file.chunks.at("shdr")[40], 72);
  EXPECT_EQ(U16(file.chunks.at("shdr"), 44), 1u);  // mono

  // Without "smpl": key 60 and the whole sample as the (unused) loop.
  EXPECT_EQ(file.Name("shdr", 46, 1), "A VERY LONG SAMPLE ");
  EXPECT_EQ(file.SampleField(1, 20), 346u);
  EXPECT_EQ(file.SampleField(1, 24), 396u);
  EXPECT_EQ(file.SampleField(1, 28), 346u);
  EXPECT_EQ(file.SampleField(1, 32), 396u);
  EXPECT_EQ(file.chunks.at("shdr")[46 + 40], 60);
}

TEST(SfEngineLayout, LoopPointsOutsideTheSampleAreClamped) {
  TestWav beyondEnd{Ramp(100)};
  beyondEnd.loop = {{40, 5000}};
  TestWav wholeBeyond{Ramp(100)};
  wholeBeyond.loop = {{200, 300}};
  TestWav reversed{Ramp(100)};
  reversed.loop = {{60, 20}};
  SmallBank bank(beyondEnd);
  SFHandle sample = 0;
  ASSERT_EQ(Import(bank.bank, wholeBeyond, "OUTSIDE", &sample), 0);
  ASSERT_EQ(Import(bank.bank, reversed, "REVERSED", &sample), 0);
  const Sf2File file = ReadSf2(bank.Save());
  EXPECT_EQ(file.SampleField(0, 28), 40u);
  EXPECT_EQ(file.SampleField(0, 32), 100u);
  for (std::size_t index : {1u, 2u}) {  // no loop left: the whole sample stands in
    EXPECT_EQ(file.SampleField(index, 28), file.SampleField(index, 20)) << index;
    EXPECT_EQ(file.SampleField(index, 32), file.SampleField(index, 24)) << index;
  }
}

TEST(SfEngineWriter, BankBeyondTheFormatsLimitsIsRefused) {
  sfengine::SoundFontBank bank;
  bank.samples.resize(65536);  // sample ids are 16-bit
  const fs::path path = testsupport::FreshFolder("limits") / "big.sf2";
  EXPECT_EQ(sfengine::WriteSoundFont(bank, path), sfengine::WriteResult::TooLarge);
  EXPECT_FALSE(fs::exists(path));
}

}  // namespace
