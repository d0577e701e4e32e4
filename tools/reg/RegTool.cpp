#include "tools/reg/RegTool.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/machine/Machine.h"
#include "platform/prompt/Prompt.h"
#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"
#include "platform/registry/SystemInfo.h"

namespace regtool {

const char* const kUsage =
    "usage: carvox-reg query KEY [/v NAME | /ve]\n"
    "       carvox-reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD|REG_BINARY|REG_EXPAND_SZ] [/d DATA] [/f]\n"
    "       carvox-reg delete KEY [/v NAME | /ve] [/f]\n"
    "       carvox-reg export [KEY]\n"
    "       carvox-reg info\n"
    "KEY starts with a root: HKEY_LOCAL_MACHINE (HKLM), HKEY_CURRENT_USER (HKCU),\n"
    "HKEY_CLASSES_ROOT (HKCR), HKEY_USERS (HKU), HKEY_CURRENT_CONFIG (HKCC), HKEY_DYN_DATA (HKDD).\n";

namespace {

using namespace platform;

constexpr const char* kNotFound = "ERROR: The system was unable to find the specified registry key or value.";
constexpr const char* kCaption = "carvox-reg";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Command {
  std::string verb;
  std::string key;
  std::optional<std::string> valueName;  // "" for /ve
  std::string type = "REG_SZ";
  std::optional<std::string> data;
  bool force = false;
  std::vector<std::string> options;  // as given, in lower case
};

// What each verb takes: whether it needs a KEY (or takes none at all), and its options.
struct VerbRule {
  std::string_view verb;
  enum { kNeedsKey, kOptionalKey, kNoKey } key;
  std::vector<std::string_view> options;
};
const std::vector<VerbRule> kVerbs = {
    {"query", VerbRule::kNeedsKey, {"/v", "/ve"}},
    {"add", VerbRule::kNeedsKey, {"/v", "/ve", "/t", "/d", "/f"}},
    {"delete", VerbRule::kNeedsKey, {"/v", "/ve", "/f"}},
    {"export", VerbRule::kOptionalKey, {}},
    {"info", VerbRule::kNoKey, {}},
};

bool Has(const Command& command, std::string_view option) {
  return std::find(command.options.begin(), command.options.end(), option) != command.options.end();
}

void CheckFitsVerb(const Command& command) {
  const auto rule = std::find_if(kVerbs.begin(), kVerbs.end(), [&](const VerbRule& r) { return r.verb == command.verb; });
  if (rule == kVerbs.end()) throw UsageError("unknown command \"" + command.verb + "\"");
  if (rule->key == VerbRule::kNeedsKey && command.key.empty()) throw UsageError(command.verb + " needs a KEY");
  if (rule->key == VerbRule::kNoKey && !command.key.empty()) {
    throw UsageError(command.verb + " takes no KEY");
  }
  for (const std::string& option : command.options) {
    if (std::find(rule->options.begin(), rule->options.end(), option) == rule->options.end()) {
      throw UsageError(option + " means nothing for " + command.verb);
    }
    if (std::count(command.options.begin(), command.options.end(), option) > 1) {
      throw UsageError(option + " is given twice");
    }
  }
  if (Has(command, "/v") && Has(command, "/ve")) throw UsageError("/v and /ve name different values");
  // Data for no value would be lost without a word.
  if ((Has(command, "/t") || Has(command, "/d")) && !command.valueName) {
    throw UsageError("/t and /d need /v NAME or /ve");
  }
}

struct KeyName {
  HKEY root;
  std::string subKey;
  std::string shown;
};

const std::string& TakeArgument(const std::vector<std::string>& arguments, size_t& i) {
  if (i + 1 >= arguments.size()) throw UsageError(arguments[i] + " needs a value");
  return arguments[++i];
}

Command ParseCommand(const std::vector<std::string>& arguments) {
  if (arguments.empty()) throw UsageError("no command");
  Command command;
  command.verb = arguments[0];
  for (char& c : command.verb) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (size_t i = 1; i < arguments.size(); ++i) {
    std::string option = arguments[i];
    for (char& c : option) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (option.starts_with("/")) command.options.push_back(option);
    if (option == "/v") command.valueName = TakeArgument(arguments, i);
    else if (option == "/ve") command.valueName = "";
    else if (option == "/t") command.type = TakeArgument(arguments, i);
    else if (option == "/d") command.data = TakeArgument(arguments, i);
    else if (option == "/f") command.force = true;
    else if (command.key.empty() && !arguments[i].starts_with("/")) command.key = arguments[i];
    else throw UsageError("unexpected argument \"" + arguments[i] + "\"");
  }
  CheckFitsVerb(command);
  return command;
}

KeyName ParseKey(const std::string& text) {
  const size_t slash = text.find('\\');
  const size_t root = RootIndex(text.substr(0, slash));
  if (root == kRootCount) throw UsageError("\"" + text + "\" does not start with a root key name");
  std::string subKey = slash == std::string::npos ? "" : text.substr(slash + 1);
  if (subKey.ends_with('\\')) subKey.pop_back();  // as the registry ignores it
  std::string shown(RootName(root));
  if (!subKey.empty()) shown += "\\" + subKey;
  return {PredefinedKey(root), subKey, shown};
}

std::string TypeName(DWORD type) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: {
      char text[24];
      std::snprintf(text, sizeof text, "REG_0x%x", static_cast<unsigned>(type));
      return text;
    }
  }
}

