#include "akai/AkaiVolumeReader.h"

#include <cstring>
#include <vector>

#include "akai/AkaiNames.h"
#include "akai/LittleEndian.h"
#include "akai/PartitionTable.h"

namespace {

constexpr uint32_t kSectorsPerBlock = AkaiVolumeReader::kBlockSize / SectorSource::kSectorSize;
// Contiguous file reads go to the drive 6 blocks (24 sectors) at a time.
constexpr uint32_t kBlocksPerRequest = 6;

constexpr size_t kVolumeListOffset = 202;
constexpr size_t kVolumeEntrySize = 16;
constexpr int kMaxVolumes = 128;

constexpr size_t kDirectoryEntrySize = 24;

// The blocks a listed file covers, relative to its partition.
struct BlockRange {
  uint32_t first;
  uint32_t end;  // one past the last
  bool Contains(uint32_t block) const { return first <= block && block < end; }
};

BlockRange RangeOf(const AkaiFile& file) {
  const uint32_t blocks = (file.length + AkaiVolumeReader::kBlockSize - 1) / AkaiVolumeReader::kBlockSize;
  return {file.startBlock, uint32_t{file.startBlock} + blocks};
}

std::vector<BlockRange> RangesOf(const ChainedList<AkaiFile>& files) {
  std::vector<BlockRange> ranges;
  const int count = files.Count();
  for (int j = 0; j < count; ++j) ranges.push_back(RangeOf(*files.At(j)));
  return ranges;
}

int IndexOfRangeContaining(const std::vector<BlockRange>& ranges, uint32_t block) {
  for (size_t j = 0; j < ranges.size(); ++j) {
    if (ranges[j].Contains(block)) return static_cast<int>(j);
  }
  return -1;
}

// Sets the source's quiet flag for the guard's lifetime and restores it afterwards,
// also when a probe throws something the caller does not catch.
class QuietScope {
 public:
  explicit QuietScope(SectorSource& source) : source_(source), previous_(source.QuietMode()) {
    source_.SetQuietMode(true);
  }
  ~QuietScope() { source_.SetQuietMode(previous_); }
  QuietScope(const QuietScope&) = delete;
  QuietScope& operator=(const QuietScope&) = delete;

 private:
  SectorSource& source_;
  bool previous_;
};

}  // namespace

AkaiVolumeReader::AkaiVolumeReader(SectorSource& source)
    : source_(source), blockBuffer_(std::make_unique<uint8_t[]>(kBlockSize)) {}

void AkaiVolumeReader::ReadBlock(uint32_t block) {
  source_.ReadSectors(block * kSectorsPerBlock, blockBuffer_.get(), kSectorsPerBlock);
}

void AkaiVolumeReader::ReadPartitions() {
  partitions_.Clear();
  ReadBlock(2);
  // The probes below overwrite the block buffer, so the table is parsed first.
  const std::vector<PartitionTableEntry> table = ParsePartitionTable(blockBuffer_.get() + kPartitionTableOffset);
  QuietScope quiet(source_);
  for (const PartitionTableEntry& entry : table) {
    try {
      ReadBlock(entry.startBlock);
    } catch (...) {
      continue;  // an unreadable partition is left out; later ones keep their starts
    }
    partitions_.Append(new AkaiPartition{entry.startBlock, entry.sizeBlocks});
  }
}

void AkaiVolumeReader::ReadVolumes(uint16_t partition) {
  volumes_.Clear();
  if (partitions_.Count() == 0) ReadPartitions();
  if (currentPartition_ != partition) currentVolume_ = -1;
  currentPartition_ = partition;
  const AkaiPartition& part = *partitions_.At(partition);
  ReadBlock(part.startBlock);
  for (int i = 0; i < kMaxVolumes; ++i) {
    const uint8_t* entry = blockBuffer_.get() + kVolumeListOffset + i * kVolumeEntrySize;
    if (ReadU16(entry + 12) == 0) break;
    auto volume = std::make_unique<AkaiVolume>();
    if (!ConvertAkaiName(entry, volume->name)) {
      volumes_.Clear();
      throw AKAIException{2};
    }
    volume->dirBlock = ReadU16(entry + 14);
    volumes_.Append(volume.release());
  }
}

