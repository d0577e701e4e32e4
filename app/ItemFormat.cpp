#include "app/internal/ItemFormat.h"

#include "app/internal/Strings.h"

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

std::string FormatKey(uint8_t key) { return FormatText(IDS_KEY_CELL, KeyName(key).c_str(), int{key}); }

std::string FormatDetails(const VolumeItem& item) {
  if (item.program || !item.headerRead) return "";
  const std::string length = FormatDuration(item.LengthMs());
  std::string details = FormatText(IDS_ITEM_DETAILS, item.name.c_str(), item.rate, item.frames,
                                   length.substr(length.find_first_not_of(' ')).c_str(), KeyName(item.rootKey).c_str(),
                                   int{item.rootKey});
  if (item.loop.length != 0) {
    details += FormatText(IDS_ITEM_LOOP_DETAILS, item.loop.start, item.loop.start + item.loop.length - 1);
  }
  return details;
}
