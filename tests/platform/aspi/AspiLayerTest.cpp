// The layer's core over a virtual drive: statuses and sense of each command, a fault
// injected through the drive table, and the drive table's refusals; the abort of a
// running command over an adapter of the test's.
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <future>
#include <vector>

#include "platform/aspi/AspiLayer.h"
#include "platform/registry/SystemInfo.h"
#include "tests/support/VirtualDrives.h"

using namespace aspi;

namespace {

namespace fs = std::filesystem;

using testsupport::FourSectorImage;

struct Command {
  SRB_ExecSCSICmd srb{};
  BYTE data[4 * 2048] = {};
  explicit Command(std::initializer_list<BYTE> cdb, BYTE target = 0, BYTE adapter = 0) {
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = adapter;
    srb.SRB_Target = target;
    srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
    srb.SRB_BufLen = sizeof data;
    srb.SRB_BufPointer = data;
    srb.SRB_SenseLen = SENSE_LEN;
    srb.SRB_CDBLen = static_cast<BYTE>(cdb.size());
    std::copy(cdb.begin(), cdb.end(), srb.CDBByte);
    srb.SRB_PostProc = platform::CreateEventA(nullptr, platform::TRUE, platform::FALSE, nullptr);
  }
  ~Command() { platform::CloseHandle(srb.SRB_PostProc); }
  // Posts and waits for the layer's signal; the status returned at once otherwise.
  BYTE Run(Layer& layer) {
    const DWORD returned = layer.Send(&srb);
    if (returned != SS_PENDING) return static_cast<BYTE>(returned);
    platform::WaitForSingleObject(srb.SRB_PostProc, platform::INFINITE);
    return srb.SRB_Status;
  }
  int Sense() const { return srb.SenseArea[2] << 16 | srb.SenseArea[12] << 8 | srb.SenseArea[13]; }
};

// Held commands and their abort are tested through the reader (tests/cdrom).
TEST(AspiLayer, CommandsOnAVirtualDrive) {
  const char letter = MountImage(FourSectorImage(), 0);
  testsupport::SetDriveFault(letter, 1, SS_ERR);
  Layer layer;
  EXPECT_EQ(layer.SupportInfo(), 0x102u);  // SS_COMP, two host adapters
  const struct {
    const char* name;
    std::initializer_list<BYTE> cdb;
    BYTE target, adapter, status;
    int sense;
  } cases[] = {
      {"injected fault", {SCSI_READ10, 0, 0, 0, 0, 1, 0, 0, 2, 0}, 0, 0, SS_ERR, 0x044400},
      {"read", {SCSI_READ10, 0, 0, 0, 0, 1, 0, 0, 2, 0}, 0, 0, SS_COMP, 0},
      {"past the end", {SCSI_READ10, 0, 0, 0, 0, 3, 0, 0, 2, 0}, 0, 0, SS_ERR, 0x052100},
      {"write refused", {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 0, 0, SS_ERR, 0x052000},
      {"no such adapter", {SCSI_INQUIRY, 0, 0, 0, 96, 0}, 0, 7, SS_INVALID_HA, 0},
      {"no such target", {SCSI_INQUIRY, 0, 0, 0, 96, 0}, 9, 0, SS_NO_DEVICE, 0},
  };
  std::vector<std::string> replies;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Command command(c.cdb, c.target, c.adapter);
    EXPECT_EQ(command.Run(layer), c.status);
    EXPECT_EQ(command.Sense(), c.sense);
    replies.emplace_back(reinterpret_cast<const char*>(command.data), 32);
  }
  EXPECT_EQ(replies[1], std::string(32, 1));
  // With nothing queued an image's command runs on the caller's thread: its final
  // status comes back at once and its event is signalled, as a waiting caller expects.
  Command read({SCSI_READ10, 0, 0, 0, 0, 1, 0, 0, 2, 0});
  EXPECT_EQ(layer.Send(&read.srb), SS_COMP);
  EXPECT_EQ(platform::WaitForSingleObject(read.srb.SRB_PostProc, 0), platform::WAIT_OBJECT_0);
  SRB_Header unknown{9, 0, 0, 0, 0};
  EXPECT_EQ(layer.Send(&unknown), SS_INVALID_CMD);

  // The largest transfer of each adapter: an image takes any, a real drive's host 64 KiB.
  const std::pair<BYTE, DWORD> transfers[] = {{0, 1024 * 1024}, {1, 64 * 1024}};
  for (const auto& [adapter, bytes] : transfers) {
    SRB_HAInquiry inquiry{};
    inquiry.SRB_Cmd = SC_HA_INQUIRY;
    inquiry.SRB_HaId = adapter;
    ASSERT_EQ(layer.Send(&inquiry), SS_COMP);
    EXPECT_EQ(inquiry.HA_Count, 2);
    DWORD reported = 0;
    std::memcpy(&reported, inquiry.HA_Unique + kMaxTransferOffset, sizeof reported);
    EXPECT_EQ(reported, bytes);
  }
  SRB_HAInquiry beyond{};
  beyond.SRB_Cmd = SC_HA_INQUIRY;
  beyond.SRB_HaId = 2;
  EXPECT_EQ(layer.Send(&beyond), SS_INVALID_HA);
  UnmountDrive(letter);
}

// One device whose commands tell when they run, then run until the test lets them end.
std::promise<void> running;
std::promise<void> release;

class GatedAdapter : public HostAdapter {
 public:
  std::vector<Device>& devices() override { return devices_; }
  const std::vector<std::string>& problems() const override { return problems_; }
  BYTE Execute(const Device&, SRB_ExecSCSICmd& srb) override {
    running.set_value();
    release.get_future().wait();
    return CompleteGood(srb);
  }

