#pragma once
// Reads the structure of an AKAI S1000/S3000 disc through a SectorSource: partition
// table, volume lists, directories, and the program and sample files.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "akai/AkaiException.h"
#include "akai/AkaiRecords.h"
#include "akai/PartitionFat.h"
#include "akai/SectorSource.h"
#include "common/ChainedList.h"

// A partition the table names whose first block could not be read, left out of the list.
struct SkippedPartition {
  int tableIndex = 0;  // 0-based position in the partition table
  uint16_t start = 0;
  uint16_t size = 0;
};

// Reads one disc through a SectorSource and holds one piece of each kind at a time: the
// partition list, the volume list of one partition, the directory of one volume, one
// sample and one program. Each read replaces the piece of its kind:
// - partitions() and skippedPartitions(): after ReadPartitions (ReadVolumes calls it
//   when no partition is held);
// - volumes(): those of currentPartition(), after ReadVolumes;
// - files(): the directory of currentVolume() in currentPartition(), after ReadFiles. A
//   load that names another volume reads the directory again (and the volume list, for
//   another partition), which ends every reference into the old ones;
// - sample(): the sample of the last LoadSample, or the header alone after
//   LocateSampleWords. The next one replaces it, words included: a caller that needs two
//   samples at once (a stereo pair) copies what it needs of the first before loading
//   the second;
// - program(): the program of the last LoadProgram.
// After a call throws, the pieces it would have replaced are not to be used until they
// are read again.
class AkaiVolumeReader {
 public:
  static constexpr uint32_t kBlockSize = 8192;
  static constexpr uint32_t kSectorsPerBlock = kBlockSize / SectorSource::kSectorSize;

  // The blocks a file of `length` bytes occupies.
  static constexpr uint32_t BlocksOf(uint32_t length) { return (length + kBlockSize - 1) / kBlockSize; }

  explicit AkaiVolumeReader(SectorSource& source);
  AkaiVolumeReader(const AkaiVolumeReader&) = delete;
  AkaiVolumeReader& operator=(const AkaiVolumeReader&) = delete;

  void ReadPartitions();
  void ReadVolumes(uint16_t partition);
  void ReadFiles(uint16_t partition, uint16_t volume);

  void LoadSample(uint16_t partition, uint16_t volume, const char* name, bool withData);
  // Loads the sample's header (as LoadSample without data) and gives where its played
  // words lie, in order, in the file the source reads (SectorSource::FileRunOf), so
  // that they can be copied file to file. Nothing, before any read, when the source
  // hands out no file runs; nothing too when any block of the sample has none. Throws
  // as LoadSample does.
  std::optional<std::vector<FileRun>> LocateSampleWords(uint16_t partition, uint16_t volume, const char* name);
  // Loads the sample as LoadSample with data does, but leaves its words where they were
  // read: the played words' bytes in the file buffer (2 x sampleCount, little-endian),
  // valid until the next read. The sample itself holds no data. Throws as LoadSample.
  std::span<const uint8_t> LoadSampleBytes(uint16_t partition, uint16_t volume, const char* name);
  void LoadProgram(uint16_t partition, uint16_t volume, const char* name);

  // The label of a CD-ROM partition ("TAGS" in its header, the label in its CD-ROM
  // information block), converted and trimmed; false when the partition carries none
  // or its blocks cannot be read (they are read quietly).
  bool ReadCdLabel(uint16_t partition, char (&label)[13]);

  const ChainedList<AkaiPartition>& partitions() const { return partitions_; }
  // The entries of the table that the last ReadPartitions left out, in table order.
  const std::vector<SkippedPartition>& skippedPartitions() const { return skipped_; }
  const ChainedList<AkaiVolume>& volumes() const { return volumes_; }
  const ChainedList<AkaiFile>& files() const { return files_; }
  const AkaiSample& sample() const { return sample_; }
  const AkaiProgram& program() const { return program_; }
  int32_t currentPartition() const { return currentPartition_; }
  int32_t currentVolume() const { return currentVolume_; }

 private:
  friend class AkaiVolumeReaderTestAccess;  // tests read blocks and the file buffer directly

  // Reads the sample file's blocks (all of them with `allBlocks`, else the first) and
  // decodes its header, its words copied into the sample with `copyWords`; the size of
  // the file's header.
  uint32_t ReadSample(uint16_t partition, uint16_t volume, const char* name, bool allBlocks, bool copyWords);

  int32_t currentPartition_ = -1;
  int32_t currentVolume_ = -1;
  SectorSource& source_;
  std::unique_ptr<uint8_t[]> fileBuffer_;
  ChainedList<AkaiVolume> volumes_;
  ChainedList<AkaiFile> files_;
  ChainedList<AkaiPartition> partitions_;
  AkaiSample sample_;
  AkaiProgram program_;
  std::unique_ptr<uint8_t[]> blockBuffer_;
  std::vector<SkippedPartition> skipped_;

  // The FAT of the partition whose volume list was read last (currentPartition).
  PartitionFat fat_;

  // Block reads into the block buffer (one block) or the file buffer (a whole file).
  void ReadBlock(uint32_t block);
  void ReadContiguousBlocks(uint32_t firstBlock, uint32_t count);
  // Replaces the file buffer with the listed blocks (relative to `partitionStart`) in
  // order; runs of consecutive blocks go to the drive as contiguous reads do.
  void ReadChainedBlocks(const std::vector<uint16_t>& blocks, uint32_t partitionStart);
  void ReadProgramBlocks(uint32_t firstBlock, uint32_t count, uint16_t partitionStart);
  void ReadRun(uint32_t firstBlock, uint32_t count, uint8_t* target);
  void ReadFileBlocks(const AkaiFile& file, uint32_t blocks, uint16_t partitionStart, bool program);

  // Consecutive absolute blocks: what one contiguous read covers.
  struct BlockRun {
    uint32_t first;
    uint32_t count;
  };
  std::vector<BlockRun> SampleBlockRuns(const AkaiFile& file, uint32_t partitionStart);
  static std::vector<BlockRun> Coalesce(const std::vector<uint16_t>& blocks, uint32_t partitionStart);

  // The blocks a listed file covers, relative to its partition.
  struct BlockRange {
    uint32_t first;
    uint32_t end;  // one past the last
    bool Contains(uint32_t block) const { return first <= block && block < end; }
  };
  std::vector<BlockRange> FileRanges() const;
  static bool StartsAt(const std::vector<BlockRange>& ranges, uint16_t block);
  static uint16_t FirstFreeFrom(const std::vector<BlockRange>& ranges, uint16_t block);
};
