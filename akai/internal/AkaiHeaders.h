#pragma once
// Decoding of sample and program files from plain buffers. AkaiVolumeReader's loads
// use these on the blocks they read; they are free functions so that any buffer can
// be decoded.

#include <cstdint>

#include "akai/AkaiRecords.h"

namespace akaiheaders {

constexpr uint32_t kS1000HeaderSize = 150;         // S1000 samples and programs
constexpr uint32_t kS3000SampleHeaderSize = 180;   // the S1000 fields and 30 more bytes
constexpr uint32_t kS3000PaddedHeaderSize = 192;   // S3000 samples as samplers write them
constexpr uint32_t kS3000ProgramHeaderSize = 192;  // S3000 programs and keygroups
constexpr uint8_t kKeygroupMark = 2;               // first byte of an intact keygroup

// The size of a sample file's header: 150 for an S1000 sample. An S3000 sample has
// 192 bytes when the file's length is exactly 192 + 2 x the header's own word count
// (u32 at offset 26), else 180. `header` holds at least the first 30 bytes.
uint32_t SampleHeaderSize(AkaiFileKind kind, const uint8_t* header, uint32_t fileLength);

// Decodes a sample file's header (and with `withData` its words between the markers)
// into `sample`. `buffer` holds `bufferSize` bytes of the file, whose full length is
// `fileLength` bytes. Throws AKAIException 2 when the header cannot be decoded: a name
// that does not convert, an end marker below the start marker, markers that point past
// the file, or (with data) past the buffer. `sample` may be partly filled then.
void DecodeSample(const uint8_t* buffer, uint32_t bufferSize, uint32_t headerSize,
                  uint32_t fileLength, bool withData, AkaiSample& sample);

// Decodes a program file (header, then one record of `headerSize` bytes per keygroup)
// into `program`, replacing its keygroups. Keygroups are decoded while they fit in
// the buffer; a keygroup that does not start with kKeygroupMark ends the program with
// a warning shown to the user. Throws AKAIException 2 when the name does not convert or
// the file (or the buffer) is shorter than its header.
void DecodeProgram(const uint8_t* buffer, uint32_t bufferSize, uint32_t headerSize,
                   uint32_t fileLength, AkaiProgram& program);

}  // namespace akaiheaders