 private:
  std::vector<Device> devices_{Device{}};
  std::vector<std::string> problems_;
};

const AdapterEntry kGatedAdapters[] = {
    {"gated", [](const DriveTable&) -> std::unique_ptr<HostAdapter> { return std::make_unique<GatedAdapter>(); }}};

// The caller frees the block once the abort returns: the command must have ended by then.
TEST(AspiLayer, AbortOfARunningCommandWaitsForItsEnd) {
  Layer layer(kGatedAdapters);
  layer.SupportInfo();
  Command command({SCSI_INQUIRY, 0, 0, 0, 96, 0});
  ASSERT_EQ(layer.Send(&command.srb), SS_PENDING);
  running.get_future().wait();
  SRB_Abort abort{};
  abort.SRB_Cmd = SC_ABORT_SRB;
  abort.SRB_ToAbort = &command.srb;
  auto statusWhenAborted = std::async(std::launch::async, [&] {
    layer.Send(&abort);
    return command.srb.SRB_Status;
  });
  // An abort that returned while the command runs would be seen here; then it ends.
  statusWhenAborted.wait_for(std::chrono::milliseconds(200));
  release.set_value();
  EXPECT_EQ(statusWhenAborted.get(), SS_COMP);
  EXPECT_EQ(abort.SRB_Status, SS_ABORT_FAIL);
}

TEST(DriveTable, RefusalsGarbageAndPublishedLetters) {
  const fs::path image = FourSectorImage();
  const char first = MountImage(image, 0);
  EXPECT_NE(platform::GetLogicalDrives() & (1u << (first - 'A')), 0u);
  const fs::path hive = fs::path(std::getenv("CARVOX_MACHINE")) / "registry.reg";
  struct stat before {}, after {};
  ::stat(hive.c_str(), &before);
  Layer().SupportInfo();  // nothing changed: nothing written
  ::stat(hive.c_str(), &after);
  EXPECT_EQ(before.st_ino, after.st_ino);

  const fs::path fifo = image.parent_path() / "fifo.iso";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // opening it must not wait for a writer
  const struct {
    fs::path image;
    char letter;
    const char* error;
  } refusals[] = {
      {image.parent_path() / "missing.iso", 0, "No such file"}, {image.parent_path(), 0, "not a file"},
      {fifo, 0, "not a file"},
      {image, 'c', "C: is the machine's own drive"},           {image, 'Z', "Z: is the machine's own drive"},
      {image, first, "already in use"},                          {image, '7', "not a drive letter"},
  };
  for (const auto& r : refusals) {
    try {
      MountImage(r.image, r.letter);
      ADD_FAILURE() << r.error;
    } catch (const DriveTableError& e) {
      EXPECT_NE(std::string(e.what()).find(r.error), std::string::npos) << e.what();
    }
  }
  std::vector<char> letters{first};
  while (letters.size() < kMaxVirtualDrives) letters.push_back(MountImage(image, 0));
  EXPECT_THROW(MountImage(image, 0), DriveTableError);
  for (const char letter : letters) UnmountDrive(letter);
  EXPECT_EQ(platform::GetLogicalDrives() & (1u << (first - 'A')), 0u);
  EXPECT_THROW(UnmountDrive(first), DriveTableError);

  // Entries that make no sense are left out, each with its reason.
  for (const char* name : {"1", "DE", "E", "C"}) {
    testsupport::SetMachineString(std::string(kDriveTableKey) + "\\" + name, "Image", "x");
  }
  const DriveTable table = ReadDriveTable();
  EXPECT_TRUE(table.drives.empty());
  EXPECT_EQ(table.problems.size(), 4u);
}

}  // namespace
