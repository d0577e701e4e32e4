// File and folder names of the export.
#include <gtest/gtest.h>

#include "export/ExportNames.h"

namespace {

TEST(ExportNames, FilesAreNamedAfterTheItemInLowerCaseWithoutTrailingBlanks) {
  EXPECT_EQ(ExportBaseName("PIANO C3   "), "piano c3");
  EXPECT_EQ(ExportBaseName("  LEAD #2"), "  lead #2");
  EXPECT_EQ(ExportBaseName("   "), "");
}

TEST(ExportNames, PartitionFolders) {
  EXPECT_EQ(PartitionFolderName(0), "A");
  EXPECT_EQ(PartitionFolderName(25), "Z");
  EXPECT_EQ(PartitionFolderName(26), "26");  // '[' is no folder name for people
  EXPECT_EQ(PartitionFolderName(32), "32");  // 'a' would clash with 'A' on some file systems
}

TEST(ExportNames, VolumeFoldersAreSafeAndDistinct) {
  EXPECT_EQ(VolumeFolderNames({".", "..", "", ".HIDDEN", "A/B", "PIANO", "PIANO", "piano", "_."}),
            (std::vector<std::string>{"_.", "_..", "_", "_.HIDDEN", "A_B", "PIANO", "PIANO (2)", "piano (3)",
                                      "_. (2)"}));
  EXPECT_EQ(VolumeFolderNames({"DRUMS", "KEYS #1", "A+B-C.D"}),
            (std::vector<std::string>{"DRUMS", "KEYS #1", "A+B-C.D"}));
}

}  // namespace
