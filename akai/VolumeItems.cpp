#include "akai/VolumeItems.h"

uint64_t VolumeItem::LengthMs() const { return rate == 0 ? 0 : (uint64_t{frames} * 1000 + rate / 2) / rate; }

std::vector<VolumeItem> ListVolumeItems(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume) {
  reader.ReadFiles(partition, volume);
  // Copies: loading a header may read the directory again.
  const std::vector<AkaiFile> files(reader.files().begin(), reader.files().end());
  std::vector<VolumeItem> items;
  for (const AkaiFile& file : files) {
    VolumeItem item;
    item.name = file.name;
    item.program = file.kind == S1000Program || file.kind == S3000Program;
    item.bytes = file.length;
    if (!item.program) {
      try {
        reader.LoadSample(partition, volume, file.name, false);
        const AkaiSample& sample = reader.sample();
        item.rate = sample.sampleRate;
        item.frames = sample.sampleCount;
        item.rootKey = sample.originalKey;
        item.loop = FindPlayLoopInside(sample);
      } catch (const AKAIException&) {
        item.headerRead = false;
      } catch (const CDReaderException&) {
        item.headerRead = false;
      }
    }
    items.push_back(std::move(item));
  }
  return items;
}

PlayLoop LoopForPlay(const AkaiSample& sample) {
  const PlayLoop loop = FindPlayLoopInside(sample);
  return loop.length != 0 ? loop : PlayLoop{0, sample.sampleCount};
}

std::string KeyName(uint8_t key) {
  static const char* const kNotes[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  return kNotes[key % 12] + std::to_string(key / 12 - 2);
}
