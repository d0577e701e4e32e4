#pragma once
// The install log: the one record through which the uninstaller undoes an installation.
// The installer appends a line for each key, directory and file it created, keeps the
// lines in memory and writes them once, newest first, as CR LF text ("_install.log" in
// the application directory). The uninstaller reads the file whole and splits each line
// into its kind and up to three comma-separated fields.

#include <string>
#include <vector>

#include "common/ChainedList.h"

namespace installer {

inline constexpr const char* kInstallLogName = "_install.log";
inline constexpr const char* kComponentFlag = "COMPONENT";

// The installer's lines in recording order.
class InstallLog {
 public:
  void Append(std::string line) { lines_.Append(new std::string(std::move(line))); }
  int Count() const { return lines_.Count(); }
  const std::string& Line(int index) const { return *lines_.At(index); }
  void Clear() { lines_.Clear(); }

 private:
  ChainedList<std::string> lines_;
};

// The log of this run; the Log* calls and WriteInstallLog work on it.
InstallLog& TheInstallLog();

void LogNewKey(const std::string& root, const std::string& subkey);
void LogNewDir(const std::string& path);
void LogAppFile(const std::string& directory, const std::string& name, bool component);
void LogSysFile(const std::string& directory, const std::string& name, bool component);

// Writes the lines newest first, each ending in CR LF. On failure (the file cannot be
// created, a write or the close fails) it shows "Could not write File." and removes the
// partial file, so that no truncated log can later undo only part of the installation.
// False on failure.
bool WriteInstallLog(const std::string& path);

enum class LogLineKind { RegFile, AppFile, SysFile, NewKey, NewDir, Unknown };

struct LogLine {
  LogLineKind kind = LogLineKind::Unknown;
  std::string first;   // directory, root name or directory path
  std::string second;  // file name or subkey path
  std::string third;   // "COMPONENT" marks a self-registering component
  bool IsComponent() const { return third == kComponentFlag; }
};

// Prefixes are matched case-sensitively, blank included; fields are split at commas.
LogLine SplitLogLine(const std::string& line);

// Reads every line of the file, whatever its length, removing only its line end (LF,
// or CR LF). False when the file cannot be opened or read.
bool ReadInstallLog(const std::string& path, std::vector<std::string>& lines);

}  // namespace installer
