// AkaiVolumeReader: partitions, volume lists, directories, block reads, the CD label,
// and loading samples and programs (their headers are decoded by akai/AkaiHeaders.cpp).
#include "akai/AkaiVolumeReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "akai/LittleEndian.h"
#include "akai/PartitionTable.h"
#include "akai/internal/AkaiHeaders.h"
#include "akai/internal/AkaiNames.h"

namespace {

// Contiguous file reads go to the source as many blocks at a time as one request of at
// most 255 sectors holds (63 blocks, 504 KB): a drive splits them into the commands
// its adapter takes, and fewer requests cost fewer hand-offs.
constexpr uint32_t kBlocksPerRequest = 255 / AkaiVolumeReader::kSectorsPerBlock;

constexpr size_t kVolumeListOffset = 202;
constexpr size_t kVolumeEntrySize = 16;
constexpr int kMaxVolumes = 128;
constexpr int kHeaderVolumes = 100;

// CD-ROM information: "TAGS" in the header's third block, the label in block 3.
constexpr uint32_t kTagsBlock = 2;
constexpr size_t kTagsOffset = 0x4600 - 2 * 8192;
constexpr uint32_t kCdInfoBlock = 3;
constexpr uint32_t kCdInfoBlocks = 3;
constexpr size_t kCdLabelOffset = 202;

constexpr size_t kDirectoryEntrySize = 24;

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

// Compares a directory name with a wanted name the way the sampler does: trailing
// spaces of the stored name do not count, case does.
bool SameName(const char (&stored)[13], const char* wanted) {
  char name[13];
  std::memcpy(name, stored, sizeof name);
  for (int i = 11; i >= 0 && (name[i] == ' ' || name[i] == '\0'); --i) name[i] = '\0';
  name[12] = '\0';
  return std::strcmp(name, wanted) == 0;
}

const AkaiFile& FindFile(const ChainedList<AkaiFile>& files, const char* name, AkaiFileKind s1000,
                         AkaiFileKind s3000) {
  for (const AkaiFile& file : files) {
    if ((file.kind == s1000 || file.kind == s3000) && SameName(file.name, name)) return file;
  }
  throw AKAIException{AKAIException::kNameNotFound};
}

// The directory is re-read only when nothing is listed or another volume is asked for
// (ReadFiles makes the partition and volume current).
const AkaiPartition& OpenVolume(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume) {
  if (reader.files().Count() == 0 || reader.currentPartition() != partition ||
      reader.currentVolume() != volume) {
    reader.ReadFiles(partition, volume);
  }
  return *reader.partitions().At(partition);
}

}  // namespace

std::vector<AkaiVolumeReader::BlockRange> AkaiVolumeReader::FileRanges() const {
  std::vector<BlockRange> ranges;
  for (const AkaiFile& file : files_) {
    ranges.push_back({file.startBlock, uint32_t{file.startBlock} + BlocksOf(file.length)});
  }
  return ranges;
}

bool AkaiVolumeReader::StartsAt(const std::vector<BlockRange>& ranges, uint16_t block) {
  return std::any_of(ranges.begin(), ranges.end(), [block](const BlockRange& r) { return r.first == block; });
}

uint16_t AkaiVolumeReader::FirstFreeFrom(const std::vector<BlockRange>& ranges, uint16_t block) {
  // Block numbers are 16-bit. A corrupt directory may cover every block up to the last
  // one: the search then ends there, rather than wrapping round to block 0 (and reading
  // other files' blocks as the program's) or running forever.
  for (uint32_t b = block; b <= 0xFFFF; ++b) {
    const bool occupied =
        std::any_of(ranges.begin(), ranges.end(), [b](const BlockRange& r) { return r.Contains(b); });
    if (!occupied) return static_cast<uint16_t>(b);
  }
  throw AKAIException{AKAIException::kCorruptData};
}

AkaiVolumeReader::AkaiVolumeReader(SectorSource& source)
    : source_(source), blockBuffer_(std::make_unique<uint8_t[]>(kBlockSize)) {}

void AkaiVolumeReader::ReadBlock(uint32_t block) {
  source_.ReadSectors(block * kSectorsPerBlock, blockBuffer_.get(), kSectorsPerBlock);
}

