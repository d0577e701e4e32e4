#pragma once
// Disc images holding one program and its samples, for the bank builder's tests and
// benchmark: partition A, volume "VOLUME".

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "akai/AkaiVolumeReader.h"
#include "akai/ImageFileSource.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"
#include "tools/akaiimage/AkaiImageBuilder.h"

namespace testexport {

struct DiscContents {
  akaiimage::ProgramDescription program;
  std::vector<akaiimage::SampleDescription> samples;
  // Raw program file bytes used instead of `program` (for programs the writer
  // cannot describe).
  std::optional<std::vector<uint8_t>> rawProgram;
  // Cut the image right after the directory and this many bytes of the first sample's
  // data: loading that sample with data fails as a read error.
  bool cutInFirstSample = false;
};

// Writes the image and returns where its files lie.
akaiimage::ImageLayout WriteProgramDisc(const std::filesystem::path& image,
                                        const DiscContents& contents);

// An image opened through the AKAI reader.
class OpenDisc {
 public:
  explicit OpenDisc(const std::filesystem::path& image) : source_(image), reader_(source_) {}
  AkaiVolumeReader& reader() { return reader_; }

 private:
  ImageFileSource source_;
  AkaiVolumeReader reader_;
};

// `count` words of a sine whose pitch depends on `seed`, under noise that does too, so
// that neither another sample nor another pitch correlates with it.
std::vector<int16_t> ToneWords(size_t count, uint32_t seed = 1);

// A sample of `words` at 44100 Hz (nominal 44100), root key 60, optionally looped over
// its last `loopLength` words (the loop end is placed on a multiple of 64).
akaiimage::SampleDescription MakeSample(const std::string& name, std::vector<int16_t> words,
                                        uint32_t loopLength = 0);

// One keygroup over `lowKey`..`highKey` with one zone per sample name.
akaiimage::KeygroupDescription MakeKeygroup(uint8_t lowKey, uint8_t highKey,
                                            const std::vector<std::string>& sampleNames);

}  // namespace testexport
