// The playback engine against the capture device: what would be heard, word for word,
// and every way a stream can end.
#include <gtest/gtest.h>

#include <thread>

#include "audio/PlaybackEngine.h"
#include "tests/audio/AudioTestSupport.h"
#include "tests/support/CaptureSound.h"
#include "tests/support/TestPaths.h"

namespace {

using soundtest::Capture;
using soundtest::Refuse;

// Words that differ from their neighbours everywhere, so a gap or a repeat shows.
std::vector<int16_t> Scrambled(size_t count) {
  std::vector<int16_t> words(count);
  for (size_t i = 0; i < count; ++i) words[i] = static_cast<int16_t>((i * 2654435761u) >> 13);
  return words;
}

// What a listener hears: the words up to the loop's end, then the loop for ever; a
// one-shot is followed by silence. Loop values in words.
std::vector<int16_t> Heard(const std::vector<int16_t>& words, uint32_t loopStart, uint32_t loopLength, size_t count) {
  std::vector<int16_t> heard;
  const size_t end = loopLength > 0 ? loopStart + loopLength : words.size();
  for (size_t i = 0; heard.size() < count; ++i) {
    if (i < end) {
      heard.push_back(words[i]);
    } else {
      heard.push_back(loopLength > 0 ? words[loopStart + (i - end) % loopLength] : 0);
    }
  }
  return heard;
}

class PlaybackEngineTest : public testing::Test {
 protected:
  void TearDown() override {
    engine.Shutdown();
    Capture::Uninstall();
  }
  Capture& Open(const soundtest::CaptureOptions& options = {}) {
    Capture& capture = Capture::Install(options);
    engine.OpenDevice("Capture A", nullptr);
    return capture;
  }
  PlaybackEngine engine;
};

struct StreamCase {
  const char* name;
  uint16_t rate;
  uint16_t channels;
  uint32_t samples;
  bool looped;
  uint32_t loopStart, loopLength;  // as asked for, in samples
  uint32_t heardStart, heardLength;  // the loop that is heard, in samples
  size_t compareWords;
};

// B = 262144 bytes: a quarter holds 32768 words, the buffer 131072.
const StreamCase kStreams[] = {
    {"one-shot shorter than a quarter", 44100, 1, 1000, false, 0, 0, 0, 0, 300000},
    {"one-shot longer than the buffer", 44100, 1, 300001, false, 0, 0, 0, 0, 400000},
    {"one-shot of one word", 44100, 1, 1, false, 0, 0, 0, 0, 140000},
    {"whole-sample loop", 44100, 1, 5000, true, 0, 0, 0, 5000, 400000},
    {"loop inside the first half", 44100, 1, 10000, true, 3000, 2000, 3000, 2000, 400000},
    {"loop ending beyond the first half", 44100, 1, 200000, true, 150000, 30000, 150000, 30000, 500000},
    {"loop of one word", 44100, 1, 100, true, 50, 1, 50, 1, 200000},
    {"loop reaching past the data", 44100, 1, 1000, true, 900, 500, 0, 1000, 200000},
    {"22050 Hz", 22050, 1, 7000, true, 1000, 3000, 1000, 3000, 300000},
    {"two channels", 44100, 2, 40000, true, 10000, 20000, 10000, 20000, 400000},
    {"1 Hz", 1, 1, 10, true, 0, 0, 0, 10, 140000},
    {"65535 Hz, two channels", 65535, 2, 3000, true, 100, 500, 100, 500, 300000},
    {"60 s of looped play", 44100, 1, 77777, true, 11111, 55555, 11111, 55555, 60 * 44100},
};

TEST_F(PlaybackEngineTest, PlaysWordForWord) {
  for (const StreamCase& c : kStreams) {
    SCOPED_TRACE(c.name);
    Capture& capture = Open();
    const std::vector<int16_t> words = Scrambled(size_t{c.samples} * c.channels);
    PcmFormat format = PcmFormatForRate(c.rate);
    format.channels = c.channels;
    format.blockAlign = static_cast<uint16_t>(2 * c.channels);
    if (c.looped) {
      engine.PlayLooped(words.data(), c.samples, format, c.loopStart, c.loopLength);
      ASSERT_TRUE(capture.WaitForWords(c.compareWords));
      engine.StopPlayback();
    } else {
      engine.PlayOnce(words.data(), c.samples, format);
      ASSERT_TRUE(engine.WaitForPlaybackEnd(60000));  // it ends by itself
    }
    EXPECT_EQ(capture.buffersAlive(), 0);
    EXPECT_EQ(engine.lastThreadFailure(), 0);
    std::vector<int16_t> played = capture.Words();
    ASSERT_GE(played.size(), c.looped ? c.compareWords : words.size());
    played.resize(std::min(played.size(), c.compareWords));
    const std::vector<int16_t> heard =
        Heard(words, c.heardStart * c.channels, c.looped ? c.heardLength * c.channels : 0, played.size());
    EXPECT_TRUE(played == heard);
    engine.Shutdown();
  }
}

TEST_F(PlaybackEngineTest, StopsAndRestarts) {
  engine.StopPlayback();  // idle: returns at once
  Capture& capture = Open();
  const std::vector<int16_t> words = Scrambled(8000);
  engine.PlayLooped(words.data(), 3000, PcmFormatForRate(44100), 0, 0);
  ASSERT_TRUE(capture.WaitForWords(200000));
  engine.PlayOnce(words.data() + 3000, 5000, PcmFormatForRate(44100));
  ASSERT_TRUE(engine.WaitForPlaybackEnd(60000));
  engine.StopPlayback();  // after the end: returns at once

  // The first buffer is gone before the second exists, and the second's first word
  // is the first word recorded after it was made.
  const std::vector<Capture::Event> log = capture.Log();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[1].what.substr(0, 7), "create ");
  EXPECT_EQ(log[2].what, "release " + log[1].what.substr(7));
  EXPECT_EQ(log[3].what.substr(0, 7), "create ");
  EXPECT_EQ(log[3].words, log[2].words);
  EXPECT_EQ(capture.Words().at(log[3].words), words[3000]);
}

