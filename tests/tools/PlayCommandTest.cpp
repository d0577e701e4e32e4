// carvox-cli play and drivers: what is written to a WAV file instead of a sound card
// (read back by libsndfile), and the failures a user can meet.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/dsound/DSound.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/tools/CliTestSupport.h"
#include "tools/cli/PlayCommand.h"

namespace {

namespace fs = std::filesystem;
using clitest::CliRun;

// A volume with a looped 44.1 kHz sample (loop: 7000 words up to word 12032, as loop
// ends fall on 64-word steps) and a short one-shot.
fs::path PlayDisc() {
  akaiimage::SampleDescription looped = clitest::Sample("LOOPED", clitest::Words(20000, 4));
  looped.loops.push_back({.loopAt = 12032, .length = 7000, .time = 1});
  akaiimage::DiscDescription disc;
  disc.partitions.push_back({40, {akaiimage::VolumeEntry{
                                     .name = "SOUNDS",
                                     .files = {clitest::SampleFile(looped),
                                               clitest::SampleFile(clitest::Sample("SHORT", clitest::Words(3000, 5)))}}}});
  return testsupport::BuildImage(disc, "play");
}

CliRun Play(cli::PlayOptions options) {
  static const fs::path image = PlayDisc();
  options.image = image;
  options.partition = "A";
  options.volumeName = "SOUNDS";
  return clitest::Capture([&](std::ostream& out, std::ostream& err) { return cli::RunPlay(options, out, err); });
}

// The left and right channel of a stereo WAV file.
std::pair<std::vector<int16_t>, std::vector<int16_t>> Channels(const fs::path& path) {
  const clitest::WavContents wav = clitest::ReadWav(path);
  if (wav.channels != 2 || wav.rate != 44100) return {};
  std::pair<std::vector<int16_t>, std::vector<int16_t>> channels;
  for (size_t i = 0; i < wav.words.size(); i += 2) {
    channels.first.push_back(wav.words[i]);
    channels.second.push_back(wav.words[i + 1]);
  }
  return channels;
}

// Chooses the sound outputs as CARVOX_SOUND=`value` does.
void SetSoundVariable(const std::string& value) {
  setenv("CARVOX_SOUND", value.c_str(), 1);
  platform::ForgetSoundOutputChoice();
}

TEST(PlayCommand, WritesWhatWouldBeHeardWordForWord) {
  const fs::path folder = testsupport::FreshFolder("play");
  const std::vector<int16_t> words = clitest::Words(20000, 4);

  // Looped for exactly 3 s, into --to's file or CARVOX_SOUND's: the words up to the
  // loop's end, then the loop again and again.
  for (const bool byVariable : {false, true}) {
    SCOPED_TRACE(byVariable ? "CARVOX_SOUND" : "--to");
    const fs::path path = folder / (byVariable ? "variable.wav" : "looped.wav");
    cli::PlayOptions options{.sample = "LOOPED", .loop = true, .seconds = 3};
    if (!byVariable) options.to = path;
    SetSoundVariable(byVariable ? "file:" + path.string() : "silent");
    const int status = Play(options).status;
    SetSoundVariable("silent");
    ASSERT_EQ(status, 0);
    const auto [left, right] = Channels(path);
    ASSERT_EQ(left.size(), 3u * 44100);
    EXPECT_EQ(left, right);
    for (size_t i = 0; i < left.size(); ++i) {
      ASSERT_EQ(left[i], words[i < 12033 ? i : 5033 + (i - 12033) % 7000]) << "at frame " << i;
    }
  }

  // Shorter than a frame: one frame, not a recording that only a full disk ends.
  {
    testsupport::FileSizeLimit limit(100000);
    ASSERT_EQ(Play({.sample = "LOOPED", .loop = true, .seconds = 1e-6, .to = folder / "brief.wav"}).status, 0);
  }
  EXPECT_EQ(Channels(folder / "brief.wav").first, std::vector<int16_t>{words[0]});

  // Once: the sample, then silence.
  ASSERT_EQ(Play({.sample = "SHORT", .to = folder / "once.wav"}).status, 0);
  const std::vector<int16_t> once = Channels(folder / "once.wav").first;
  const std::vector<int16_t> shortWords = clitest::Words(3000, 5);
  ASSERT_GE(once.size(), shortWords.size());
  EXPECT_TRUE(std::equal(shortWords.begin(), shortWords.end(), once.begin()));
  EXPECT_TRUE(std::all_of(once.begin() + 3000, once.end(), [](int16_t w) { return w == 0; }));
}

TEST(PlayCommand, FailuresAreExplainedAndLeaveNoFile) {
  const fs::path folder = testsupport::FreshFolder("play-fail");
  const struct {
    cli::PlayOptions options;
    const char* says;
  } cases[] = {
      {{.sample = "NOPE"}, "volume A/SOUNDS has no sample named \"NOPE\" (closest: "},
      {{.sample = "SHORT", .driver = "no such driver"}, "no sound driver \"no such driver\""},
      {{.sample = "SHORT", .to = folder / "missing" / "x.wav"}, "cannot create"},
      {{.sample = "LOOPED", .loop = true, .seconds = 0}, "--seconds must be more than 0"},
      {{.sample = "LOOPED", .loop = true, .seconds = 1e20}, "at most 604800"},
  };
  for (const auto& c : cases) {
    const CliRun run = Play(c.options);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
  }

  // What is not a regular file is refused before it is opened, and stays. (A reader
  // holds the FIFO open, so that a writer would not wait for one.)
  const fs::path fifo = folder / "fifo.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  for (const fs::path& path : {fifo, folder}) {
    const CliRun refused = Play({.sample = "LOOPED", .loop = true, .seconds = 1e-6, .to = path});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("is not a regular file"), std::string::npos) << refused.err;
    EXPECT_TRUE(fs::exists(path));
  }
  ::close(reader);

  // A file that cannot be written to its end is deleted when this run made it, else kept.
  std::ofstream(folder / "earlier.wav") << "the user's";
  testsupport::FileSizeLimit limit(100000);
  for (const char* name : {"full.wav", "earlier.wav"}) {
    SCOPED_TRACE(name);
    const bool made = name == std::string("full.wav");
    const CliRun full = Play({.sample = "LOOPED", .loop = true, .seconds = 3, .to = folder / name});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find(made ? "the partial file was deleted" : "is incomplete"), std::string::npos) << full.err;
    EXPECT_EQ(fs::exists(folder / name), !made);
  }
}

TEST(PlayCommand, PlaysOnTheSilentDriverAndListsIt) {
  EXPECT_EQ(Play({.sample = "SHORT", .driver = "Silent output"}).status, 0);
  std::ostringstream drivers;
  EXPECT_EQ(cli::RunDrivers(drivers), 0);
  EXPECT_NE(drivers.str().find("Primary Sound Driver\n"), std::string::npos);
  EXPECT_NE(drivers.str().find("}  Silent output\n"), std::string::npos);
}

}  // namespace
