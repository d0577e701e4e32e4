#include "platform/library/Library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/machine/Machine.h"
#include "platform/sync/Sync.h"
#include "tests/support/TestPaths.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

using FixtureAddFunction = int (*)(int, int);
using FixtureEntryFunction = int (*)(uint32_t version, int* variant);
using FixtureSetEventFunction = int (*)(HANDLE event);
using FixtureStartThreadFunction = HANDLE (*)(HANDLE go);

const fs::path kFixture = LOADER_FIXTURE;               // variant 1
const fs::path kFixtureBeside = LOADER_FIXTURE_BESIDE;  // variant 2, in the program folder
const fs::path kFixtureInstalled = LOADER_FIXTURE_INSTALLED;  // variant 3, in ../lib/carvox

fs::path Place(const fs::path& library, const fs::path& folder, const std::string& name) {
  fs::copy_file(library, folder / name, fs::copy_options::overwrite_existing);
  return folder / name;
}

fs::path PlaceInSystemFolder(const std::string& name, const fs::path& library = kFixture) {
  return Place(library, SystemFolderHostPath(), name);
}

int VariantOf(HMODULE module) {
  const auto* variant = static_cast<const int*>(GetProcAddress(module, "FixtureVariant"));
  return variant ? *variant : 0;
}

bool IsLoaded(const fs::path& file) {
  void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) ::dlclose(handle);
  return handle != nullptr;
}

