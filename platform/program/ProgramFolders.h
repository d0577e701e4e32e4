#pragma once
// Where a Carvox program finds the files it loads at run time. The same rules serve
// the build tree (everything in one folder), an installed or unpacked tree (programs in
// bin/, run-time-loaded libraries in lib/carvox/, data in share/carvox/, found relative
// to the program, so the tree works wherever it lies) and the programs the setup program
// puts into the machine (libraries and help beside the program).

#include <filesystem>
#include <vector>

namespace platform {

// The running program's folder; empty if the system cannot tell.
std::filesystem::path ProgramFolder();

// The folders to search for a run-time-loaded library, in order: the program's folder,
// then the installed tree's library folder relative to it.
std::vector<std::filesystem::path> ProgramLibraryFolders();

// The file `name` among the program's data: beside the program, else in the installed
// tree's data folder relative to it. When neither holds it, the path beside the program,
// so that a message can name where it was looked for.
std::filesystem::path ProgramDataFile(const std::filesystem::path& name);

}  // namespace platform
