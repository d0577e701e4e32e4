#include "tools/akaiimage/AkaiImageBuilder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <system_error>

#include "akai/DiscSignature.h"
#include "akai/PartitionTable.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"

namespace akaiimage {
namespace {

constexpr uint64_t kBlockSize = 8192;
constexpr size_t kVolumeListOffset = 202;
constexpr size_t kVolumeEntrySize = 16;
constexpr size_t kMaxVolumeEntries = (kBlockSize - kVolumeListOffset) / kVolumeEntrySize;
constexpr size_t kDirectoryEntrySize = 24;
constexpr size_t kMaxDirectoryEntries = kBlockSize / kDirectoryEntrySize;
constexpr size_t kMaxTwoBlockEntries = 510;
constexpr size_t kMaxHeaderVolumes = 100;
// Partition header of real media.
constexpr uint32_t kHeaderBlocks = 3;
constexpr size_t kPatternWords = 98;
constexpr size_t kChecksumOffset = 0xC6;
constexpr size_t kFatOffset = 0x070A;
constexpr uint32_t kFatWords = 7680;
constexpr uint16_t kFatSystem = 0x4000;
constexpr uint16_t kFatEndOfS3000Directory = 0x8000;
constexpr uint16_t kFatEndOfFile = 0xC000;
constexpr size_t kTagsOffset = 0x4600;
constexpr uint32_t kCdInfoBlock = 3;
constexpr uint32_t kCdInfoBlocks = 3;
constexpr size_t kCdLabelOffset = 202;
constexpr uint32_t kMaxLength = 0xFFFFFF;
// Relative block numbers are 16 bits; files may reach a little past the last one.
constexpr uint32_t kRelativeBlocks = 0x10000;

using Block = std::vector<uint8_t>;

uint32_t BlocksFor(uint32_t length) { return static_cast<uint32_t>((length + kBlockSize - 1) / kBlockSize); }

void PutWord(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>(value >> 8);
}

RawName NameBytes(const std::string& name, const std::optional<RawName>& rawName) {
  return rawName ? *rawName : EncodeAkaiName(name);
}

uint32_t LengthOf(const FileEntry& file) {
  const uint64_t length = file.length.value_or(file.data.size());
  if (length > kMaxLength) throw BuildError("file '" + file.name + "' is longer than 24 bits can say");
  const uint64_t blocks = file.blocks.empty() ? BlocksFor(static_cast<uint32_t>(length)) : file.blocks.size();
  if (file.data.size() > blocks * kBlockSize) {
    throw BuildError("file '" + file.name + "' has more data than its blocks hold");
  }
  return static_cast<uint32_t>(length);
}

// Hands out the free blocks of one partition in order, around explicit placements.
class BlockAllocator {
 public:
  BlockAllocator(uint16_t firstFree, uint16_t sizeBlocks)
      : used_(kRelativeBlocks + BlocksFor(kMaxLength), false), next_(firstFree), size_(sizeBlocks) {}

  void Claim(uint32_t first, uint32_t count) {
    for (uint32_t b = first; b < first + count && b < used_.size(); ++b) used_[b] = true;
  }

  uint16_t Allocate(uint32_t count, const std::string& what) {
    while (true) {
      if (next_ + count > size_) {
        throw BuildError("partition too small for " + what);
      }
      const auto first = used_.begin() + next_;
      const auto clash = std::find(first, first + count, true);
      if (clash == first + count) break;
      next_ = static_cast<uint32_t>(clash - used_.begin()) + 1;
    }
    const uint16_t start = static_cast<uint16_t>(next_);
    Claim(next_, count);
    next_ += count;
    return start;
  }

 private:
  std::vector<bool> used_;
  uint32_t next_;
  uint32_t size_;
};

// The blocks of the image that hold data, by absolute block number.
class BlockMap {
 public:
  uint8_t* At(uint64_t block) {
    Block& data = blocks_[block];
    if (data.empty()) data.assign(kBlockSize, 0);
    return data.data();
  }
  void Put(uint64_t block, const uint8_t* bytes, size_t count) { std::memcpy(At(block), bytes, count); }
  const std::map<uint64_t, Block>& blocks() const { return blocks_; }
  uint64_t End() const { return blocks_.empty() ? 0 : blocks_.rbegin()->first + 1; }