void AkaiVolumeReader::ReadFiles(uint16_t partition, uint16_t volume) {
  files_.Clear();
  if (volumes_.Count() == 0 || currentPartition_ != partition) ReadVolumes(partition);
  currentPartition_ = partition;
  currentVolume_ = volume;
  const AkaiPartition& part = *partitions_.At(partition);
  const AkaiVolume& vol = *volumes_.At(volume);
  ReadBlock(uint32_t{part.startBlock} + vol.dirBlock);
  for (size_t offset = 0; offset + kDirectoryEntrySize <= kBlockSize; offset += kDirectoryEntrySize) {
    const uint8_t* entry = blockBuffer_.get() + offset;
    if (ReadU16(entry + 22) == 0) break;
    uint8_t type = entry[16];
    bool s3000Form = false;
    if (!ClassifyFileType(type, s3000Form) || (type != 'p' && type != 's')) continue;
    auto file = std::make_unique<AkaiFile>();
    if (!ConvertAkaiName(entry, file->name)) {
      files_.Clear();
      throw AKAIException{2};
    }
    file->length = ReadU24(entry + 17);
    file->startBlock = ReadU16(entry + 20);
    if (type == 'p') {
      file->kind = s3000Form ? S3000Program : S1000Program;
    } else {
      file->kind = s3000Form ? S3000Sample : S1000Sample;
    }
    files_.Append(file.release());
  }
}

void AkaiVolumeReader::ReadContiguousBlocks(uint32_t firstBlock, uint32_t count) {
  fileBuffer_.reset();
  fileBuffer_ = std::make_unique<uint8_t[]>(size_t{count} * kBlockSize);
  uint32_t lba = firstBlock * kSectorsPerBlock;
  uint8_t* target = fileBuffer_.get();
  for (uint32_t group = 0; group < count / kBlocksPerRequest; ++group) {
    source_.ReadSectors(lba, target, kBlocksPerRequest * kSectorsPerBlock);
    lba += kBlocksPerRequest * kSectorsPerBlock;
    target += kBlocksPerRequest * kBlockSize;
  }
  const uint32_t rest = count % kBlocksPerRequest;
  if (rest != 0) source_.ReadSectors(lba, target, static_cast<uint8_t>(rest * kSectorsPerBlock));
}

void AkaiVolumeReader::ReadProgramBlocks(uint32_t firstBlock, uint32_t count, uint16_t partitionStart) {
  fileBuffer_.reset();
  fileBuffer_ = std::make_unique<uint8_t[]>(size_t{count} * kBlockSize);
  uint32_t current = firstBlock;
  for (uint32_t i = 0; i < count; ++i) {
    // Where the next block starts another listed file, the program goes on at the
    // first block after it that no listed file occupies.
    if (i > 0 && IsFileStart(static_cast<uint16_t>(current - partitionStart))) {
      current = uint32_t{partitionStart} + NextFreeBlock(static_cast<uint16_t>(current - partitionStart));
    }
    ReadBlock(current);
    std::memcpy(fileBuffer_.get() + size_t{i} * kBlockSize, blockBuffer_.get(), kBlockSize);
    ++current;
  }
}

int AkaiVolumeReader::FileAtBlock(uint32_t block) const {
  return IndexOfRangeContaining(RangesOf(files_), block);
}

uint16_t AkaiVolumeReader::NextFreeBlock(uint16_t block) const {
  // A corrupt directory may cover every block; the search then stops after one full
  // turn of the 16-bit block numbers instead of running forever.
  const std::vector<BlockRange> ranges = RangesOf(files_);
  for (uint32_t step = 0; step <= 0xFFFF; ++step) {
    if (IndexOfRangeContaining(ranges, block) == -1) return block;
    ++block;
  }
  throw AKAIException{2};
}

bool AkaiVolumeReader::IsFileStart(uint16_t block) const {
  const int count = files_.Count();
  for (int j = 0; j < count; ++j) {
    if (files_.At(j)->startBlock == block) return true;
  }
  return false;
}
