// Shell links as small CR LF text files.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/machine/FileServices.h"
#include "platform/shell/Shell.h"

namespace platform {
namespace {

constexpr const char* kHeader = "[Shell Link]";

std::string Text(const ShellLink& link) {
  return std::string(kHeader) + "\n" + "Target=" + link.target + "\n" + "Arguments=" + link.arguments +
         "\n" + "Description=" + link.description + "\n" + "IconLocation=" + link.iconPath + "," +
         std::to_string(link.iconIndex) + "\n" + "WorkingDirectory=" + link.workingDirectory + "\n" +
         "ShowCommand=" + std::to_string(link.showCommand) + "\n" + "Hotkey=" + std::to_string(link.hotkey) +
         "\n";
}

bool HasLineBreak(const std::string& field) { return field.find_first_of("\r\n") != std::string::npos; }

void Assign(ShellLink& link, const std::string& key, const std::string& value) {
  if (key == "Target") link.target = value;
  else if (key == "Arguments") link.arguments = value;
  else if (key == "Description") link.description = value;
  else if (key == "WorkingDirectory") link.workingDirectory = value;
  else if (key == "ShowCommand") link.showCommand = std::atoi(value.c_str());
  else if (key == "Hotkey") link.hotkey = static_cast<WORD>(std::atoi(value.c_str()));
  else if (key == "IconLocation") {
    const size_t comma = value.rfind(',');
    link.iconPath = value.substr(0, comma);
    link.iconIndex = comma == std::string::npos ? 0 : std::atoi(value.c_str() + comma + 1);
  }
}

}  // namespace

HRESULT SaveShellLink(const char* linkPath, const ShellLink& link) {
  for (const std::string* field : {&link.target, &link.arguments, &link.description, &link.iconPath,
                                   &link.workingDirectory}) {
    if (HasLineBreak(*field)) return E_INVALIDARG;
  }
  std::FILE* file = OpenFile(linkPath, "w");
  if (file == nullptr) return STG_E_CANTSAVE;
  const std::string text = Text(link);
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) == 0 && written) return S_OK;
  DeleteFileA(linkPath);
  return STG_E_CANTSAVE;
}

bool LoadShellLink(const char* linkPath, ShellLink& link) {
  std::FILE* file = OpenFile(linkPath, "r");
  if (file == nullptr) return false;
  std::string text;
  char buffer[512];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
  std::fclose(file);
  if (!text.starts_with(std::string(kHeader) + "\n")) return false;
  link = ShellLink{};
  for (size_t start = text.find('\n') + 1; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t equals = line.find('=');
    if (equals != std::string::npos) Assign(link, line.substr(0, equals), line.substr(equals + 1));
    start = end + 1;
  }
  return true;
}

}  // namespace platform