 private:
  std::map<uint64_t, Block> blocks_;
};

void WriteSignature(const DiscDescription& disc, BlockMap& image) {
  if (!disc.writeSignature) return;
  std::array<uint8_t, kAkaiSignatureLength> bytes = AkaiSignatureBytes();
  const int damaged = std::clamp(disc.damagedSignatureBytes, 0, static_cast<int>(kAkaiSignatureLength));
  for (int i = 0; i < damaged; ++i) bytes[i] = static_cast<uint8_t>(~bytes[i]);
  std::memcpy(image.At(0) + kAkaiSignatureOffset, bytes.data(), bytes.size());
}

void WritePartitionTable(const DiscDescription& disc, BlockMap& image) {
  uint8_t* table = image.At(2) + kPartitionTableOffset;
  const size_t count = std::min<size_t>(disc.partitions.size(), 255);
  table[0] = disc.partitionCountByte.value_or(static_cast<uint8_t>(count));
  for (size_t i = 0; i < count; ++i) PutWord(table + 2 + 2 * i, disc.partitions[i].sizeBlocks);
}

// What laying out one partition needs: where it starts, its allocator, the image, and
// whether it carries a real header (with a FAT).
struct PartitionWriter {
  uint64_t start;
  BlockAllocator& allocator;
  BlockMap& image;
  bool realHeader;

