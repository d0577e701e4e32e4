#include "app/Strings.h"

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
      {IDS_NOT_AKAI, "This CD does'nt semm to be a valid AKAI S1000 or S3000 CD."},
      {IDS_RESTART, "You have to restart the program\nfor your changes to become effective"},
      {IDS_MENU_PLAY, "Play"},
      {IDS_MENU_PLAY_LOOPED, "Play looped"},
      {IDS_MENU_EXPORT, "Export..."},
      {IDS_NO_SOUND_DEVICE, "ERROR: could not open DirectSound driver!\nTerminating program."},
      {IDS_WRONG_WINDOWS, "This product requires Microsoft Windows95 or Windows98"},
      {IDS_NO_CD_LAYER, "The CD-ROM access layer is not installed.\nCarvox cannot read CD-ROMs."},
      {IDS_SAMPLE_HEADER_FAILED, "Could not read the header of sample %s"},
      {IDS_SAMPLE_NOT_EXPORTED, "Could not load sample %s: not exported"},
      {IDS_EXPORT_FAILED, "Export failed: %s"},
      {IDS_HELP_MISSING, "The help file %s is missing."},
      {IDS_MOUNT_TITLE, "Mount Disc Image"},
      {IDS_DISC_IMAGES, "Disc images (*.iso *.img *.bin);;All files (*)"},
      {IDS_MOUNT_FAILED, "Could not mount the disc image:\n%s"},
      {ID_SAMPLE_STOP, "stop sample playback\nstop"},
      {ID_SAMPLE_LOOP, "play sample looped\nloop"},
      {ID_SAMPLE_PLAY, "play sample one-shot\nplay"},
      {ID_FILE_EXPORT, "export programs as .SF2 / samples as .WAV\nexport"},
      {ID_FILE_PREFERENCES, "change settings and preferences\npreferences"},
      {ID_FILE_MOUNT_IMAGE, "mount a disc image in a free drive\nmount image"},
      {ID_APP_EXIT, "quit the application\nexit"},
      {ID_HELP_FINDER, "show help topics\nhelp topics"},
      {ID_VIEW_TOOLBAR, "show or hide the toolbar\ntoggle tool bar"},
      {ID_VIEW_STATUS_BAR, "show or hide the status bar\ntoggle status bar"},
      {ID_APP_ABOUT, "show the program's version\nabout"},
      {IDS_MENU_FILE, "&File"},
      {IDS_MENU_FILE_EXPORT, "Export WAV / SF2..."},
      {IDS_MENU_FILE_PREFERENCES, "Preferences..."},
      {IDS_MENU_FILE_MOUNT, "Mount Disc Image..."},
      {IDS_MENU_FILE_EXIT, "E&xit"},
      {IDS_MENU_VIEW, "&View"},
      {IDS_MENU_VIEW_TOOLBAR, "&Toolbar"},
      {IDS_MENU_VIEW_STATUS_BAR, "&Status Bar"},
      {IDS_MENU_HELP, "&Help"},
      {IDS_MENU_HELP_TOPICS, "Topics"},
      {IDS_MENU_HELP_ABOUT, "&About Carvox..."},
      {IDS_DRIVE_LABEL, "Drive:"},
      {IDS_REFRESH, "Refresh"},
      {IDS_DRIVE_ENTRY, "%c:  %s %s"},
      {IDS_ABOUT_TITLE, "About Carvox"},
      {IDS_ABOUT_VERSION, "Carvox Version %s"},
      {IDS_ABOUT_LINES, "Reads AKAI S1000 and S3000 CD-ROMs,\nplays their samples and exports WAV files and SoundFont banks."},
      {IDS_OK, "OK"},
      {IDS_CANCEL, "Abbrechen"},
      {IDS_PREFERENCES_TITLE, "Preferences"},
      {IDS_DSOUND_DRIVER, "DirectSound Driver:"},
      {IDS_NORMALIZE, "Normalize exported Audio"},
      {IDS_DOUBLECLICK_PLAYS, "Doubleclick plays"},
      {IDS_DOUBLECLICK_NORMAL, "normal"},
      {IDS_DOUBLECLICK_LOOPED, "looped"},
      {IDS_EXPORTING, "Exporting..."},
      {IDS_EXPORTING_ITEM, "Exporting %s..."},
      {IDS_SELECT_DESTINATION, "Select the Destination Directory:"},
      {IDS_HELP_TITLE, "Carvox Help"},
      {IDS_COLUMN_BANK, "Bank"},
      {IDS_COLUMN_PARTITION, "Partition"},
      {IDS_PARTITION_CELL, "Partition %c"},
      {IDS_COLUMN_NAME, "Name"},
      {IDS_COLUMN_SIZE, "Size"},
      {IDS_COLUMN_TYPE, "Type"},
      {IDS_COLUMN_FREQ, "Freq"},
      {IDS_COLUMN_LENGTH, "Length"},
      {IDS_COLUMN_LOOP, "Loop"},
      {IDS_TYPE_PROGRAM, "Program"},
      {IDS_TYPE_SAMPLE, "Sample"},
      {IDS_FREQ_CELL, "%d Hz"},
      {IDS_LOOP_YES, "yes"},
      {IDS_SIZE_BYTES, "%d Bytes"},
      {IDS_SIZE_KB, "%.1f kB"},
      {IDS_SIZE_SMALL_MB, "%.2f MB"},
      {IDS_SIZE_MB, "%.1f MB"},
      {IDS_DURATION_HOURS, "%02dh:%02dm:%02d.%03ds"},
      {IDS_DURATION_MINUTES, "%02dm:%02d.%03ds"},
      {IDS_DURATION_SECONDS, "%2d.%03ds"},
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
