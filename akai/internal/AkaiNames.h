#pragma once
#include <cstdint>

// Converts `length` AKAI characters in place to ASCII. Returns false when a byte is
// outside 0..40 (such bytes are left unchanged, the rest are still converted). With
// `trim`, trailing spaces are cut by a NUL, so the buffer must hold length + 1 bytes.
bool AkaiToAscii(uint8_t* bytes, int length, bool trim);

// Recognises a directory entry's type byte: one of "aobcydpsqtx" (S1000 form), or such
// a letter with bit 7 inverted (S3000 form; the byte is rewritten to the plain letter).
// Returns false when the entry is not a file.
bool ClassifyFileType(uint8_t& typeByte, bool& isS3000Form);

// Copies a 12-byte AKAI name from disc into a 13-byte record name, converted and
// trimmed; false when the name does not convert.
bool ConvertAkaiName(const uint8_t* onDisc, char (&name)[13]);