void AkaiVolumeReader::ReadPartitions() {
  partitions_.Clear();
  skipped_.clear();
  ReadBlock(2);
  // The probes below overwrite the block buffer, so the table is parsed first.
  const std::vector<PartitionTableEntry> table = ParsePartitionTable(blockBuffer_.get() + kPartitionTableOffset);
  QuietScope quiet(source_);
  for (const PartitionTableEntry& entry : table) {
    try {
      ReadBlock(entry.startBlock);
    } catch (const CDReaderException&) {
      // An unreadable partition is left out (and recorded); later ones keep their starts.
      skipped_.push_back({static_cast<int>(&entry - table.data()), entry.startBlock, entry.sizeBlocks});
      continue;
    }
    partitions_.Append(new AkaiPartition{entry.startBlock, entry.sizeBlocks});
  }
}

void AkaiVolumeReader::ReadVolumes(uint16_t partition) {
  volumes_.Clear();
  fat_.Clear();
  if (partitions_.Count() == 0) ReadPartitions();
  if (currentPartition_ != partition) currentVolume_ = -1;
  currentPartition_ = partition;
  const AkaiPartition& part = *partitions_.At(partition);
  ReadBlock(part.startBlock);
  fat_.Load(blockBuffer_.get(), part.startBlock, part.sizeBlocks);
  // A real header holds 100 entries before its FAT, and an inactive entry has type
  // byte 0 whatever its load number; without a header the list may run to 128.
  const int entries = fat_.present() ? kHeaderVolumes : kMaxVolumes;
  for (int i = 0; i < entries; ++i) {
    const uint8_t* entry = blockBuffer_.get() + kVolumeListOffset + i * kVolumeEntrySize;
    const bool inactive = fat_.present() ? entry[12] == 0 : ReadU16(entry + 12) == 0;
    if (inactive) continue;  // deleted volumes can lie between active ones
    auto volume = std::make_unique<AkaiVolume>();
    if (!ConvertAkaiName(entry, volume->name)) {
      volumes_.Clear();
      throw AKAIException{AKAIException::kCorruptData};
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
  const PartitionFat::DirectoryExtent extent = fat_.Directory(vol.dirBlock, source_);
  // The entries form one array over the directory's one or two blocks.
  std::vector<uint8_t> directory((extent.secondBlock ? 2U : 1U) * size_t{kBlockSize});
  ReadBlock(uint32_t{part.startBlock} + vol.dirBlock);
  std::memcpy(directory.data(), blockBuffer_.get(), kBlockSize);
  if (extent.secondBlock) {
    ReadBlock(uint32_t{part.startBlock} + *extent.secondBlock);
    std::memcpy(directory.data() + kBlockSize, blockBuffer_.get(), kBlockSize);
  }
  for (uint32_t i = 0; i < extent.entries; ++i) {
    const uint8_t* entry = directory.data() + size_t{i} * kDirectoryEntrySize;
    // Free entries can lie anywhere between used ones.
    if (entry[16] == 0 || ReadU16(entry + 22) == 0) continue;
    uint8_t type = entry[16];
    bool s3000Form = false;
    if (!ClassifyFileType(type, s3000Form) || (type != 'p' && type != 's')) continue;
    auto file = std::make_unique<AkaiFile>();
    if (!ConvertAkaiName(entry, file->name)) {
      files_.Clear();
      throw AKAIException{AKAIException::kCorruptData};
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

void AkaiVolumeReader::ReadRun(uint32_t firstBlock, uint32_t count, uint8_t* target) {
  uint32_t lba = firstBlock * kSectorsPerBlock;
  for (uint32_t group = 0; group < count / kBlocksPerRequest; ++group) {
    source_.ReadSectors(lba, target, kBlocksPerRequest * kSectorsPerBlock);
    lba += kBlocksPerRequest * kSectorsPerBlock;
    target += kBlocksPerRequest * kBlockSize;
  }
  const uint32_t rest = count % kBlocksPerRequest;
  if (rest != 0) source_.ReadSectors(lba, target, static_cast<uint8_t>(rest * kSectorsPerBlock));
}

void AkaiVolumeReader::ReadContiguousBlocks(uint32_t firstBlock, uint32_t count) {
  fileBuffer_.reset();
  fileBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(size_t{count} * kBlockSize);
  ReadRun(firstBlock, count, fileBuffer_.get());
}

std::vector<AkaiVolumeReader::BlockRun> AkaiVolumeReader::Coalesce(const std::vector<uint16_t>& blocks,
                                                                   uint32_t partitionStart) {
  std::vector<BlockRun> runs;
  size_t i = 0;
  while (i < blocks.size()) {
    size_t end = i + 1;
    while (end < blocks.size() && blocks[end] == blocks[end - 1] + 1) ++end;
    runs.push_back({partitionStart + blocks[i], static_cast<uint32_t>(end - i)});
    i = end;
  }
  return runs;
}

void AkaiVolumeReader::ReadChainedBlocks(const std::vector<uint16_t>& blocks, uint32_t partitionStart) {
  fileBuffer_.reset();
  fileBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(blocks.size() * kBlockSize);
  uint8_t* target = fileBuffer_.get();
  for (const BlockRun& run : Coalesce(blocks, partitionStart)) {
    ReadRun(run.first, run.count, target);
    target += size_t{run.count} * kBlockSize;
  }
}

// The blocks LoadSample reads for the sample's data: its FAT chain, else one run.
std::vector<AkaiVolumeReader::BlockRun> AkaiVolumeReader::SampleBlockRuns(const AkaiFile& file,
                                                                          uint32_t partitionStart) {
  const uint32_t blocks = std::max<uint32_t>(1, BlocksOf(file.length));
  if (const auto chain = fat_.FileChain(file.startBlock, blocks, source_)) return Coalesce(*chain, partitionStart);
  return {{partitionStart + file.startBlock, blocks}};
}

void AkaiVolumeReader::ReadFileBlocks(const AkaiFile& file, uint32_t blocks, uint16_t partitionStart, bool program) {
  if (const auto chain = fat_.FileChain(file.startBlock, blocks, source_)) {
    ReadChainedBlocks(*chain, partitionStart);
  } else if (program) {
    ReadProgramBlocks(uint32_t{partitionStart} + file.startBlock, blocks, partitionStart);
  } else {
    ReadContiguousBlocks(uint32_t{partitionStart} + file.startBlock, blocks);
  }
}

bool AkaiVolumeReader::ReadCdLabel(uint16_t partition, char (&label)[13]) {
  const AkaiPartition& part = *partitions_.At(partition);
  // The label is optional: blocks that cannot be read mean none, without a prompt.
  QuietScope quiet(source_);
  try {
    ReadBlock(uint32_t{part.startBlock} + kTagsBlock);
    if (std::memcmp(blockBuffer_.get() + kTagsOffset, "TAGS", 4) != 0) return false;
    // S3000 hard disks carry "TAGS" too, but their blocks 3..5 hold files: CD-ROM
    // information is there only where a header's FAT marks them as system blocks.
    ReadBlock(part.startBlock);
    PartitionFat fat;
    fat.Load(blockBuffer_.get(), part.startBlock, part.sizeBlocks);
    if (fat.present() && !fat.SystemBlocks(kCdInfoBlock, kCdInfoBlocks)) return false;
    ReadBlock(uint32_t{part.startBlock} + kCdInfoBlock);
  } catch (const CDReaderException&) {
    return false;
  }
  return ConvertAkaiName(blockBuffer_.get() + kCdLabelOffset, label) && label[0] != '\0';
}

void AkaiVolumeReader::ReadProgramBlocks(uint32_t firstBlock, uint32_t count, uint16_t partitionStart) {
  fileBuffer_.reset();
  fileBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(size_t{count} * kBlockSize);
  const std::vector<BlockRange> ranges = FileRanges();
  uint32_t current = firstBlock;
  for (uint32_t i = 0; i < count; ++i) {
    // Where the next block starts another listed file, the program goes on at the
    // first block after it that no listed file occupies.
    const auto relative = static_cast<uint16_t>(current - partitionStart);
    if (i > 0 && StartsAt(ranges, relative)) current = uint32_t{partitionStart} + FirstFreeFrom(ranges, relative);
    ReadBlock(current);
    std::memcpy(fileBuffer_.get() + size_t{i} * kBlockSize, blockBuffer_.get(), kBlockSize);
    ++current;
  }
}

void AkaiVolumeReader::LoadSample(uint16_t partition, uint16_t volume, const char* name,
                                  bool withData) {
  ReadSample(partition, volume, name, withData, withData);
}

std::span<const uint8_t> AkaiVolumeReader::LoadSampleBytes(uint16_t partition, uint16_t volume, const char* name) {
  const uint32_t headerSize = ReadSample(partition, volume, name, true, false);
  // The played words end within the file's length (checked), so within the blocks read.
  return {fileBuffer_.get() + headerSize + 2ULL * sample_.startMarker, 2ULL * sample_.sampleCount};
}

uint32_t AkaiVolumeReader::ReadSample(uint16_t partition, uint16_t volume, const char* name, bool allBlocks,
                                      bool copyWords) {
  const AkaiPartition& part = OpenVolume(*this, partition, volume);
  const AkaiFile& file = FindFile(files_, name, S1000Sample, S3000Sample);

  // At least the first block, also for an empty file, so that the header fields can be
  // looked at (and the file rejected by its length).
  const uint32_t blocks = allBlocks ? std::max<uint32_t>(1, BlocksOf(file.length)) : 1;
  if (allBlocks) {
    ReadFileBlocks(file, blocks, part.startBlock, false);
  } else {
    ReadContiguousBlocks(uint32_t{part.startBlock} + file.startBlock, blocks);
  }

  const uint8_t* buffer = fileBuffer_.get();
  const uint32_t headerSize = akaiheaders::SampleHeaderSize(file.kind, buffer, file.length);
  akaiheaders::DecodeSample(buffer, blocks * kBlockSize, headerSize, file.length, copyWords, sample_);
  return headerSize;
}

std::optional<std::vector<FileRun>> AkaiVolumeReader::LocateSampleWords(uint16_t partition, uint16_t volume,
                                                                         const char* name) {
  const AkaiPartition& part = OpenVolume(*this, partition, volume);
  const AkaiFile& file = FindFile(files_, name, S1000Sample, S3000Sample);
  if (!source_.FileRunOf((uint32_t{part.startBlock} + file.startBlock) * kSectorsPerBlock, kSectorsPerBlock)) {
    return std::nullopt;
  }
  const uint32_t headerSize = ReadSample(partition, volume, name, false, false);
  // The played words, as bytes of the file's blocks taken in order.
  uint64_t skip = headerSize + 2ULL * sample_.startMarker;
  uint64_t left = 2ULL * sample_.sampleCount;
  std::vector<FileRun> words;
  // Every block is checked, those after the words too: a load with data reads them all.
  for (const BlockRun& run : SampleBlockRuns(file, part.startBlock)) {
    const std::optional<FileRun> blocks = source_.FileRunOf(run.first * kSectorsPerBlock, run.count * kSectorsPerBlock);
    if (!blocks) return std::nullopt;
    const uint64_t from = std::min(skip, blocks->bytes);
    const uint64_t take = std::min(left, blocks->bytes - from);
    if (take > 0) words.push_back({blocks->fd, blocks->offset + from, take});
    skip -= from;
    left -= take;
  }
  return words;
}

void AkaiVolumeReader::LoadProgram(uint16_t partition, uint16_t volume, const char* name) {
  const AkaiPartition& part = OpenVolume(*this, partition, volume);
  const AkaiFile& file = FindFile(files_, name, S1000Program, S3000Program);

  const uint32_t headerSize = file.kind == S3000Program ? akaiheaders::kS3000ProgramHeaderSize
                                                       : akaiheaders::kS1000HeaderSize;
  const uint32_t blocks = BlocksOf(file.length);
  ReadFileBlocks(file, blocks, part.startBlock, true);
  // Keygroups come only from the file's own bytes: the rest of its last block belongs
  // to no one and may hold another file's stale bytes.
  akaiheaders::DecodeProgram(fileBuffer_.get(), std::min(blocks * kBlockSize, file.length), headerSize,
                             file.length, program_);
}
