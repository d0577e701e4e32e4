#pragma once
// The names the export gives what it writes: files named after the items, and, when a
// whole disc is exported, one folder per partition and volume.

#include <string>
#include <vector>

// The base name of an exported item's file: the name with trailing blanks removed, in
// lower case (".wav" or ".sf2" follows).
std::string ExportBaseName(const std::string& itemName);

// The folder of partition `index`: its letter for A..Z; the letters after Z ('[', '\\',
// ..., lower case) are poor or clashing folder names, so those partitions take their
// 0-based index in digits.
std::string PartitionFolderName(int index);

// One folder name per volume of a partition, in order. Every name stays inside the
// output folder and names a folder of its own: characters other than letters, digits,
// blanks and "#+-._()" become '_', an empty name becomes "_", a name starting with '.'
// (".", "..", hidden folders) gets a leading '_', and a name already given (compared
// without regard to case, for file systems that ignore it) gets " (2)", " (3)", ...
std::vector<std::string> VolumeFolderNames(const std::vector<std::string>& volumeNames);
