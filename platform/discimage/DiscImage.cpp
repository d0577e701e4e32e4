#include "platform/discimage/DiscImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

namespace discimage {
namespace {

// No cue sheet comes near this; a larger ".cue" is not one.
constexpr uint64_t kMaxCueBytes = 1 << 20;

bool IsCueSheet(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return extension == ".cue";
}

bool StartsWithSync(const uint8_t* bytes) { return std::equal(kSyncPattern.begin(), kSyncPattern.end(), bytes); }

}  // namespace

OpenError::OpenError(const std::filesystem::path& file, const std::string& reason)
    : std::runtime_error("cannot open disc image '" + file.string() + "': " + reason), reason_(reason) {}

DiscImageFile::DiscImageFile(const std::filesystem::path& path) {
  if (IsCueSheet(path)) {
    Open(path);
    if (fileBytes_ > kMaxCueBytes) {
      ::close(fd_);
      throw OpenError(path, "it is too large for a cue sheet");
    }
    std::string text(fileBytes_, '\0');
    const bool read = ReadExactly(0, reinterpret_cast<uint8_t*>(text.data()), text.size());
    ::close(fd_);
    fd_ = -1;
    if (!read) throw OpenError(path, "it cannot be read");
    layout_ = ParseCueSheet(text, path.parent_path(), path);
    try {
      Open(layout_.dataFile);
    } catch (const OpenError& e) {
      throw OpenError(path, "the data file '" + layout_.dataFile.string() + "' it names: " + e.reason());
    }
  } else {
    Open(path);
    layout_.dataFile = path;
    uint8_t header[kSubmodeByte + 1] = {};
    if (ReadExactly(0, header, sizeof header) && StartsWithSync(header)) {
      layout_.stride = kRawSectorSize;
      layout_.dataOffset = header[kModeByte] == 1 ? kMode1DataOffset : kMode2DataOffset;
    }
  }
  if (layout_.stride == kRawSectorSize) CheckRawTrack(path);
  const uint64_t trackBytes = fileBytes_ > layout_.firstSector ? fileBytes_ - layout_.firstSector : 0;
  dataBytes_ = layout_.stride == kDataSectorSize ? trackBytes : trackBytes / kRawSectorSize * kDataSectorSize;
}

DiscImageFile::~DiscImageFile() {
  if (fd_ >= 0) ::close(fd_);
}

void DiscImageFile::Open(const std::filesystem::path& file) {
  // Without O_NONBLOCK, opening a pipe would wait for a writer, for ever.
  fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw OpenError(file, std::strerror(errno));
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode) || S_ISFIFO(info.st_mode)) {
    const std::string reason = S_ISDIR(info.st_mode)    ? "it is a folder"
                               : S_ISFIFO(info.st_mode) ? "it is a pipe, not a file"
                                                        : std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    throw OpenError(file, reason);
  }
  fileBytes_ = static_cast<uint64_t>(info.st_size);
}

// The first raw sector of the track must carry the sync pattern and the mode said:
// anything else means the sheet (or the guess) does not describe the file.
void DiscImageFile::CheckRawTrack(const std::filesystem::path& named) {
  uint8_t header[kSubmodeByte + 1] = {};
  std::string problem;
  if (!ReadExactly(layout_.firstSector, header, sizeof header)) {
    problem = "it holds no sector where the track starts";
  } else if (!StartsWithSync(header)) {
    problem = "it holds no raw 2352-byte sector where the track starts";
  } else if (const uint8_t mode = header[kModeByte]; mode != 1 && mode != 2) {
    problem = "its sectors have the unknown mode " + std::to_string(mode);
  } else if ((mode == 1) != (layout_.dataOffset == kMode1DataOffset)) {
    problem = "its sectors are mode " + std::to_string(mode) + ", not the mode the cue sheet gives";
  } else if (mode == 2 && (header[kSubmodeByte] & 0x20) != 0) {
    problem = "its sectors are mode 2 form 2, which hold no 2048-byte data";
  }
  if (problem.empty()) return;
  ::close(fd_);
  fd_ = -1;
  throw OpenError(named, problem);
}

bool DiscImageFile::ReadExactly(uint64_t offset, uint8_t* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd_, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    // End of file before the last byte, or an I/O error: the read fails as a whole,
    // as a drive's read command would.
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

std::optional<uint64_t> DiscImageFile::DataOffsetOf(uint64_t lba, uint32_t count) const {
  if (layout_.stride != kDataSectorSize || (lba + count) * kDataSectorSize > dataBytes_) return std::nullopt;
  return layout_.firstSector + lba * kDataSectorSize;
}

bool DiscImageFile::ReadSectors(uint64_t lba, uint8_t* buffer, uint32_t count) {
  if (layout_.stride == kDataSectorSize) {
    return ReadExactly(layout_.firstSector + lba * kDataSectorSize, buffer, size_t{count} * kDataSectorSize);
  }
  if (lba + count > dataBytes_ / kDataSectorSize) return false;
  // One read of the raw sectors, then their data parts in order.
  std::vector<uint8_t> raw(size_t{count} * kRawSectorSize);
  if (!ReadExactly(layout_.firstSector + lba * kRawSectorSize, raw.data(), raw.size())) return false;
  for (uint32_t i = 0; i < count; ++i) {
    std::memcpy(buffer + size_t{i} * kDataSectorSize, raw.data() + size_t{i} * kRawSectorSize + layout_.dataOffset,
                kDataSectorSize);
  }
  return true;
}

}  // namespace discimage
