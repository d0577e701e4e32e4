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

// The blocks a file's data goes to, relative to the partition.
std::vector<uint32_t> DataBlocks(const FileEntry& file, uint16_t start, uint32_t length) {
  if (!file.blocks.empty()) return {file.blocks.begin(), file.blocks.end()};
  std::vector<uint32_t> blocks;
  for (uint32_t i = 0; i < BlocksFor(length); ++i) blocks.push_back(uint32_t{start} + i);
  return blocks;
}

// Marks every explicitly placed block of a partition before anything is allocated.
void ClaimExplicitBlocks(const PartitionEntry& partition, BlockAllocator& allocator) {
  for (const VolumeEntry& volume : partition.volumes) {
    if (volume.dirBlock) allocator.Claim(*volume.dirBlock, 1);
    for (const FileEntry& file : volume.files) {
      for (uint16_t block : file.blocks) allocator.Claim(block, 1);
      if (file.startBlock && file.blocks.empty()) allocator.Claim(*file.startBlock, BlocksFor(LengthOf(file)));
    }
  }
}

FileLayout LayOutFile(const FileEntry& file, uint64_t partitionStart, BlockAllocator& allocator, uint8_t* entry,
                      BlockMap& image) {
  FileLayout layout;
  layout.length = LengthOf(file);
  if (file.startBlock) {
    layout.startBlock = *file.startBlock;
  } else if (!file.blocks.empty()) {
    layout.startBlock = file.blocks.front();
  } else {
    layout.startBlock = allocator.Allocate(BlocksFor(layout.length), "file '" + file.name + "'");
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
  for (uint32_t block : DataBlocks(file, layout.startBlock, layout.length)) {
    layout.absoluteBlocks.push_back(partitionStart + block);
    if (offset < file.data.size()) {
      image.Put(partitionStart + block, file.data.data() + offset, std::min<size_t>(kBlockSize, file.data.size() - offset));
    }
    offset += kBlockSize;
  }
  return layout;
}

VolumeLayout LayOutVolume(const VolumeEntry& volume, uint64_t partitionStart, BlockAllocator& allocator,
                          uint8_t* listEntry, BlockMap& image) {
  if (volume.files.size() > kMaxDirectoryEntries) {
    throw BuildError("volume '" + volume.name + "' has more files than a directory block holds");
  }
  VolumeLayout layout;
  layout.dirBlock = volume.dirBlock ? *volume.dirBlock : allocator.Allocate(1, "volume '" + volume.name + "'");
  const RawName name = NameBytes(volume.name, volume.rawName);
  std::memcpy(listEntry, name.data(), name.size());
  PutWord(listEntry + 12, volume.type);
  PutWord(listEntry + 14, layout.dirBlock);

  const uint64_t dirBlock = partitionStart + layout.dirBlock;
  image.At(dirBlock);  // an empty directory is still a block of its own
  for (size_t i = 0; i < volume.files.size(); ++i) {
    uint8_t entry[kDirectoryEntrySize] = {};
    layout.files.push_back(LayOutFile(volume.files[i], partitionStart, allocator, entry, image));
    // The entry goes in after the file's data, in case the data shares the block.
    std::memcpy(image.At(dirBlock) + i * kDirectoryEntrySize, entry, sizeof entry);
  }
  return layout;
}

PartitionLayout LayOutPartition(const PartitionEntry& partition, uint64_t start, bool first, BlockMap& image) {
  if (partition.volumes.size() > kMaxVolumeEntries) {
    throw BuildError("a partition has more volumes than its volume list holds");
  }
  PartitionLayout layout;
  layout.absoluteStart = start;
  // Blocks 1 and 2 of the first partition belong to the disc header and partition table.
  BlockAllocator allocator(first ? 3 : 1, partition.sizeBlocks);
  allocator.Claim(0, first ? 3 : 1);
  ClaimExplicitBlocks(partition, allocator);
  image.At(start);  // the volume list block, even when it lists nothing
  for (size_t v = 0; v < partition.volumes.size(); ++v) {
    uint8_t listEntry[kVolumeEntrySize] = {};
    layout.volumes.push_back(LayOutVolume(partition.volumes[v], start, allocator, listEntry, image));
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
  WriteSignature(disc, image);
  WritePartitionTable(disc, image);
  ImageLayout layout;
  uint64_t start = 0;
  for (size_t p = 0; p < disc.partitions.size(); ++p) {
    layout.partitions.push_back(LayOutPartition(disc.partitions[p], start, p == 0, image));
    start += disc.partitions[p].sizeBlocks;
  }
  layout.imageBytes = disc.imageBytes.value_or(std::max(start, image.End()) * kBlockSize);
  WriteSparse(image, layout.imageBytes, path);
  return layout;
}

}  // namespace akaiimage
