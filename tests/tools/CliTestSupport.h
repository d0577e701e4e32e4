#pragma once
// Disc images for the command-line tests, running the commands and the program, and
// libsndfile's view of a WAV file.

#include <sndfile.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/akai/reader/ReaderTestSupport.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"

namespace clitest {

// A directory entry holding `sample`.
inline akaiimage::FileEntry SampleFile(const akaiimage::SampleDescription& sample) {
  akaiimage::FileEntry file;
  file.name = sample.name;
  file.type = 's';
  file.s3000Form = sample.form != akaiimage::SampleForm::S1000;
  file.data = akaiimage::WriteSampleFile(sample);
  return file;
}

inline akaiimage::FileEntry ProgramFile(const akaiimage::ProgramDescription& program) {
  akaiimage::FileEntry file;
  file.name = program.name;
  file.type = 'p';
  file.s3000Form = program.s3000;
  file.data = akaiimage::WriteProgramFile(program);
  return file;
}

// A sample of `words` (S1000, 44100 Hz, root key 60 unless changed).
inline akaiimage::SampleDescription Sample(const std::string& name, std::vector<int16_t> words,
                                           uint16_t sampleRate = 44100, uint8_t originalKey = 60) {
  akaiimage::SampleDescription sample;
  sample.name = name;
  sample.words = std::move(words);
  sample.sampleRate = sampleRate;
  sample.originalKey = originalKey;
  return sample;
}

// `count` words of a ramp that differs for every `seed`.
inline std::vector<int16_t> Words(size_t count, int seed) {
  std::vector<int16_t> words(count);
  for (size_t i = 0; i < count; ++i) words[i] = static_cast<int16_t>((i * (7 + seed) + 1000 * seed) % 20000 - 10000);
  return words;
}

// What a subcommand returned and printed.
struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// Runs `command(out, err)`, a Run... function of the command library.
template <typename Command>
CliRun Capture(Command command) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = command(out, err);
  return {status, out.str(), err.str()};
}

// Runs the built program with `arguments` (quoted as the shell needs), its output and
// errors going to `log`. Returns its exit status, or -1 when it did not exit.
inline int RunProgram(const std::string& arguments, const std::filesystem::path& log) {
  const std::string command = std::string(CARVOX_CLI_PATH) + " " + arguments + " >'" + log.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What libsndfile reads from a WAV file: the words, the rate, and from the "smpl" chunk
// the root key and the loop (libsndfile reports the inclusive loop end plus one).
struct WavContents {
  bool opened = false;
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> words;  // interleaved frames
  bool hasInstrument = false;
  int rootKey = -1;
  int loops = 0;
  uint32_t loopStart = 0;
  uint32_t loopEnd = 0;
};

inline WavContents ReadWav(const std::filesystem::path& path) {
  WavContents wav;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return wav;
  wav.opened = true;
  wav.rate = info.samplerate;
  wav.channels = info.channels;
  wav.words.resize(static_cast<size_t>(info.frames * info.channels));
  sf_readf_short(file, wav.words.data(), info.frames);
  SF_INSTRUMENT instrument{};
  if (sf_command(file, SFC_GET_INSTRUMENT, &instrument, sizeof instrument) == SF_TRUE) {
    wav.hasInstrument = true;
    wav.rootKey = instrument.basenote;
    wav.loops = instrument.loop_count;
    wav.loopStart = instrument.loops[0].start;
    wav.loopEnd = instrument.loops[0].end;
  }
  sf_close(file);
  return wav;
}

}  // namespace clitest