  // Bytes `offset` onward of the partition, which may run into the following blocks.
  void PutBytes(uint64_t offset, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) image.At(start + (offset + i) / kBlockSize)[(offset + i) % kBlockSize] = bytes[i];
  }
  void PutFat(uint32_t block, uint16_t value) {
    if (!realHeader || block >= kFatWords) return;
    uint8_t word[2];
    PutWord(word, value);
    PutBytes(kFatOffset + 2 * block, word, 2);
  }
  void PutChain(const std::vector<uint32_t>& blocks, uint16_t end) {
    for (size_t i = 0; i < blocks.size(); ++i) {
      PutFat(blocks[i], i + 1 < blocks.size() ? static_cast<uint16_t>(blocks[i + 1]) : end);
    }
  }
};

// The file's blocks allocated together, chained as `fragments` runs in reverse order.
std::vector<uint32_t> Fragmented(uint32_t start, uint32_t count, uint32_t fragments) {
  fragments = std::clamp<uint32_t>(fragments, 1, std::max<uint32_t>(count, 1));
  std::vector<uint32_t> blocks;
  for (uint32_t piece = fragments; piece-- > 0;) {
    const uint32_t first = count * piece / fragments;
    const uint32_t end = count * (piece + 1) / fragments;
    for (uint32_t b = first; b < end; ++b) blocks.push_back(start + b);
  }
  return blocks;
}

// The blocks a file's data goes to, relative to the partition.
std::vector<uint32_t> DataBlocks(const FileEntry& file, uint16_t start, uint32_t length) {
  if (!file.blocks.empty()) return {file.blocks.begin(), file.blocks.end()};
  return Fragmented(start, BlocksFor(length), file.fragments);
}

// Marks every explicitly placed block of a partition before anything is allocated.
void ClaimExplicitBlocks(const PartitionEntry& partition, BlockAllocator& allocator) {
  for (const VolumeEntry& volume : partition.volumes) {
    if (volume.dirBlock) allocator.Claim(*volume.dirBlock, 1);
    if (volume.secondDirBlock) allocator.Claim(*volume.secondDirBlock, 1);
    for (const FileEntry& file : volume.files) {
      for (uint16_t block : file.blocks) allocator.Claim(block, 1);
      if (file.startBlock && file.blocks.empty()) allocator.Claim(*file.startBlock, BlocksFor(LengthOf(file)));
    }
  }
}

FileLayout LayOutFile(const FileEntry& file, PartitionWriter& partition, uint8_t* entry) {
  FileLayout layout;
  layout.length = LengthOf(file);
  std::vector<uint32_t> blocks;
  if (file.startBlock || !file.blocks.empty()) {
    layout.startBlock = file.startBlock.value_or(file.blocks.empty() ? 0 : file.blocks.front());
    blocks = DataBlocks(file, layout.startBlock, layout.length);
  } else {
    const uint16_t first = partition.allocator.Allocate(BlocksFor(layout.length), "file '" + file.name + "'");
    blocks = DataBlocks(file, first, layout.length);
    layout.startBlock = blocks.empty() ? first : static_cast<uint16_t>(blocks.front());
  }
  const RawName name = NameBytes(file.name, file.rawName);
  std::memcpy(entry, name.data(), name.size());
  entry[16] = static_cast<uint8_t>(file.s3000Form ? file.type ^ 0x80 : file.type);
  entry[17] = static_cast<uint8_t>(layout.length & 0xFF);
  entry[18] = static_cast<uint8_t>((layout.length >> 8) & 0xFF);
  entry[19] = static_cast<uint8_t>(layout.length >> 16);
  PutWord(entry + 20, layout.startBlock);
  PutWord(entry + 22, file.inUseWord);

  size_t offset = 0;
  for (uint32_t block : blocks) {
    layout.absoluteBlocks.push_back(partition.start + block);
    if (offset < file.data.size()) {
      partition.image.Put(partition.start + block, file.data.data() + offset,
                          std::min<size_t>(kBlockSize, file.data.size() - offset));
    }
    offset += kBlockSize;
  }
  partition.PutChain(blocks, kFatEndOfFile);
  return layout;
}

VolumeLayout LayOutVolume(const VolumeEntry& volume, PartitionWriter& partition, uint8_t* listEntry) {
  const bool twoBlocks = volume.directoryBlocks == 2;
  if (volume.files.size() > (twoBlocks ? kMaxTwoBlockEntries : kMaxDirectoryEntries)) {
    throw BuildError("volume '" + volume.name + "' has more files than its directory holds");
  }
  VolumeLayout layout;
  const std::string what = "volume '" + volume.name + "'";
  layout.dirBlock = volume.dirBlock ? *volume.dirBlock : partition.allocator.Allocate(1, what);
  if (twoBlocks) layout.secondDirBlock = volume.secondDirBlock ? *volume.secondDirBlock : partition.allocator.Allocate(1, what);
  const RawName name = NameBytes(volume.name, volume.rawName);
  std::memcpy(listEntry, name.data(), name.size());
  PutWord(listEntry + 12, volume.type);
  PutWord(listEntry + 14, layout.dirBlock);

  // An S1000 directory ends with the system mark, an S3000 one with its own.
  const bool s1000 = (volume.type & 0xFF) == 1 && !twoBlocks;
  std::vector<uint32_t> dirBlocks{layout.dirBlock};
  if (layout.secondDirBlock) dirBlocks.push_back(*layout.secondDirBlock);
  partition.PutChain(dirBlocks, s1000 ? kFatSystem : kFatEndOfS3000Directory);

  // An empty directory is still a block (or two) of its own.
  for (uint32_t block : dirBlocks) partition.image.At(partition.start + block);
  for (size_t i = 0; i < volume.files.size(); ++i) {
    uint8_t entry[kDirectoryEntrySize] = {};
    layout.files.push_back(LayOutFile(volume.files[i], partition, entry));
    // The entry goes in after the file's data, in case the data shares the block. The
    // entries form one array over both blocks; one of them straddles the two.
    for (size_t k = 0; k < kDirectoryEntrySize; ++k) {
      const size_t at = i * kDirectoryEntrySize + k;
      partition.image.At(partition.start + dirBlocks[at / kBlockSize])[at % kBlockSize] = entry[k];
    }
  }
  return layout;
}

// Size word, header pattern and checksum, the header's own blocks in the FAT, and the
// CD-ROM information.
void WriteRealHeader(const PartitionEntry& entry, PartitionWriter& partition) {
  uint8_t word[2];
  PutWord(word, entry.sizeBlocks);
  partition.PutBytes(0, word, 2);
  uint32_t checksum = entry.sizeBlocks;
  for (size_t i = 0; i < kPatternWords; ++i) {
    const auto value = static_cast<uint16_t>(i * 3333);
    PutWord(word, value);
    partition.PutBytes(2 + 2 * i, word, 2);
    checksum += value;
  }
  const uint8_t sum[4] = {static_cast<uint8_t>(checksum), static_cast<uint8_t>(checksum >> 8),
                          static_cast<uint8_t>(checksum >> 16), static_cast<uint8_t>(checksum >> 24)};
  partition.PutBytes(kChecksumOffset, sum, 4);
  for (uint32_t b = 0; b < kHeaderBlocks; ++b) partition.PutFat(b, kFatSystem);
}

void WriteCdInformation(const PartitionEntry& entry, PartitionWriter& partition) {
  if (!entry.cdLabel) return;
  partition.PutBytes(kTagsOffset, reinterpret_cast<const uint8_t*>("TAGS"), 4);
  uint16_t files = 0;
  for (const VolumeEntry& volume : entry.volumes) files = static_cast<uint16_t>(files + volume.files.size());
  uint8_t word[2];
  PutWord(word, files);
  partition.PutBytes(kCdInfoBlock * kBlockSize, word, 2);
  const RawName label = EncodeAkaiName(*entry.cdLabel);
  partition.PutBytes(kCdInfoBlock * kBlockSize + kCdLabelOffset, label.data(), label.size());
  for (uint32_t b = kCdInfoBlock; b < kCdInfoBlock + kCdInfoBlocks; ++b) partition.PutFat(b, kFatSystem);
}

PartitionLayout LayOutPartition(const PartitionEntry& partition, uint64_t start, bool first, bool realHeaders,
                                BlockMap& image) {
  if (partition.volumes.size() > (realHeaders ? kMaxHeaderVolumes : kMaxVolumeEntries)) {
    throw BuildError("a partition has more volumes than its volume list holds");
  }
  PartitionLayout layout;
  layout.absoluteStart = start;
  // Blocks 1 and 2 of the first partition belong to the disc header and partition
  // table; a real header takes three blocks in every partition, CD-ROM information three more.
  uint16_t reserved = realHeaders || first ? kHeaderBlocks : 1;
  if (partition.cdLabel) reserved = kCdInfoBlock + kCdInfoBlocks;
  BlockAllocator allocator(reserved, partition.sizeBlocks);
  allocator.Claim(0, reserved);
  ClaimExplicitBlocks(partition, allocator);
  PartitionWriter writer{start, allocator, image, realHeaders};
  image.At(start);  // the volume list block, even when it lists nothing
  if (realHeaders) WriteRealHeader(partition, writer);
  WriteCdInformation(partition, writer);
  for (size_t v = 0; v < partition.volumes.size(); ++v) {
    uint8_t listEntry[kVolumeEntrySize] = {};
    layout.volumes.push_back(LayOutVolume(partition.volumes[v], writer, listEntry));
    std::memcpy(image.At(start) + kVolumeListOffset + v * kVolumeEntrySize, listEntry, sizeof listEntry);
  }
  return layout;
}

class OutputFile {
 public:
  explicit OutputFile(const std::filesystem::path& path)
      : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {
    if (fd_ < 0) Fail("cannot create " + path.string());
  }
  ~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Resize(uint64_t bytes) {
    if (::ftruncate(fd_, static_cast<off_t>(bytes)) != 0) Fail("cannot size the image");
  }
  void Write(uint64_t offset, const uint8_t* bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
      const ssize_t wrote = ::pwrite(fd_, bytes + done, count - done, static_cast<off_t>(offset + done));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) Fail("cannot write the image");
      done += static_cast<size_t>(wrote);
    }
  }
  void Close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail("cannot write the image");
  }

 private:
  [[noreturn]] static void Fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
  }
  int fd_;
};

