#pragma once
// Stereo samples are stored as two mono samples named with "-L" and "-R" endings (a
// short name is padded with blanks before the ending: "PAD1      -L"). The sampler's
// stereo-partner word is not set by every tool, so pairs are found by name; whether
// the two halves fit together (equal length and rate) is known only once loaded.

#include <cstddef>
#include <string>
#include <vector>

struct ExportItem;

struct StereoPair {
  size_t left = 0;   // indices into the items
  size_t right = 0;
  std::string name;  // without the ending and the blanks before it: "PAD1"
};

// The "-L"/"-R" sample pairs among `items`, in the order of their first half. A pair
// whose name another item of the same kind already has is left out, so that joining
// never writes over another sample's file.
std::vector<StereoPair> FindStereoPairs(const std::vector<ExportItem>& items);