TEST_F(PlaybackEngineTest, StopBeforeTheBufferExistsEndsTheThread) {
  Capture& capture = Open({.holdBufferCreation = true});
  const std::vector<int16_t> words = Scrambled(100);
  engine.PlayLooped(words.data(), 100, PcmFormatForRate(44100), 0, 0);
  // The stop is asked for before the thread has made its buffer (it is held, or not
  // yet asked for); the pause only lets the stop come first.
  std::thread creator([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    capture.ReleaseBufferCreation();
  });
  engine.StopPlayback();
  creator.join();
  EXPECT_EQ(capture.buffersAlive(), 0);
}

TEST_F(PlaybackEngineTest, UnknownDriverOpensTheFirstWithAGuid) {
  const struct {
    const char* asked;
    const char* opened;
  } cases[] = {{"Capture B", "device Capture B"}, {"no such driver", "device Capture A"}, {"capture b", "device Capture A"}};
  for (const auto& c : cases) {
    engine.Shutdown();
    Capture& capture = Capture::Install();
    engine.EnumerateSoundDrivers();
    engine.EnumerateSoundDrivers();  // rebuilt, not appended to
    ASSERT_EQ(engine.drivers().Count(), 3);
    EXPECT_FALSE(engine.drivers().At(0)->hasGuid);
    engine.OpenDevice(c.asked, nullptr);
    EXPECT_EQ(capture.Log().back().what, c.opened);
    EXPECT_EQ(engine.bufferBytes(), PlaybackEngine::kDeviceBufferBytes);
  }
}

TEST_F(PlaybackEngineTest, RefusedCallsRaiseTheirCodeOrEndTheStreamCleanly) {
  const struct {
    Refuse refuse;
    int32_t code;
  } cases[] = {{Refuse::Create, 4},          {Refuse::PrimaryBuffer, 4},
               {Refuse::PrimaryFormat, 4},   {Refuse::SecondaryBuffer, 6},
               {Refuse::NotifyInterface, 6}, {Refuse::NotificationPositions, 9},
               {Refuse::Lock, 9},            {Refuse::LostTwice, 9},
               {Refuse::Unlock, 10},         {Refuse::SetPosition, 11},
               {Refuse::Play, 11},           {Refuse::LostBuffer, 0}};
  const std::vector<int16_t> words = Scrambled(1000);
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.refuse));
    engine.Shutdown();
    Capture& capture = Capture::Install({.refuse = c.refuse});
    try {
      engine.OpenDevice("Capture A", nullptr);
    } catch (const DSoundException& failure) {
      EXPECT_EQ(failure.code, c.code);
      continue;
    }
    engine.PlayLooped(words.data(), 1000, PcmFormatForRate(44100), 0, 0);
    if (c.code == 0) {  // a lost buffer is restored and plays on
      ASSERT_TRUE(capture.WaitForWords(1000));
      engine.StopPlayback();
      EXPECT_TRUE(std::equal(words.begin(), words.end(), capture.Words().begin()));
    }
    ASSERT_TRUE(engine.WaitForPlaybackEnd(60000));
    EXPECT_EQ(engine.lastThreadFailure(), c.code);
    EXPECT_EQ(capture.buffersAlive(), 0);
  }
}

TEST_F(PlaybackEngineTest, BadSourcesEndCleanly) {
  Capture& capture = Open();
  const std::vector<int16_t> words = Scrambled(10);
  engine.PlayLooped(words.data(), 10, PcmFormatForRate(0), 0, 0);
  ASSERT_TRUE(engine.WaitForPlaybackEnd(60000));
  EXPECT_EQ(engine.lastThreadFailure(), 6);  // a rate of 0 is refused with the buffer

  // A stereo WAV file plays word for word; one the source refuses ends silently.
  const std::filesystem::path folder = testsupport::FreshFolder("engine");
  const std::vector<int16_t> stereo = Scrambled(2 * 3000);
  ASSERT_TRUE(audiotest::WriteWithSndfile(folder / "stereo.wav", stereo, 2, 22050, SF_FORMAT_PCM_16));
  ASSERT_TRUE(audiotest::WriteWithSndfile(folder / "8bit.wav", stereo, 1, 22050, SF_FORMAT_PCM_U8));
  engine.PlayWavFile(folder / "stereo.wav");
  ASSERT_TRUE(engine.WaitForPlaybackEnd(60000));
  EXPECT_TRUE(std::equal(stereo.begin(), stereo.end(), capture.Words().begin()));
  const size_t before = capture.Words().size();
  engine.PlayWavFile(folder / "8bit.wav");
  ASSERT_TRUE(engine.WaitForPlaybackEnd(60000));
  EXPECT_EQ(capture.Words().size(), before);
  EXPECT_EQ(engine.lastThreadFailure(), 0);
}

}  // namespace