// Writes only the blocks that hold data; the rest of the image stays a hole.
void WriteSparse(const BlockMap& image, uint64_t imageBytes, const std::filesystem::path& path) {
  OutputFile file(path);
  file.Resize(imageBytes);
  for (const auto& [block, data] : image.blocks()) {
    const uint64_t offset = block * kBlockSize;
    if (offset >= imageBytes) break;
    file.Write(offset, data.data(), static_cast<size_t>(std::min<uint64_t>(kBlockSize, imageBytes - offset)));
  }
  file.Close();
}

}  // namespace

ImageLayout WriteImage(const DiscDescription& disc, const std::filesystem::path& path) {
  BlockMap image;
  WritePartitionTable(disc, image);
  ImageLayout layout;
  uint64_t start = 0;
  for (size_t p = 0; p < disc.partitions.size(); ++p) {
    layout.partitions.push_back(LayOutPartition(disc.partitions[p], start, p == 0, disc.realHeaders, image));
    start += disc.partitions[p].sizeBlocks;
  }
  // After the partitions: a real header's pattern holds the signature, which may be
  // asked for damaged.
  WriteSignature(disc, image);
  layout.imageBytes = disc.imageBytes.value_or(std::max(start, image.End()) * kBlockSize);
  WriteSparse(image, layout.imageBytes, path);
  return layout;
}

}  // namespace akaiimage
