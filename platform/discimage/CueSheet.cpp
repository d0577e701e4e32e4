// Cue sheets: the data file and the mode of the first data track.

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/discimage/DiscImage.h"

namespace discimage {
namespace {

constexpr uint64_t kFramesPerSecond = 75;

struct TrackMode {
  const char* name;
  uint32_t stride;
  uint32_t dataOffset;
};
constexpr TrackMode kDataModes[] = {
    {"MODE1/2048", kDataSectorSize, 0},
    {"MODE1/2352", kRawSectorSize, kMode1DataOffset},
    {"MODE2/2352", kRawSectorSize, kMode2DataOffset},
};

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

// The rest of a FILE line: a quoted name (which may hold blanks) or one word.
std::string FileName(std::istringstream& line) {
  line >> std::ws;
  std::string name;
  if (line.peek() == '"') {
    line.get();
    std::getline(line, name, '"');
  } else {
    line >> name;
  }
  return name;
}

// "mm:ss:ff" in frames (75 a second), or nothing for a malformed time.
std::optional<uint64_t> Frames(const std::string& time) {
  unsigned minutes = 0, seconds = 0, frames = 0;
  char colon1 = 0, colon2 = 0;
  std::istringstream in(time);
  if (!(in >> minutes >> colon1 >> seconds >> colon2 >> frames) || colon1 != ':' || colon2 != ':' ||
      seconds >= 60 || frames >= kFramesPerSecond || !in.eof()) {
    return std::nullopt;
  }
  return (uint64_t{minutes} * 60 + seconds) * kFramesPerSecond + frames;
}

struct Track {
  std::string number;
  std::string mode;
  std::filesystem::path file;
  uint64_t startFrames = 0;
};

}  // namespace

SectorLayout ParseCueSheet(std::string_view text, const std::filesystem::path& folder,
                           const std::filesystem::path& cue) {
  auto fail = [&](const std::string& reason) { return OpenError(cue, reason); };
  std::optional<std::filesystem::path> file;
  std::vector<Track> tracks;
  std::istringstream lines{std::string(text)};
  std::string text_line;
  while (std::getline(lines, text_line)) {
    std::istringstream line(text_line);
    std::string command;
    line >> command;
    command = Upper(command);
    if (command == "FILE") {
      const std::filesystem::path name = FileName(line);
      if (name.empty()) throw fail("a FILE line names no file");
      file = name.is_absolute() ? name : folder / name;
    } else if (command == "TRACK") {
      Track track;
      line >> track.number >> track.mode;
      if (!file) throw fail("track " + track.number + " comes before any FILE line");
      track.mode = Upper(track.mode);
      track.file = *file;
      tracks.push_back(track);
    } else if (command == "INDEX" && !tracks.empty()) {
      std::string number, time;
      line >> number >> time;
      const std::optional<uint64_t> frames = Frames(time);
      if (!frames) throw fail("track " + tracks.back().number + " has the malformed INDEX time '" + time + "'");
      if (number == "01") tracks.back().startFrames = *frames;
    }
  }
  if (tracks.empty()) throw fail("it names no track");
  for (const Track& track : tracks) {
    for (const TrackMode& mode : kDataModes) {
      if (track.mode == mode.name) return {track.file, track.startFrames * mode.stride, mode.stride, mode.dataOffset};
    }
  }
  for (const Track& track : tracks) {
    if (track.mode != "AUDIO") throw fail("track " + track.number + " has the unsupported mode '" + track.mode + "'");
  }
  throw fail("it holds only audio tracks, no data track");
}

}  // namespace discimage
