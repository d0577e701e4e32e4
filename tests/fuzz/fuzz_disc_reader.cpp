// The disc reader over an image in memory: partitions, volume lists, CD label,
// directories, and every program and sample loaded with its data, as
// `carvox-cli export --all` walks a disc. Refusals (the reader's exceptions) are fine;
// crashes, hangs and sanitizer reports are not.

#include <string>
#include <vector>

#include "akai/AkaiVolumeReader.h"
#include "tests/akai/reader/SourceDoubles.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// Bounds the work per input, so that an image listing thousands of files stays quick.
constexpr int kMaxDirectories = 16;
constexpr int kMaxLoads = 64;

template <typename Step>
bool Try(Step step) {
  try {
    step();
    return true;
  } catch (const AKAIException&) {
  } catch (const CDReaderException&) {
  } catch (const ChainedListExeption&) {
  }
  return false;
}

void LoadFiles(AkaiVolumeReader& reader, uint16_t p, uint16_t v, int& loads) {
  std::vector<AkaiFile> files;
  for (int f = 0; f < reader.files().Count(); ++f) files.push_back(*reader.files().At(f));
  for (const AkaiFile& file : files) {
    if (loads++ >= kMaxLoads) return;
    const bool program = file.kind == S1000Program || file.kind == S3000Program;
    Try([&] {
      if (program) {
        reader.LoadProgram(p, v, file.name);
      } else {
        reader.LoadSample(p, v, file.name, true);
      }
    });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::SilencePrompts();
  testsupport::MemorySource source(std::vector<uint8_t>(data, data + size));
  AkaiVolumeReader reader(source);
  if (!Try([&] { reader.ReadPartitions(); })) return 0;
  int directories = 0;
  int loads = 0;
  for (int p = 0; p < reader.partitions().Count(); ++p) {
    const auto partition = static_cast<uint16_t>(p);
    char label[13];
    Try([&] { reader.ReadCdLabel(partition, label); });
    if (!Try([&] { reader.ReadVolumes(partition); })) continue;
    for (int v = 0; v < reader.volumes().Count() && directories < kMaxDirectories; ++v, ++directories) {
      const auto volume = static_cast<uint16_t>(v);
      if (Try([&] { reader.ReadFiles(partition, volume); })) LoadFiles(reader, partition, volume, loads);
    }
  }
  return 0;
}
