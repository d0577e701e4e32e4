#include "installer/InstallLog.h"

#include <cstdio>

#include "installer/Messages.h"
#include "platform/machine/FileServices.h"

namespace installer {
namespace {

std::string FileLine(const char* prefix, const std::string& directory, const std::string& name,
                     bool component) {
  std::string line = prefix + directory + "," + name;
  if (component) line += std::string(",") + kComponentFlag;
  return line;
}

bool WriteLines(std::FILE* file, const InstallLog& log) {
  for (int i = log.Count() - 1; i >= 0; --i) {
    const std::string& line = log.Line(i);
    if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) return false;
    if (std::fputc('\n', file) == EOF) return false;
  }
  return std::fflush(file) == 0;
}

// The text after `from` up to the next comma or the end; `from` moves past that comma,
// or to npos at the end.
std::string NextField(const std::string& line, size_t& from) {
  if (from == std::string::npos) return {};
  const size_t comma = line.find(',', from);
  std::string field = line.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
  from = comma == std::string::npos ? std::string::npos : comma + 1;
  return field;
}

struct Prefix {
  const char* text;
  LogLineKind kind;
  int fields;
};

// Tested in this order.
constexpr Prefix kPrefixes[] = {
    {"REGFILE ", LogLineKind::RegFile, 0},     {"INSTAPPFILE ", LogLineKind::AppFile, 3},
    {"INSTSYSFILE ", LogLineKind::SysFile, 3}, {"NEWKEY ", LogLineKind::NewKey, 2},
    {"NEWDIR ", LogLineKind::NewDir, 1},
};

}  // namespace

InstallLog& TheInstallLog() {
  static InstallLog log;
  return log;
}

void LogNewKey(const std::string& root, const std::string& subkey) {
  TheInstallLog().Append("NEWKEY " + root + "," + subkey);
}

void LogNewDir(const std::string& path) { TheInstallLog().Append("NEWDIR " + path); }

void LogAppFile(const std::string& directory, const std::string& name, bool component) {
  TheInstallLog().Append(FileLine("INSTAPPFILE ", directory, name, component));
}

void LogSysFile(const std::string& directory, const std::string& name, bool component) {
  TheInstallLog().Append(FileLine("INSTSYSFILE ", directory, name, component));
}

bool WriteInstallLog(const std::string& path) {
  std::FILE* file = platform::OpenFile(path, "w+");
  if (file == nullptr) {
    ShowError("Could not write File.");
    return false;
  }
  const bool written = WriteLines(file, TheInstallLog());
  if (std::fclose(file) == 0 && written) return true;
  platform::DeleteFileA(path.c_str());
  ShowError("Could not write File.");
  return false;
}

LogLine SplitLogLine(const std::string& line) {
  LogLine result;
  for (const Prefix& prefix : kPrefixes) {
    if (line.rfind(prefix.text, 0) != 0) continue;
    result.kind = prefix.kind;
    size_t from = std::string(prefix.text).size();
    if (prefix.fields >= 1) result.first = NextField(line, from);
    if (prefix.fields >= 2) result.second = NextField(line, from);
    if (prefix.fields >= 3) result.third = NextField(line, from);
    return result;
  }
  return result;
}

bool ReadInstallLog(const std::string& path, std::vector<std::string>& lines) {
  return platform::ReadTextLines(path, lines);
}

}  // namespace installer
