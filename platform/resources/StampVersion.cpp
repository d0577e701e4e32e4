// carvox-stampversion: gives a built file its version record (the build runs it after
// linking each program and library), or makes a small file of ours with one.
//   carvox-stampversion FILE A.B.C.D TYPE           append or replace the record
//   carvox-stampversion --create FILE TEXT A.B.C.D TYPE
// TYPE is app, dll or drv.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/resources/Version.h"

namespace {

using platform::VS_FIXEDFILEINFO;

bool ParseVersion(const std::string& text, const std::string& type, VS_FIXEDFILEINFO& record) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  char end = 0;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &end) != 4) return false;
  if (a > 0xFFFF || b > 0xFFFF || c > 0xFFFF || d > 0xFFFF) return false;
  const platform::DWORD fileType = type == "app" ? platform::VFT_APP
                                   : type == "dll" ? platform::VFT_DLL
                                   : type == "drv" ? platform::VFT_DRV
                                                   : 0;
  if (fileType == 0) return false;
  record = platform::MakeVersionRecord(a, b, c, d, fileType);
  return true;
}

int Write(const std::string& path, std::string bytes, const VS_FIXEDFILEINFO& record) {
  if (platform::VersionRecordOf(bytes)) bytes.resize(bytes.size() - sizeof record);
  bytes.append(reinterpret_cast<const char*>(&record), sizeof record);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::cerr << "carvox-stampversion: cannot write " << path << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  VS_FIXEDFILEINFO record{};
  if (argc == 6 && std::strcmp(argv[1], "--create") == 0 && ParseVersion(argv[4], argv[5], record)) {
    return Write(argv[2], std::string(argv[3]) + "\r\n", record);
  }
  if (argc == 4 && ParseVersion(argv[2], argv[3], record)) {
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (!in) {
      std::cerr << "carvox-stampversion: cannot read " << argv[1] << "\n";
      return 1;
    }
    return Write(argv[1], bytes.str(), record);
  }
  std::cerr << "usage: carvox-stampversion FILE A.B.C.D app|dll|drv\n"
               "       carvox-stampversion --create FILE TEXT A.B.C.D app|dll|drv\n";
  return 2;
}
