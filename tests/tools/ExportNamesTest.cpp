// File and folder names of the export.
#include <gtest/gtest.h>

#include "tools/cli/ExportNames.h"

namespace {

TEST(ExportNames, FilesAreNamedAfterTheItemInLowerCaseWithoutTrailingBlanks) {
  EXPECT_EQ(cli::ExportBaseName("PIANO C3   "), "piano c3");
  EXPECT_EQ(cli::ExportBaseName("  LEAD #2"), "  lead #2");
  EXPECT_EQ(cli::ExportBaseName("   "), "");
}

TEST(ExportNames, PartitionFolders) {
  EXPECT_EQ(cli::PartitionFolderName(0), "A");
  EXPECT_EQ(cli::PartitionFolderName(25), "Z");
  EXPECT_EQ(cli::PartitionFolderName(26), "26");  // '[' is no folder name for people
  EXPECT_EQ(cli::PartitionFolderName(32), "32");  // 'a' would clash with 'A' on some file systems
}

TEST(ExportNames, VolumeFoldersAreSafeAndDistinct) {
  EXPECT_EQ(cli::VolumeFolderNames({".", "..", "", ".HIDDEN", "A/B", "PIANO", "PIANO", "piano", "_."}),
            (std::vector<std::string>{"_.", "_..", "_", "_.HIDDEN", "A_B", "PIANO", "PIANO (2)", "piano (3)",
                                      "_. (2)"}));
  EXPECT_EQ(cli::VolumeFolderNames({"DRUMS", "KEYS #1", "A+B-C.D"}),
            (std::vector<std::string>{"DRUMS", "KEYS #1", "A+B-C.D"}));
}

}  // namespace
