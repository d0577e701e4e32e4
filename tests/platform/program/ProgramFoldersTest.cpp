#include "platform/program/ProgramFolders.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file) {
  std::string line;
  std::getline(std::ifstream(file), line);
  return line;
}

// The help is found beside the program (build tree, installations in the machine)
// before the installed tree's data folder; a missing file is named beside the program.
TEST(ProgramDataFileTest, BesideTheProgramThenTheInstalledDataFolder) {
  const struct {
    const char* name;
    const char* content;  // "" for a file that exists nowhere
  } cases[] = {{"both-data.txt", "beside"}, {"installed-data.txt", "installed"}, {"missing-data.txt", ""}};
  for (const auto& entry : cases) {
    SCOPED_TRACE(entry.name);
    const fs::path file = ProgramDataFile(entry.name);
    EXPECT_EQ(FirstLine(file), entry.content);
    if (*entry.content == '\0') {
      EXPECT_EQ(file, ProgramFolder() / entry.name);
    }
  }
}

}  // namespace
}  // namespace platform
