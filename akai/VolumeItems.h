#pragma once
// One volume's programs and samples as a list shows them: the directory with each
// sample's header fields (rate, frames, root key, play loop). The main window's item
// view and the command line list a volume through this; both play the loop that
// LoopForPlay gives.

#include <cstdint>
#include <string>
#include <vector>

#include "akai/AkaiVolumeReader.h"
#include "akai/PlayLoopAndTuning.h"

struct VolumeItem {
  std::string name;  // as the directory lists it
  bool program = false;
  uint32_t bytes = 0;  // the file's length
  // A sample whose header could not be read keeps its entry, without the fields below.
  bool headerRead = true;
  uint32_t rate = 0;    // Hz; 0 for programs
  uint32_t frames = 0;  // sample words
  uint8_t rootKey = 0;  // MIDI note number (60 = C3 on the sampler's display)
  PlayLoop loop;        // (0, 0): the sample does not loop

  // Milliseconds, to the nearest; 0 without a rate. Kept in 64 bits: 16 M frames at 1 Hz
  // last longer than 32 bits of milliseconds.
  uint64_t LengthMs() const;
};

// Reads the directory of the volume and each sample's header. A directory that cannot
// be read throws what the reader throws; a header that cannot be read leaves its
// item with headerRead false. Loading headers replaces the reader's current sample.
std::vector<VolumeItem> ListVolumeItems(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume);

// The loop that looped play repeats: the play loop when it lies inside the data, else
// the whole sample.
PlayLoop LoopForPlay(const AkaiSample& sample);

// A key as the sampler names it: "C3" for 60, "C#-2" for 1.
std::string KeyName(uint8_t key);
