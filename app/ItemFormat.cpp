#include "app/ItemFormat.h"

#include "app/Strings.h"

std::string FormatSize(uint32_t bytes) {
  if (bytes < 10240) return FormatText(IDS_SIZE_BYTES, static_cast<int>(bytes));
  if (bytes < 524288) return FormatText(IDS_SIZE_KB, bytes / 1024.0);
  return FormatText(bytes < 1048576 ? IDS_SIZE_SMALL_MB : IDS_SIZE_MB, bytes / 1048576.0);
}

std::string FormatDuration(uint64_t milliseconds) {
  const auto hours = static_cast<int>(milliseconds / 3600000);
  const auto minutes = static_cast<int>(milliseconds % 3600000 / 60000);
  const auto seconds = static_cast<int>(milliseconds % 3600000 % 60000 / 1000);
  const auto fraction = static_cast<int>(milliseconds % 1000);
  if (hours != 0) return FormatText(IDS_DURATION_HOURS, hours, minutes, seconds, fraction);
  if (minutes != 0) return FormatText(IDS_DURATION_MINUTES, minutes, seconds, fraction);
  return FormatText(IDS_DURATION_SECONDS, seconds, fraction);
}

uint64_t LengthKey(uint32_t bytes, uint32_t rate) {
  if (rate == 0) return 0;
  return static_cast<uint64_t>(bytes / (rate * 0.001));
}

PlayLoop LoopForPlay(const AkaiSample& sample) {
  const PlayLoop loop = FindPlayLoopInside(sample);
  return loop.length != 0 ? loop : PlayLoop{0, sample.sampleCount};
}
