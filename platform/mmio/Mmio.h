#pragma once
// RIFF file I/O in the shape of the multimedia file functions: open a file, create,
// descend into and ascend out of chunks (ascend fixes the size and pad byte of a chunk
// that was written), read, write, seek, close. Paths are host paths.
//
// Every operation reports failure: a handle that once failed to write or seek stays
// failed, so a full disk shows up at the next write, ascend or close at the latest.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/machine/WinTypes.h"

namespace platform {

using FOURCC = DWORD;
using MMRESULT = UINT;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
  return static_cast<FOURCC>(static_cast<BYTE>(a)) | (static_cast<FOURCC>(static_cast<BYTE>(b)) << 8) |
         (static_cast<FOURCC>(static_cast<BYTE>(c)) << 16) | (static_cast<FOURCC>(static_cast<BYTE>(d)) << 24);
}

inline constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
inline constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');

// mmioOpen flags. Access: READ or WRITE (read-write access is refused). CREATE makes a new
// empty file (an existing one is truncated). The share flags (EXCLUSIVE, DENY*) and
// ALLOCBUF are accepted; I/O is always buffered and files are not locked.
inline constexpr DWORD MMIO_READ = 0x0;
inline constexpr DWORD MMIO_WRITE = 0x1;
inline constexpr DWORD MMIO_EXCLUSIVE = 0x10;
inline constexpr DWORD MMIO_DENYWRITE = 0x20;
inline constexpr DWORD MMIO_DENYREAD = 0x30;
inline constexpr DWORD MMIO_DENYNONE = 0x40;
inline constexpr DWORD MMIO_CREATE = 0x1000;
inline constexpr DWORD MMIO_ALLOCBUF = 0x10000;

// mmioDescend flags: FINDCHUNK looks for ckid, FINDRIFF / FINDLIST for a RIFF / LIST
// chunk of form fccType. Without a flag the next chunk is entered, whatever it is.
inline constexpr UINT MMIO_FINDCHUNK = 0x10;
inline constexpr UINT MMIO_FINDRIFF = 0x20;
inline constexpr UINT MMIO_FINDLIST = 0x40;
// mmioCreateChunk flags: the chunk is a RIFF / LIST chunk with form fccType.
inline constexpr UINT MMIO_CREATERIFF = 0x20;
inline constexpr UINT MMIO_CREATELIST = 0x40;
// MMCKINFO::dwFlags: the chunk was created here; ascend writes its size.
inline constexpr DWORD MMIO_DIRTY = 0x10000000;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMIOERR_CANNOTCLOSE = 260;
inline constexpr MMRESULT MMIOERR_CANNOTREAD = 261;
inline constexpr MMRESULT MMIOERR_CANNOTWRITE = 262;
inline constexpr MMRESULT MMIOERR_CANNOTSEEK = 263;
inline constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = 265;

struct MMCKINFO {
  FOURCC ckid = 0;
  DWORD cksize = 0;        // size of the chunk's data (with the form type of RIFF/LIST)
  FOURCC fccType = 0;      // form type of RIFF and LIST chunks
  DWORD dwDataOffset = 0;  // file offset of the chunk's data (just after ckid and cksize)
  DWORD dwFlags = 0;
};

struct MmioFile;
using HMMIO = MmioFile*;

// Opens `path`; null on failure (missing file, missing folder, no permission...).
HMMIO mmioOpen(const std::filesystem::path& path, DWORD flags);

// Closes the file. Buffered data is written first; MMIOERR_CANNOTWRITE when that, or
// any earlier write, failed; MMIOERR_CANNOTCLOSE when closing failed. A null handle
// gives MMSYSERR_INVALHANDLE. The handle is gone afterwards in every case.
MMRESULT mmioClose(HMMIO file, UINT flags);

// Reads up to `count` bytes; the number read (0 at the end of the file), -1 on error.
LONG mmioRead(HMMIO file, char* buffer, LONG count);
// Writes `count` bytes; `count`, or -1 on error.
LONG mmioWrite(HMMIO file, const char* buffer, LONG count);
// Writes `count` bytes taken from the open file `from` at `offset`, copied file to file
// (CopyFileBytes); `count`, or -1 on error, also when `from` ends first.
LONG mmioWriteFromFile(HMMIO file, int from, uint64_t offset, LONG count);
// The open file's descriptor, for copies at chunk offsets (CopyFileBytes); -1 for a
// null handle. Copies at explicit offsets leave the handle's position alone.
int mmioDescriptor(HMMIO file);
// Moves to `offset` from SEEK_SET, SEEK_CUR or SEEK_END; the new position, or -1.
LONG mmioSeek(HMMIO file, LONG offset, int origin);

// Writes a chunk header at the current position: ckid (RIFF or LIST with the
// CREATERIFF / CREATELIST flags) and cksize as given in `chunk` (0 is fine, ascend
// fixes it), and for RIFF/LIST the form type fccType. Fills dwDataOffset and marks
// the chunk dirty.
MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, UINT flags);

// Reads chunk headers from the current position until one matches (see the FIND
// flags) and leaves the position at its data (after the form type for RIFF/LIST).
// With `parent`, the search stops at the parent's end. MMIOERR_CHUNKNOTFOUND when the
// parent or the file ends first.
MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags);

// Leaves `chunk`: for a dirty chunk writes its real size (current position minus
// dwDataOffset) into its header, and a pad byte when the size is odd; then positions
// after the chunk (and its pad byte).
MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags);

// Closes a handle when it goes out of scope (ignoring the result: use mmioClose on
// the released handle where the result matters).
struct MmioCloser {
  void operator()(HMMIO file) const { mmioClose(file, 0); }
};
using UniqueMmio = std::unique_ptr<MmioFile, MmioCloser>;

}  // namespace platform