std::string Upper(std::string text) {
  std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

TEST(LookupTest, FindsTheNameAsGivenWhateverItsCase) {
  PlaceInSystemFolder("Alpha32.Dll");
  HMODULE module = LoadLibraryA("ALPHA32.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(LoadLibraryA("alpha32.dll"), module) << "the same file is the same module";
  EXPECT_EQ(FreeLibrary(module), TRUE);
  EXPECT_EQ(FreeLibrary(module), TRUE);
}

TEST(LookupTest, FindsLibStemSo) {
  PlaceInSystemFolder("libbeta32.so");
  HMODULE module = LoadLibraryA("BETA32.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(LoadLibraryA("Beta32"), module) << "a name without extension has the same stem";
  FreeLibrary(module);
  FreeLibrary(module);
}

TEST(LookupTest, NameWithoutExtensionIsAlsoTriedAsDll) {
  PlaceInSystemFolder("GAMMA.DLL");
  HMODULE module = LoadLibraryA("gamma");
  ASSERT_NE(module, nullptr);
  FreeLibrary(module);
  EXPECT_EQ(LoadLibraryA("gamma."), nullptr) << "a trailing dot asks for no extension";
}

TEST(LookupTest, NameAsGivenComesBeforeLibStemSo) {
  PlaceInSystemFolder("DELTA.DLL", kFixture);
  PlaceInSystemFolder("libdelta.so", kFixtureBeside);
  HMODULE module = LoadLibraryA("DELTA.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(VariantOf(module), 1);
  FreeLibrary(module);
}

TEST(LookupTest, ProgramFolderComesBeforeSystemFolder) {
  ASSERT_EQ(kFixtureBeside.parent_path(), fs::read_symlink("/proc/self/exe").parent_path());
  PlaceInSystemFolder(kFixtureBeside.filename().string(), kFixture);
  HMODULE module = LoadLibraryA("LOADERFIXTUREBESIDE.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(VariantOf(module), 2) << "the copy beside the program wins";
  FreeLibrary(module);
}

// An installed tree keeps its libraries in lib/carvox beside bin/: a program run from
// anywhere finds them there, before the machine's system folder.
TEST(LookupTest, InstalledTreeFolderComesBeforeSystemFolder) {
  PlaceInSystemFolder(kFixtureInstalled.filename().string(), kFixture);
  HMODULE module = LoadLibraryA("LoaderFixtureInstalled.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(VariantOf(module), 3) << "the copy in the installed tree's library folder wins";
  FreeLibrary(module);
}

TEST(LookupTest, UnloadableFileDoesNotHideALaterCandidate) {
  std::ofstream(SystemFolderHostPath() / "EPSILON.DLL") << "MZ not a library for this host";
  PlaceInSystemFolder("libepsilon.so");
  HMODULE module = LoadLibraryA("EPSILON.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(VariantOf(module), 1);
  FreeLibrary(module);

  std::ofstream(SystemFolderHostPath() / "ZETA.DLL") << "MZ not a library for this host";
  EXPECT_EQ(LoadLibraryA("ZETA.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
}

TEST(LookupTest, MissingLibraryFails) {
  EXPECT_EQ(LoadLibraryA("NOSUCH32.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryA("libc.so.6"), nullptr) << "the host's library path is not searched";
  EXPECT_EQ(LoadLibraryA(""), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(LoadLibraryA("/no/such/library.so"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryA("Q:\\nosuchdrive\\x.dll"), nullptr);
  EXPECT_EQ(LoadLibraryA("C:\\..\\..\\x.dll"), nullptr) << "a path leaving its drive is refused";
}

TEST(LookupTest, LoadsByHostPathAndByWindowsPath) {
  const fs::path file = Place(kFixture, testsupport::FreshFolder("bypath"), "Eta.dll");
  HMODULE module = LoadLibraryA(file.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(LoadLibraryA(Upper(ToWindowsPath(file)).c_str()), module)
      << "a Windows path is matched without regard to case";
  FreeLibrary(module);
  FreeLibrary(module);

  PlaceInSystemFolder("theta.dll");
  module = LoadLibraryA("c:\\windows\\SYSTEM32\\THETA.DLL");
  ASSERT_NE(module, nullptr);
  FreeLibrary(module);
}

TEST(ExportTest, FunctionAndDataExports) {
  HMODULE module = LoadLibraryA(kFixture.c_str());
  ASSERT_NE(module, nullptr);
  const auto add = reinterpret_cast<FixtureAddFunction>(GetProcAddress(module, "FixtureAdd"));
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add(2, 3), 5);

  // A data export holding the entry function, used as the engine's export is.
  const auto* entry = static_cast<FixtureEntryFunction*>(GetProcAddress(module, "FixtureEntry"));
  ASSERT_NE(entry, nullptr);
  int variant = 0;
  EXPECT_EQ((*entry)(1, &variant), 0);
  EXPECT_EQ(variant, 1);
  FreeLibrary(module);
}

TEST(ExportTest, MissingExportsAreNotFound) {
  HMODULE module = LoadLibraryA(kFixture.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(module, "fixtureadd"), nullptr) << "export names are case-sensitive";
  EXPECT_EQ(GetProcAddress(module, "malloc"), nullptr) << "not an export of this library";
  EXPECT_EQ(GetProcAddress(module, reinterpret_cast<const char*>(1)), nullptr) << "no ordinals";
  FreeLibrary(module);
}

TEST(FreeLibraryTest, LastFreeUnloadsAndStaleHandlesAreRefused) {
  const fs::path file = Place(kFixture, testsupport::FreshFolder("free"), "iota.dll");
  HMODULE module = LoadLibraryA(file.c_str());
  ASSERT_NE(module, nullptr);
  ASSERT_EQ(LoadLibraryA(file.c_str()), module);
  EXPECT_EQ(FreeLibrary(module), TRUE);
  EXPECT_TRUE(IsLoaded(file)) << "one reference is left";
  EXPECT_EQ(FreeLibrary(module), TRUE);
  EXPECT_FALSE(IsLoaded(file));

  EXPECT_EQ(GetProcAddress(module, "FixtureAdd"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(FreeLibrary(module), FALSE);
  EXPECT_EQ(FreeLibrary(nullptr), FALSE);
}

// The library links its own copy of the sync code, as a run-time-loaded layer that
// signals the program's events does; both copies must work on the same handles.
TEST(SyncAcrossLibraryTest, LibrarySignalsProgramEventsAndProgramWaitsOnLibraryThreads) {
  HMODULE module = LoadLibraryA(kFixture.c_str());
  ASSERT_NE(module, nullptr);
  const auto setEvent = reinterpret_cast<FixtureSetEventFunction>(GetProcAddress(module, "FixtureSetEvent"));
  const auto startThread =
      reinterpret_cast<FixtureStartThreadFunction>(GetProcAddress(module, "FixtureStartThread"));
  ASSERT_NE(setEvent, nullptr);
  ASSERT_NE(startThread, nullptr);

  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(setEvent(event), TRUE);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);

  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = startThread(go);
  ASSERT_NE(thread, nullptr);
  HANDLE waited[] = {event, thread};
  EXPECT_EQ(WaitForMultipleObjects(2, waited, FALSE, 10), WAIT_TIMEOUT);
  SetEvent(go);
  EXPECT_EQ(WaitForMultipleObjects(2, waited, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
  CloseHandle(thread);  // before the library that made it goes
  CloseHandle(go);
  CloseHandle(event);
  FreeLibrary(module);
}

}  // namespace
}  // namespace platform
