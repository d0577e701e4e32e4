#pragma once
// The base of Carvox's exceptions that carry an integer code: the AKAI reader's, the
// block device's, the sound output's and the chained list's. A caller that only reports
// a failure catches CodedError (or std::exception) and shows what(), the code's meaning
// in English; a caller that acts on the code catches the derived type.

#include <cstdint>
#include <exception>

class CodedError : public std::exception {
 public:
  // `reason` is static text, so that copying the exception never allocates or throws.
  CodedError(int32_t code, const char* reason) noexcept : code(code), reason_(reason) {}
  const char* what() const noexcept override { return reason_; }

  int32_t code;

 private:
  const char* reason_;
};