std::string ShowData(DWORD type, const std::vector<BYTE>& data) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    const auto end = std::find(data.begin(), data.end(), BYTE{0});
    return std::string(data.begin(), end);
  }
  if (type == REG_DWORD && data.size() == 4) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24);
    return text;
  }
  std::string hex;
  for (const BYTE b : data) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    hex += text;
  }
  return hex;
}

std::string Shown(const std::string& valueName) { return valueName.empty() ? "(Default)" : valueName; }

bool ValueExists(HKEY key, const std::string& name) {
  return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void PrintValue(std::ostream& out, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
  out << "    " << Shown(name) << "    " << TypeName(type) << "    " << ShowData(type, data)
      << '\n';
}

// Opens the key named on the command line, reporting a missing one.
class OpenKey {
 public:
  OpenKey(const KeyName& name, REGSAM access) {
    result_ = RegOpenKeyExA(name.root, name.subKey.c_str(), 0, access, &key_);
  }
  ~OpenKey() {
    if (result_ == ERROR_SUCCESS) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  bool ok() const { return result_ == ERROR_SUCCESS; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
  LONG result_;
};

bool ReadValue(HKEY key, const std::string& name, DWORD& type, std::vector<BYTE>& data) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  data.resize(size);
  return RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
}

int Query(const Command& command, std::ostream& out, std::ostream& err) {
  const KeyName name = ParseKey(command.key);
  OpenKey key(name, KEY_READ);
  if (!key.ok()) {
    err << kNotFound << '\n';
    return 1;
  }
  DWORD type = 0;
  std::vector<BYTE> data;
  if (command.valueName) {
    if (!ReadValue(key.get(), *command.valueName, type, data)) {
      err << kNotFound << '\n';
      return 1;
    }
    out << '\n' << name.shown << '\n';
    PrintValue(out, *command.valueName, type, data);
    return 0;
  }
  out << '\n' << name.shown << '\n';
  std::vector<char> valueName(kMaxValueNameLength + 1);
  for (DWORD index = 0;; ++index) {
    DWORD nameSize = static_cast<DWORD>(valueName.size());
    DWORD size = 0;
    if (RegEnumValueA(key.get(), index, valueName.data(), &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    if (ReadValue(key.get(), valueName.data(), type, data)) PrintValue(out, valueName.data(), type, data);
  }
  out << '\n';
  char subkey[kMaxKeyNameLength + 1];
  for (DWORD index = 0;; ++index) {
    DWORD size = sizeof subkey;
    if (RegEnumKeyExA(key.get(), index, subkey, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out << name.shown << '\\' << subkey << '\n';
  }
  return 0;
}

std::vector<BYTE> EncodeData(const Command& command, DWORD& type) {
  std::string typeName = command.type;
  for (char& c : typeName) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string text = command.data.value_or("");
  if (typeName == "REG_SZ" || typeName == "REG_EXPAND_SZ") {
    type = typeName == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
  }
  if (typeName == "REG_DWORD") {
    type = REG_DWORD;
    // Decimal, or hexadecimal after 0x; no signs, no spaces, no octal.
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const char* first = text.data() + (hex ? 2 : 0);
    const char* last = text.data() + text.size();
    DWORD number = 0;
    const auto [end, error] = std::from_chars(first, last, number, hex ? 16 : 10);
    if (first == last || end != last || error != std::errc()) {
      throw UsageError("\"" + text + "\" is not a REG_DWORD number");
    }
    return {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8), static_cast<BYTE>(number >> 16),
            static_cast<BYTE>(number >> 24)};
  }
  if (typeName == "REG_BINARY") {
    type = REG_BINARY;
    std::vector<BYTE> bytes;
    if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      throw UsageError("\"" + text + "\" is not hexadecimal data");
    }
    for (size_t i = 0; i < text.size(); i += 2) bytes.push_back(static_cast<BYTE>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
  }
  throw UsageError("unknown type \"" + command.type + "\"");
}

bool Confirmed(const Command& command, const std::string& question) {
  return command.force || MessageBox(question, MB_YESNO | MB_ICONQUESTION, kCaption) == IDYES;
}

int Add(const Command& command, std::ostream& out, std::ostream& err) {
  const KeyName name = ParseKey(command.key);
  DWORD type = REG_SZ;
  const std::vector<BYTE> data = EncodeData(command, type);
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(name.root, name.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, &disposition) != ERROR_SUCCESS) {
    err << "ERROR: The key could not be created.\n";
    return 1;
  }
  LONG result = ERROR_SUCCESS;
  if (command.valueName) {
    if (ValueExists(key, *command.valueName) &&
        !Confirmed(command, "Value " + Shown(*command.valueName) + " exists, overwrite it?")) {
      RegCloseKey(key);
      err << "The operation was cancelled.\n";
      return 1;
    }
    result = RegSetValueExA(key, command.valueName->c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
  }
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) {
    err << "ERROR: The value could not be written.\n";
    return 1;
  }
  out << "The operation completed successfully.\n";
  return 0;
}

int Delete(const Command& command, std::ostream& out, std::ostream& err) {
  const KeyName name = ParseKey(command.key);
  OpenKey key(name, KEY_ALL_ACCESS);
  if (!key.ok()) {
    err << kNotFound << '\n';
    return 1;
  }
  LONG result = ERROR_SUCCESS;
  if (command.valueName) {
    if (!ValueExists(key.get(), *command.valueName)) {
      err << kNotFound << '\n';
      return 1;
    }
    if (!Confirmed(command, "Delete the registry value " + Shown(*command.valueName) + "?")) {
      err << "The operation was cancelled.\n";
      return 1;
    }
    result = RegDeleteValueA(key.get(), command.valueName->c_str());
  } else {
    if (name.subKey.empty()) {
      err << "ERROR: A root key cannot be deleted.\n";
      return 1;
    }
    char subkey[kMaxKeyNameLength + 1];
    DWORD size = sizeof subkey;
    if (RegEnumKeyExA(key.get(), 0, subkey, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      err << "ERROR: The key " << name.shown << " has subkeys; delete them first.\n";
      return 1;
    }
    if (!Confirmed(command, "Permanently delete the registry key " + name.shown + "?")) {
      err << "The operation was cancelled.\n";
      return 1;
    }
    result = RegDeleteKeyA(name.root, name.subKey.c_str());
  }
  if (result != ERROR_SUCCESS) {
    err << "ERROR: The operation was refused (error " << result << ").\n";
    return 1;
  }
  out << "The operation completed successfully.\n";
  return 0;
}

int Export(const Command& command, std::ostream& out, std::ostream& err) {
  std::string text;
  LONG result = ERROR_SUCCESS;
  if (command.key.empty()) {
    result = RegExportText(nullptr, nullptr, text);
  } else {
    const KeyName name = ParseKey(command.key);
    result = RegExportText(name.root, name.subKey.c_str(), text);
  }
  if (result != ERROR_SUCCESS) {
    err << kNotFound << '\n';
    return 1;
  }
  out << text;
  return 0;
}

int Info(std::ostream& out) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  const DWORD drives = GetLogicalDrives();
  std::string letters;
  for (int bit = 0; bit < 26; ++bit) {
    if (drives & (DWORD{1} << bit)) letters += std::string(letters.empty() ? "" : " ") + static_cast<char>('A' + bit) + ":";
  }
  char mask[16];
  std::snprintf(mask, sizeof mask, "0x%08x", drives);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  out << "Machine root:    " << MachineRoot().string() << '\n'
      << "Hive file:       " << HiveFilePath().string() << '\n'
      << "Version:         platform " << version.dwPlatformId << ", " << version.dwMajorVersion << '.'
      << version.dwMinorVersion << ", build " << version.dwBuildNumber
      << (version.szCSDVersion[0] ? std::string(", ") + version.szCSDVersion : "") << '\n'
      << "Windows folder:  " << kWindowsFolder << " = " << WindowsFolderHostPath().string() << '\n'
      << "System folder:   " << kSystemFolder << " = " << SystemFolderHostPath().string() << '\n'
      << "Temp folder:     " << temp << '\n'
      << "Drives:          " << letters << " (mask " << mask << ")\n";
  return 0;
}

}  // namespace

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  try {
    const Command command = ParseCommand(arguments);
    if (command.verb == "query") return Query(command, out, err);
    if (command.verb == "add") return Add(command, out, err);
    if (command.verb == "delete") return Delete(command, out, err);
    if (command.verb == "export") return Export(command, out, err);
    return Info(out);
  } catch (const UsageError& error) {
    err << "ERROR: " << error.what() << '\n' << kUsage;
    return 2;
  } catch (const HiveError&) {
    throw;  // the program's main reports it
  } catch (const std::exception& error) {
    // A machine that cannot be set up.
    err << "ERROR: " << error.what() << '\n';
    return 1;
  }
}

}  // namespace regtool
