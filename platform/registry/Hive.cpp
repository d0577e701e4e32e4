#include "platform/registry/Hive.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"

namespace platform {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
// The longest value line the registry writes: a name of escaped characters in quotes,
// "=", the type prefix, and three characters per byte of hex data.
constexpr size_t kMaxLogicalLine =
    2 * kMaxValueNameLength + 3 + std::string_view("hex(ffffffff):").size() + 3 * kMaxValueSize;

struct RootNames {
  std::string_view full;
  std::string_view brief;
};
constexpr std::array<RootNames, kRootCount> kRoots = {{
    {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_LOCAL_MACHINE", "HKLM"},
    {"HKEY_USERS", "HKU"},
    {"", ""},  // the performance-data root is not kept
    {"HKEY_CURRENT_CONFIG", "HKCC"},
    {"HKEY_DYN_DATA", "HKDD"},
}};

int CompareNames(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const int x = std::tolower(static_cast<unsigned char>(a[i]));
    const int y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

const std::string& NameOf(const std::unique_ptr<RegKey>& key) { return key->name; }
const std::string& NameOf(const RegValue& value) { return value.name; }

// The position where `name` is or would go in a list sorted by name.
template <class List>
auto Position(List& list, std::string_view name) {
  return std::lower_bound(list.begin(), list.end(), name, [](const auto& item, std::string_view wanted) {
    return CompareNames(NameOf(item), wanted) < 0;
  });
}

template <class List>
bool Holds(const List& list, typename List::const_iterator at, std::string_view name) {
  return at != list.end() && CompareNames(NameOf(*at), name) == 0;
}

}  // namespace

bool NamesEqual(std::string_view a, std::string_view b) { return CompareNames(a, b) == 0; }

std::string_view RootName(size_t root) { return root < kRootCount ? kRoots[root].full : ""; }

size_t RootIndex(std::string_view name) {
  if (name.empty()) return kRootCount;
  for (size_t i = 0; i < kRootCount; ++i) {
    if (NamesEqual(name, kRoots[i].full) || NamesEqual(name, kRoots[i].brief)) return i;
  }
  return kRootCount;
}

RegKey* RegKey::FindSubkey(std::string_view wanted) const {
  const auto at = Position(subkeys, wanted);
  return Holds(subkeys, at, wanted) ? at->get() : nullptr;
}

RegKey& RegKey::AddSubkey(std::string_view wanted, bool& created) {
  auto at = Position(subkeys, wanted);
  created = !Holds(subkeys, at, wanted);
  if (created) {
    at = subkeys.insert(at, std::make_unique<RegKey>());
    (*at)->name = std::string(wanted);
  }
  return **at;
}

bool RegKey::RemoveSubkey(std::string_view wanted) {
  const auto at = Position(subkeys, wanted);
  if (!Holds(subkeys, at, wanted)) return false;
  subkeys.erase(at);
  return true;
}

const RegValue* RegKey::FindValue(std::string_view wanted) const {
  const auto at = Position(values, wanted);
  return Holds(values, at, wanted) ? &*at : nullptr;
}

void RegKey::SetValue(std::string_view valueName, DWORD type, std::vector<BYTE> data) {
  auto at = Position(values, valueName);
  if (!Holds(values, at, valueName)) at = values.insert(at, RegValue{std::string(valueName), 0, {}});
  at->type = type;
  at->data = std::move(data);
}

bool RegKey::RemoveValue(std::string_view valueName) {
  const auto at = Position(values, valueName);
  if (!Holds(values, at, valueName)) return false;
  values.erase(at);
  return true;
}

// ---- writing ----

namespace {

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// A REG_SZ can be written as "text" when it is one line of text with one closing NUL.
bool PlainString(const RegValue& value) {
  if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0) return false;
  return std::none_of(value.data.begin(), value.data.end() - 1,
                      [](BYTE b) { return b == 0 || b == '\r' || b == '\n'; });
}

void AppendHex(std::string& out, const RegValue& value) {
  char prefix[16];
  if (value.type == REG_BINARY) std::snprintf(prefix, sizeof prefix, "hex:");
  else std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
  out += prefix;
  // Lines are wrapped before 80 columns, as regedit does.
  size_t column = out.size() - out.rfind('\n');
  for (size_t i = 0; i < value.data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", value.data[i]);
    out += byte;
    column += 2;
    if (i + 1 < value.data.size()) {
      out += ',';
      ++column;
      if (column > 76) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
}

void AppendValue(std::string& out, const RegValue& value) {
  if (value.name.empty()) out += '@';
  else AppendQuoted(out, value.name);
  out += '=';
  if (PlainString(value)) {
    AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    char text[24];
    const DWORD number = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                         static_cast<DWORD>(value.data[3]) << 24;
    std::snprintf(text, sizeof text, "dword:%08x", number);
    out += text;
  } else {
    AppendHex(out, value);
  }
  out += '\n';
}

void AppendKey(std::string& out, const RegKey& key, const std::string& path, bool isRoot) {
  // A root is always there; it gets a section only when it holds values.
  if (!isRoot || !key.values.empty()) {
    out += '[' + path + "]\n";
    for (const RegValue& value : key.values) AppendValue(out, value);
    out += '\n';
  }
  for (const auto& subkey : key.subkeys) AppendKey(out, *subkey, path + '\\' + subkey->name, false);
}

}  // namespace

std::string FormatKeyTree(const RegKey& key, const std::string& path) {
  std::string out = std::string(kHeader) + "\n\n";
  AppendKey(out, key, path, false);
  return out;
}

std::string FormatHive(const HiveTree& tree) {
  std::string out = std::string(kHeader) + "\n\n";
  for (size_t root = 0; root < kRootCount; ++root) {
    if (!RootName(root).empty()) AppendKey(out, tree.roots[root], std::string(RootName(root)), true);
  }
  return out;
}

// ---- reading ----

namespace {

class HiveParser {
 public:
  HiveParser(std::string_view text, const std::string& fileName) : text_(text), fileName_(fileName) {}

  HiveTree Parse() {
    std::string line;
    if (!NextLogicalLine(line) || Trimmed(line) != kHeader) Fail("the file does not start with " + std::string(kHeader));
    RegKey* key = nullptr;
    while (NextLogicalLine(line)) {
      const std::string_view content = Trimmed(line);
      if (content.empty() || content.front() == ';') continue;
      if (content.front() == '[') key = &OpenSection(content);
      else if (key == nullptr) Fail("a value comes before the first key");
      else ReadValue(content, *key);
    }
    return std::move(tree_);
  }

 private:
  [[noreturn]] void Fail(const std::string& reason) const {
    throw HiveError(fileName_ + ":" + std::to_string(lineNumber_) + ": " + reason);
  }

  static std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    return text;
  }

  bool NextRawLine(std::string_view& line) {
    if (position_ >= text_.size()) return false;
    const size_t end = std::min(text_.find('\n', position_), text_.size());
    line = text_.substr(position_, end - position_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    position_ = end + 1;
    ++rawLines_;
    return true;
  }

  // A line with its continuations ("...,\" followed by indented lines) joined; errors
  // name the first line.
  bool NextLogicalLine(std::string& out) {
    std::string_view raw;
    if (!NextRawLine(raw)) return false;
    lineNumber_ = rawLines_;
    out.assign(raw);
    if (!StartsContinuedHex(out)) return true;
    do {
      out.resize(out.find_last_of('\\'));
      if (!NextRawLine(raw)) Fail("the file ends inside a continued value");
      out += Trimmed(raw);
      if (out.size() > kMaxLogicalLine) Fail("a value is larger than the registry allows");
    } while (EndsInBackslash(out));
    return true;
  }

  static bool EndsInBackslash(std::string_view line) {
    const std::string_view content = Trimmed(line);
    return !content.empty() && content.back() == '\\';
  }

  // Only hex data continues on the next line; a string ending in "\" does not.
  static bool StartsContinuedHex(const std::string& line) {
    if (!EndsInBackslash(line)) return false;
    const size_t equals = line.rfind("=hex");
    return equals != std::string::npos && line.find('"', equals) == std::string::npos;
  }

  RegKey& OpenSection(std::string_view content) {
    if (content.back() != ']') Fail("a key line does not end with \"]\"");
    const std::string_view path = content.substr(1, content.size() - 2);
    const size_t slash = path.find('\\');
    const size_t root = RootIndex(path.substr(0, slash));
    if (root == kRootCount || path.substr(0, slash) != RootName(root)) {
      Fail("unknown root key in [" + std::string(path.substr(0, 80)) + "]");
    }
    RegKey* key = &tree_.roots[root];
    size_t depth = 0;
    for (size_t start = slash; start != std::string_view::npos;) {
      if (++depth > kMaxKeyDepth) Fail("a key lies more than " + std::to_string(kMaxKeyDepth) + " levels deep");
      const size_t end = path.find('\\', start + 1);
      const std::string_view part = path.substr(start + 1, end == std::string_view::npos ? end : end - start - 1);
      if (part.empty() || part.size() > kMaxKeyNameLength) Fail("a key name is empty or too long");
      bool created = false;
      key = &key->AddSubkey(part, created);
      start = end;
    }
    return *key;
  }

  // A quoted text starting at `at`; returns the position after the closing quote.
  size_t ReadQuoted(std::string_view content, size_t at, std::string& out) const {
    out.clear();
    for (size_t i = at + 1; i < content.size(); ++i) {
      if (content[i] == '"') return i + 1;
      if (content[i] == '\\') {
        if (++i >= content.size() || (content[i] != '\\' && content[i] != '"')) Fail("a string holds an unknown escape");
      }
      out += content[i];
    }
    Fail("a string has no closing quote");
  }

  void ReadValue(std::string_view content, RegKey& key) {
    std::string name;
    size_t at = 1;
    if (content.front() == '"') at = ReadQuoted(content, 0, name);
    else if (content.front() != '@') Fail("not a key, a value or a blank line");
    if (name.size() > kMaxValueNameLength) Fail("a value name is longer than the registry allows");
    if (at >= content.size() || content[at] != '=') Fail("a value has no \"=\"");
    const std::string_view data = content.substr(at + 1);
    DWORD type = REG_SZ;
    std::vector<BYTE> bytes = ReadData(data, type);
    if (bytes.size() > kMaxValueSize) Fail("a value is larger than the registry allows");
    key.SetValue(name, type, std::move(bytes));
  }

  std::vector<BYTE> ReadData(std::string_view data, DWORD& type) const {
    if (!data.empty() && data.front() == '"') {
      std::string text;
      if (ReadQuoted(data, 0, text) != data.size()) Fail("text follows a string value");
      std::vector<BYTE> bytes(text.begin(), text.end());
      bytes.push_back(0);
      type = REG_SZ;
      return bytes;
    }
    if (data.starts_with("dword:")) {
      type = REG_DWORD;
      const DWORD number = static_cast<DWORD>(ReadHexNumber(data.substr(6), 8));
      return {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8), static_cast<BYTE>(number >> 16),
              static_cast<BYTE>(number >> 24)};
    }
    if (data.starts_with("hex:")) {
      type = REG_BINARY;
      return ReadHexBytes(data.substr(4));
    }
    if (data.starts_with("hex(")) {
      const size_t close = data.find("):");
      if (close == std::string_view::npos) Fail("a hex value has no type");
      type = static_cast<DWORD>(ReadHexNumber(data.substr(4, close - 4), 8));
      return ReadHexBytes(data.substr(close + 2));
    }
    Fail("a value's data is not a string, dword: or hex:");
  }

  uint64_t ReadHexNumber(std::string_view digits, size_t maxDigits) const {
    if (digits.empty() || digits.size() > maxDigits) Fail("a number has no digits or too many");
    uint64_t number = 0;
    for (const char c : digits) {
      if (!std::isxdigit(static_cast<unsigned char>(c))) Fail("a number holds a character that is not hexadecimal");
      number = number * 16 + static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    return number;
  }

  std::vector<BYTE> ReadHexBytes(std::string_view list) const {
    std::vector<BYTE> bytes;
    if (Trimmed(list).empty()) return bytes;
    for (size_t start = 0; start <= list.size();) {
      const size_t comma = std::min(list.find(',', start), list.size());
      bytes.push_back(static_cast<BYTE>(ReadHexNumber(Trimmed(list.substr(start, comma - start)), 2)));
      if (bytes.size() > kMaxValueSize) Fail("a value is larger than the registry allows");
      start = comma + 1;
    }
    return bytes;
  }

  std::string_view text_;
  const std::string& fileName_;
  size_t position_ = 0;
  size_t rawLines_ = 0;
  size_t lineNumber_ = 0;
  HiveTree tree_;
};

}  // namespace

HiveTree ParseHive(std::string_view text, const std::string& fileName) {
  return HiveParser(text, fileName).Parse();
}

HiveTree SeedHive() {
  HiveTree tree;
  const auto text = [](const char* value) {
    std::vector<BYTE> bytes(value, value + std::char_traits<char>::length(value) + 1);
    return bytes;
  };
  bool created = false;
  RegKey& hklm = tree.roots[RootIndex("HKLM")];
  RegKey& currentVersion = hklm.AddSubkey("Software", created)
                               .AddSubkey("Microsoft", created)
                               .AddSubkey("Windows", created)
                               .AddSubkey("CurrentVersion", created);
  currentVersion.SetValue("ProgramFilesDir", REG_SZ, text(kProgramFilesFolder));
  currentVersion.SetValue("CommonFilesDir", REG_SZ, text(kCommonFilesFolder));
  currentVersion.AddSubkey("Explorer", created)
      .AddSubkey("Shell Folders", created)
      .SetValue("Common Programs", REG_SZ, text(kCommonProgramsFolder));
  currentVersion.AddSubkey("SharedDLLs", created);
  return tree;
}

}  // namespace platform
