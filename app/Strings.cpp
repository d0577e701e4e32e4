#include "app/internal/Strings.h"

#include <cstdarg>
#include <cstdio>
#include <unordered_map>

namespace {

const std::unordered_map<unsigned, const char*>& Table() {
  static const std::unordered_map<unsigned, const char*> table = {
      {IDS_APP_TITLE, "Carvox"},
      {IDS_READY, "Ready"},
      {IDS_READ_ERROR, "Error while trying to read the CD."},
      {IDS_CD_UNREADABLE, "Could not read CD."},
      {IDS_NOT_AKAI, "This CD doesn't seem to be a valid AKAI S1000 or S3000 CD."},
      {IDS_RESTART, "You have to restart the program\nfor your changes to become effective"},
      {IDS_MENU_PLAY, "Play"},
      {IDS_MENU_PLAY_LOOPED, "Play looped"},
      {IDS_MENU_EXPORT, "Export..."},
      {IDS_NO_SOUND_DEVICE, "ERROR: could not open the sound output!\nTerminating program."},
      {IDS_WRONG_WINDOWS, "This product requires Microsoft Windows95 or Windows98"},
      {IDS_NO_CD_LAYER, "The CD-ROM access layer is not installed.\nCarvox cannot read CD-ROMs."},
      {IDS_SAMPLE_HEADER_FAILED, "Could not read the header of sample %s"},
      {IDS_SAMPLE_NOT_EXPORTED, "Could not load sample %s: not exported"},
      {IDS_EXPORT_FAILED, "Export failed: %s"},
      {IDS_HELP_MISSING, "The help file %s is missing."},
      {IDS_MOUNT_TITLE, "Mount Disc Image"},
      {IDS_DISC_IMAGES, "AKAI disc images (*.iso *.img *.bin *.cue);;All files (*)"},
      {IDS_MOUNT_FAILED, "Could not mount the disc image:\n%s"},
      {IDS_IMAGE_CUT_SHORT, "Drive %c: reads past the end of its disc image, which is cut short:\n%s"},
      {IDS_IMAGE_MISSING, "The disc image of drive %c: is missing:\n%s"},
      {IDS_PARTITION_UNREADABLE, "Could not read partition %s: its volumes are not listed"},
      {IDS_TABLE_PARTITION_UNREADABLE, "Could not read partition %d of the partition table: its volumes are not listed"},
      {IDS_BUSY_EXPORTING, "A disc image cannot be opened while an export is running."},
      {IDS_PLAYING, "Playing %s"},
      {IDS_PLAYING_LOOPED, "Playing %s (looped)"},
      {IDS_SOUND_FAILED, "The sound output failed: %s"},
      {IDS_EXPORT_DONE, "%d files written to %s"},
      {IDS_EXPORT_FAILURES, "%d files written to %s.\n\nNot written:\n%s"},
      {IDS_EXPORT_FAILURE_LINE, "%s: %s\n"},
      {IDS_NOT_LOADED, "could not be loaded (%s)"},
      {ID_SAMPLE_STOP, "Stop the sample that plays\nStop"},
      {ID_SAMPLE_LOOP, "Play the selected sample looped\nPlay looped"},
      {ID_SAMPLE_PLAY, "Play the selected sample once\nPlay"},
      {ID_FILE_EXPORT, "Export programs as SoundFont banks and samples as WAV files\nExport"},
      {ID_FILE_PREFERENCES, "Change the sound output and the export and play preferences\nPreferences"},
      {ID_FILE_MOUNT_IMAGE, "Mount a disc image in a free drive and open it\nMount disc image"},
      {ID_APP_EXIT, "Quit Carvox, releasing the drives it mounted\nExit"},
      {ID_FILE_CLOSE_DISC, "Close the open disc and release the drive Carvox mounted for it\nClose disc"},
      {ID_SAMPLE_PLAY_OR_STOP, "Stop the sample that plays, or play the selected sample\nPlay or stop"},
      {ID_HELP_FINDER, "Show the help topics\nHelp topics"},
      {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToolbar"},
      {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nStatus bar"},
      {ID_APP_ABOUT, "Show the program's version\nAbout"},
      {IDS_MENU_FILE, "&File"},
      {IDS_MENU_FILE_EXPORT, "&Export WAV / SF2..."},
      {IDS_MENU_FILE_PREFERENCES, "&Preferences..."},
      {IDS_MENU_FILE_MOUNT, "&Mount Disc Image..."},
      {IDS_MENU_FILE_EXIT, "E&xit"},
      {IDS_MENU_VIEW, "&View"},
      {IDS_MENU_VIEW_TOOLBAR, "&Toolbar"},
      {IDS_MENU_VIEW_STATUS_BAR, "&Status Bar"},
      {IDS_MENU_HELP, "&Help"},
      {IDS_MENU_HELP_TOPICS, "&Topics"},
      {IDS_MENU_HELP_ABOUT, "&About Carvox..."},
      {IDS_DRIVE_LABEL, "Drive:"},
      {IDS_REFRESH, "Refresh"},
      {IDS_DRIVE_ENTRY, "%c:  %s %s"},
      {IDS_ABOUT_TITLE, "About Carvox"},
      {IDS_ABOUT_VERSION, "Carvox Version %s"},
      {IDS_ABOUT_LINES, "Reads AKAI S1000 and S3000 CD-ROMs,\nplays their samples and exports WAV files and SoundFont banks."},
      {IDS_OK, "OK"},
      {IDS_CANCEL, "Cancel"},
      {IDS_PREFERENCES_TITLE, "Preferences"},
      {IDS_DSOUND_DRIVER, "&Sound output device:"},
      {IDS_NORMALIZE, "&Normalize exported audio"},
      {IDS_DOUBLECLICK_PLAYS, "&Double-click plays"},
      {IDS_DOUBLECLICK_NORMAL, "normal"},
      {IDS_DOUBLECLICK_LOOPED, "looped"},
      {IDS_EXPORT_FORMATS, "Export programs as:"},
      {IDS_FORMAT_SF2, "SoundFont bank (.sf2)"},
      {IDS_FORMAT_SFZ, "SFZ preset (.sfz)"},
      {IDS_FORMAT_DSPRESET, "Decent Sampler preset (.dspreset)"},
      {IDS_EXPORTING, "Exporting..."},
      {IDS_EXPORTING_ITEM, "Exporting %s..."},
      {IDS_SELECT_DESTINATION, "Select the destination folder"},
      {IDS_HELP_TITLE, "Carvox Help"},
      {IDS_COLUMN_BANK, "Volume"},
      {IDS_COLUMN_PARTITION, "Partition"},
      {IDS_PARTITION_CELL, "Partition %c"},
      {IDS_COLUMN_NAME, "Name"},
      {IDS_COLUMN_SIZE, "Size"},
      {IDS_COLUMN_TYPE, "Type"},
      {IDS_COLUMN_FREQ, "Rate"},
      {IDS_COLUMN_LENGTH, "Length"},
      {IDS_COLUMN_LOOP, "Loop"},
      {IDS_TYPE_PROGRAM, "Program"},
      {IDS_TYPE_SAMPLE, "Sample"},
      {IDS_FREQ_CELL, "%d Hz"},
            {IDS_SIZE_BYTES, "%d Bytes"},
      {IDS_SIZE_KB, "%.1f kB"},
      {IDS_SIZE_SMALL_MB, "%.2f MB"},
      {IDS_SIZE_MB, "%.1f MB"},
      {IDS_DURATION_HOURS, "%02dh:%02dm:%02d.%03ds"},
      {IDS_DURATION_MINUTES, "%02dm:%02d.%03ds"},
      {IDS_DURATION_SECONDS, "%2d.%03ds"},
      {IDS_TITLE_WITH_DISC, "Carvox - %s"},
      {IDS_DRIVE_IMAGE_ENTRY, "%c:  %s"},
      {IDS_COLUMN_KEY, "Key"},
      {IDS_KEY_CELL, "%s (%d)"},
      {IDS_LOOP_CELL, "%u-%u"},
      {IDS_ITEM_DETAILS, "%s: %u Hz, %u frames (%s), root key %s (%d)"},
      {IDS_ITEM_LOOP_DETAILS, ", loop from frame %u to %u"},
      {IDS_FILTER_PLACEHOLDER, "Filter by name"},
      {IDS_MENU_FILE_CLOSE, "&Close Disc"},
      {IDS_MENU_SAMPLE, "&Sample"},
      {IDS_MENU_SAMPLE_PLAY, "&Play"},
      {IDS_MENU_SAMPLE_LOOP, "Play &Looped"},
      {IDS_MENU_SAMPLE_STOP, "&Stop"},
      {IDS_MENU_SAMPLE_PLAY_OR_STOP, "Play or Stop"},
      {IDS_ACC_CONTENTS, "Volumes\nThe volumes of the open disc; choose one to list its programs and samples"},
      {IDS_ACC_ITEMS, "Programs and samples\nThe programs and samples of the chosen volume; Enter plays, Space plays or stops"},
      {IDS_ACC_DRIVE, "Drive\nThe drive or mounted disc image to read"},
      {IDS_ACC_REFRESH, "Refresh\nRead the disc in the chosen drive again"},
      {IDS_ACC_FILTER, "Filter\nShow only the programs and samples whose names contain this text"},
      {IDS_ACC_STATUS, "Status\nWhat Carvox is doing or has just done"},
      {IDS_ACC_TOOLBAR, "Toolbar\nExport, play and preferences"},
      {IDS_ACC_DRIVEBAR, "Drive bar\nThe drive to read and the filter"},
      {IDS_ACC_SOUND_OUTPUT, "Sound output device\nThe device that plays the samples"},
      {IDS_ACC_NORMALIZE, "Normalize exported audio\nRaise each exported sample to full level"},
      {IDS_ACC_DOUBLECLICK, "Double-click plays\nWhether a double-click plays a sample once or looped"},
      {IDS_ACC_OK, "OK\nKeep these preferences"},
      {IDS_ACC_CANCEL, "Cancel\nClose without changing the preferences"},
      {IDS_ACC_FORMAT_SF2, "Export programs as SoundFont banks\nWrite each exported program as a SoundFont 2 bank (.sf2)"},
      {IDS_ACC_FORMAT_SFZ, "Export programs as SFZ presets\nWrite each exported program as an SFZ preset (.sfz) beside its WAV files"},
      {IDS_ACC_FORMAT_DSPRESET, "Export programs as Decent Sampler presets\nWrite each exported program as a Decent Sampler preset (.dspreset) beside its WAV files"},
  };
  return table;
}

const char* Lookup(unsigned id) {
  const auto found = Table().find(id);
  return found == Table().end() ? "" : found->second;
}

}  // namespace

QString LoadText(unsigned id) { return QString::fromLatin1(Lookup(id)); }

QString CommandPrompt(unsigned id) { return LoadText(id).section('\n', 0, 0); }

QString CommandTip(unsigned id) { return LoadText(id).section('\n', 1); }

std::string FormatText(unsigned id, ...) {
  const char* format = Lookup(id);
  va_list arguments;
  va_start(arguments, id);
  va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

int ShowMessage(unsigned id, unsigned type) { return platform::MessageBox(Lookup(id), type); }

void DescribeForAccessibility(std::initializer_list<std::pair<QWidget*, unsigned>> widgets) {
  for (const auto& [widget, id] : widgets) {
    widget->setAccessibleName(CommandPrompt(id));
    widget->setAccessibleDescription(CommandTip(id));
  }
}
