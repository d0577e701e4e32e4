#pragma once
// Builds AKAI S1000/S3000 disc images from a description in code, for tests, benchmarks
// and the demo disc. The layout is the on-disc one the reader walks:
//   - sector 0: the disc signature (bytes 8..135), optionally damaged;
//   - block 2, offset 1280: partition count, then one 16-bit size per partition;
//   - byte 202 of each partition's first block: the volume list (16-byte entries);
//   - one directory block per volume (24-byte entries);
//   - file data in 8192-byte blocks.
// Every field is written as given, so faulty discs can be described as easily as good
// ones (raw name bytes, free directory entries, too many volumes or partitions, short
// images, images beyond 65,536 blocks).
//
// With `realHeaders` the partitions carry the 3-block headers of real media: size
// word, header pattern and checksum, and the FAT with the chain of every file and
// directory (files can be stored in fragments, S3000 directories in two blocks), and
// optionally the CD-ROM information with a label.
//
// Usage:
//   akaiimage::DiscDescription disc;
//   disc.partitions.push_back({.sizeBlocks = 100});
//   disc.partitions[0].volumes.push_back({.name = "DRUMS"});
//   disc.partitions[0].volumes[0].files.push_back(
//       {.name = "KICK", .type = 's', .data = sampleBytes});
//   akaiimage::ImageLayout layout = akaiimage::WriteImage(disc, "/tmp/drums.img");
//
// Blocks not given explicitly are allocated in order: per volume its directory block,
// then its files, each file on the next free blocks of its partition (block 0 of every
// partition holds the volume list; blocks 1 and 2 of the first partition are kept for
// the partition table). Explicitly placed blocks are never handed out by the allocator;
// explicit placements themselves are taken as given, even when they overlap or lie
// outside their partition (corrupt discs do that). The image file is written sparse:
// only blocks that hold data are written.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace akaiimage {

// 12 name bytes in the AKAI character set, written exactly as given.
using RawName = std::array<uint8_t, 12>;

struct FileEntry {
  // ASCII name (letters, digits, space, '#', '+', '-', '.'; at most 12), stored in
  // the AKAI character set by EncodeAkaiName.
  std::string name{};
  // When set, written instead of `name` (for names with bytes above 40).
  std::optional<RawName> rawName{};
  // Type letter of "aobcydpsqtx" ('p' program, 's' sample), or any other byte.
  char type = 's';
  // S3000 form: the type byte is written with bit 7 inverted.
  bool s3000Form = false;
  // The file's bytes (e.g. a sample or program header and its data).
  std::vector<uint8_t> data{};
  // The 24-bit length written to the entry; defaults to data.size(). A length larger
  // than the data describes a file whose remaining blocks are left zero.
  std::optional<uint32_t> length{};
  // First block, relative to the partition start; allocated when not given.
  std::optional<uint16_t> startBlock{};
  // Blocks (relative) that hold the data, one per 8192 bytes, for files that are not
  // contiguous (a program read with the skip rule). Overrides startBlock for the data;
  // the entry's start is blocks[0] unless startBlock is given.
  std::vector<uint16_t> blocks{};
  // Word 22 of the entry; 0 marks a free entry (as does the type byte 0).
  uint16_t inUseWord = 1;
  // With realHeaders: the file's blocks are allocated together but chained in this
  // many runs in reverse order, so that only a reader following the FAT reads it right.
  uint32_t fragments = 1;
};

struct VolumeEntry {
  std::string name{};  // as FileEntry::name
  std::optional<RawName> rawName{};
  // Volume type word; 0 ends the volume list at this entry.
  uint16_t type = 1;
  // Directory block, relative to the partition start; allocated when not given.
  std::optional<uint16_t> dirBlock{};
  // At most 341 entries fit in one directory block, 510 in two.
  std::vector<FileEntry> files{};
  // 2: an S3000 directory of two blocks chained in the FAT (with realHeaders).
  uint32_t directoryBlocks = 1;
  // The second directory block (relative); allocated when not given.
  std::optional<uint16_t> secondDirBlock{};
};

struct PartitionEntry {
  uint16_t sizeBlocks = 0;
  // At most 499 entries fit in the volume list area of the first block (100 with
  // realHeaders).
  std::vector<VolumeEntry> volumes{};
  // "TAGS" in the header and CD-ROM information in blocks 3..5 with this label.
  std::optional<std::string> cdLabel{};
};

struct DiscDescription {
  // Written to the table in order; partition i starts at the sum of the sizes before
  // it. More than 63 entries are written in full (with the count byte set to the
  // number, at most 255) and laid out on the disc.
  std::vector<PartitionEntry> partitions{};
  // Overrides the count byte of the partition table.
  std::optional<uint8_t> partitionCountByte{};
  bool writeSignature = true;
  // Number of signature bytes (0..128, from byte 8 on) written inverted.
  int damagedSignatureBytes = 0;
  // Exact image length in bytes; defaults to the end of the last partition. A shorter
  // image cuts everything behind its end (e.g. a partition's first block).
  std::optional<uint64_t> imageBytes{};
  // Partition headers of real media with their FAT (see above).
  bool realHeaders = false;
};

// Where the builder put things, in absolute 32-bit-or-more block numbers as well as
// the 16-bit values written to disc.
struct FileLayout {
  uint16_t startBlock = 0;  // relative, as written to the entry
  uint32_t length = 0;      // as written to the entry
  std::vector<uint64_t> absoluteBlocks{};
};

struct VolumeLayout {
  uint16_t dirBlock = 0;  // relative, as written to the volume list
  std::optional<uint16_t> secondDirBlock{};
  std::vector<FileLayout> files{};
};

struct PartitionLayout {
  uint64_t absoluteStart = 0;  // true position of the partition on the image
  std::vector<VolumeLayout> volumes{};
};

struct ImageLayout {
  std::vector<PartitionLayout> partitions{};
  uint64_t imageBytes = 0;
};

// A description the disc format cannot hold (a file longer than 24 bits, data longer than its blocks, too many entries for a
// block, a partition too small for what the allocator has to place in it).
class BuildError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Lays out `disc` and writes it to `path` (created or replaced). Throws BuildError for
// a description that cannot be laid out, std::invalid_argument for a name that is not
// AKAI text (see EncodeAkaiName), and std::system_error when writing fails.
ImageLayout WriteImage(const DiscDescription& disc, const std::filesystem::path& path);

}  // namespace akaiimage
