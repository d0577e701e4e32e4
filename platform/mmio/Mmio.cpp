#include "platform/mmio/Mmio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <climits>
#include <cstdint>

#include "platform/mmio/FileCopy.h"

namespace platform {

// Chunk headers are little-endian; they are written and read as native words.
static_assert(std::endian::native == std::endian::little, "RIFF I/O assumes a little-endian host");

struct MmioFile {
  FILE* stream = nullptr;
  bool writable = false;
  // Set by the first failed write or flush; every later write, ascend and the close
  // report failure, so a full disk cannot go unnoticed.
  bool writeFailed = false;
};

namespace {

int OpenFlags(DWORD flags) {
  // A file is either read or written: mixing both on one stream would need a seek at
  // every change of direction, and nothing here reads and writes the same file.
  const DWORD access = flags & 0x3;
  if (access > MMIO_WRITE || (access == MMIO_READ && (flags & MMIO_CREATE))) return -1;
  int result = access == MMIO_READ ? O_RDONLY : O_WRONLY;
  if (flags & MMIO_CREATE) result |= O_CREAT | O_TRUNC;
  return result | O_CLOEXEC;
}

const char* StreamMode(DWORD flags) {
  return (flags & 0x3) == MMIO_READ ? "rb" : "wb";
}

off_t Tell(HMMIO file) { return ftello(file->stream); }

// Seeks to an absolute offset; on a writable file a failed seek (which flushes the
// buffer) counts as a failed write.
bool SeekTo(HMMIO file, int64_t offset) {
  if (offset < 0 || fseeko(file->stream, static_cast<off_t>(offset), SEEK_SET) != 0) {
    if (file->writable) file->writeFailed = true;
    return false;
  }
  return true;
}

bool WriteBytes(HMMIO file, const void* bytes, size_t count) {
  if (!file->writable || file->writeFailed) return false;
  if (fwrite(bytes, 1, count, file->stream) != count) {
    file->writeFailed = true;
    return false;
  }
  return true;
}

bool WriteWord(HMMIO file, DWORD word) { return WriteBytes(file, &word, sizeof word); }

// Reads exactly one word; false at the end of the file or on error.
bool ReadWord(HMMIO file, DWORD& word) { return fread(&word, 1, sizeof word, file->stream) == sizeof word; }

bool IsGroup(FOURCC id) { return id == FOURCC_RIFF || id == FOURCC_LIST; }

bool Matches(const MMCKINFO& found, FOURCC wantedId, FOURCC wantedType, UINT flags) {
  if (flags & MMIO_FINDCHUNK) return found.ckid == wantedId;
  if (flags & MMIO_FINDRIFF) return found.ckid == FOURCC_RIFF && found.fccType == wantedType;
  if (flags & MMIO_FINDLIST) return found.ckid == FOURCC_LIST && found.fccType == wantedType;
  return true;
}

int64_t PaddedEnd(const MMCKINFO& chunk) {
  return int64_t{chunk.dwDataOffset} + chunk.cksize + (chunk.cksize & 1);
}

}  // namespace

HMMIO mmioOpen(const std::filesystem::path& path, DWORD flags) {
  const int openFlags = OpenFlags(flags);
  if (openFlags < 0) return nullptr;
  const int fd = ::open(path.c_str(), openFlags, 0666);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  FILE* stream = fdopen(fd, StreamMode(flags));
  if (stream == nullptr) {
    ::close(fd);
    return nullptr;
  }
  return new MmioFile{stream, (flags & 0x3) != MMIO_READ, false};
}

MMRESULT mmioClose(HMMIO file, UINT /*flags*/) {
  if (file == nullptr) return MMSYSERR_INVALHANDLE;
  const bool flushed = !file->writable || fflush(file->stream) == 0;
  const bool closed = fclose(file->stream) == 0;
  const bool writeFailed = file->writeFailed || !flushed;
  delete file;
  if (writeFailed) return MMIOERR_CANNOTWRITE;
  return closed ? MMSYSERR_NOERROR : MMIOERR_CANNOTCLOSE;
}

LONG mmioRead(HMMIO file, char* buffer, LONG count) {
  if (file == nullptr || count < 0) return -1;
  const size_t read = fread(buffer, 1, static_cast<size_t>(count), file->stream);
  if (read < static_cast<size_t>(count) && ferror(file->stream)) return -1;
  return static_cast<LONG>(read);
}

LONG mmioWrite(HMMIO file, const char* buffer, LONG count) {
  if (file == nullptr || count < 0) return -1;
  return WriteBytes(file, buffer, static_cast<size_t>(count)) ? count : -1;
}

LONG mmioWriteFromFile(HMMIO file, int from, uint64_t offset, LONG count) {
  if (file == nullptr || count < 0 || !file->writable || file->writeFailed) return -1;
  // The stream's buffered bytes go first; the copy lands where they end, and the
  // stream goes on after it.
  const off_t position = fflush(file->stream) == 0 ? Tell(file) : -1;
  if (position < 0 || !CopyFileBytes(from, offset, fileno(file->stream), static_cast<uint64_t>(position),
                                     static_cast<uint64_t>(count))) {
    file->writeFailed = true;
    return -1;
  }
  return SeekTo(file, position + count) ? count : -1;
}

int mmioDescriptor(HMMIO file) { return file == nullptr ? -1 : fileno(file->stream); }

LONG mmioSeek(HMMIO file, LONG offset, int origin) {
  if (file == nullptr) return -1;
  if (fseeko(file->stream, offset, origin) != 0) {
    if (file->writable) file->writeFailed = true;
    return -1;
  }
  const off_t position = Tell(file);
  return position < 0 || position > LONG_MAX ? -1 : static_cast<LONG>(position);
}

MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, UINT flags) {
  if (file == nullptr || chunk == nullptr) return MMSYSERR_INVALHANDLE;
  const off_t position = Tell(file);
  if (position < 0 || position + 12 > off_t{UINT32_MAX}) return MMIOERR_CANNOTSEEK;
  if (flags & MMIO_CREATERIFF) chunk->ckid = FOURCC_RIFF;
  if (flags & MMIO_CREATELIST) chunk->ckid = FOURCC_LIST;
  if (!WriteWord(file, chunk->ckid) || !WriteWord(file, chunk->cksize)) return MMIOERR_CANNOTWRITE;
  if (IsGroup(chunk->ckid) && !WriteWord(file, chunk->fccType)) return MMIOERR_CANNOTWRITE;
  chunk->dwDataOffset = static_cast<DWORD>(position + 8);
  chunk->dwFlags = MMIO_DIRTY;
  return MMSYSERR_NOERROR;
}

MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags) {
  if (file == nullptr || chunk == nullptr) return MMSYSERR_INVALHANDLE;
  const FOURCC wantedId = chunk->ckid;
  const FOURCC wantedType = chunk->fccType;
  const int64_t limit = parent != nullptr ? int64_t{parent->dwDataOffset} + parent->cksize : INT64_MAX;
  for (;;) {
    const off_t position = Tell(file);
    if (position < 0) return MMIOERR_CANNOTSEEK;
    if (position + 8 > limit || position + 8 > off_t{UINT32_MAX}) return MMIOERR_CHUNKNOTFOUND;
    MMCKINFO found;
    if (!ReadWord(file, found.ckid) || !ReadWord(file, found.cksize)) return MMIOERR_CHUNKNOTFOUND;
    found.dwDataOffset = static_cast<DWORD>(position + 8);
    if (IsGroup(found.ckid) && !ReadWord(file, found.fccType)) return MMIOERR_CHUNKNOTFOUND;
    if (Matches(found, wantedId, wantedType, flags)) {
      *chunk = found;
      return MMSYSERR_NOERROR;
    }
    if (!SeekTo(file, PaddedEnd(found))) return MMIOERR_CANNOTSEEK;
  }
}

MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT /*flags*/) {
  if (file == nullptr || chunk == nullptr) return MMSYSERR_INVALHANDLE;
  if ((chunk->dwFlags & MMIO_DIRTY) == 0) {
    return SeekTo(file, PaddedEnd(*chunk)) ? MMSYSERR_NOERROR : MMIOERR_CANNOTSEEK;
  }
  const off_t end = Tell(file);
  if (end < off_t{chunk->dwDataOffset} || end - chunk->dwDataOffset > off_t{UINT32_MAX}) {
    return MMIOERR_CANNOTSEEK;
  }
  const DWORD size = static_cast<DWORD>(end - chunk->dwDataOffset);
  if (size != chunk->cksize) {
    if (!SeekTo(file, int64_t{chunk->dwDataOffset} - 4) || !WriteWord(file, size) || !SeekTo(file, end)) {
      return MMIOERR_CANNOTWRITE;
    }
    chunk->cksize = size;
  }
  if ((size & 1) != 0) {
    const char pad = 0;
    if (!WriteBytes(file, &pad, 1)) return MMIOERR_CANNOTWRITE;
  }
  chunk->dwFlags &= ~MMIO_DIRTY;
  // A failure buffered so far must show here, not only at the close.
  if (fflush(file->stream) != 0) file->writeFailed = true;
  return file->writeFailed ? MMIOERR_CANNOTWRITE : MMSYSERR_NOERROR;
}

}  // namespace platform
