// The block reader against the recording layer: the blocks it posts, and how it waits,
// prompts, retries and aborts.
#include <cstring>
#include <filesystem>
#include <vector>

#include "tests/cdrom/RecordingFixture.h"
#include "tests/support/VirtualDrives.h"

using namespace aspi;

namespace {

constexpr BYTE kReadFlags = SRB_DIR_IN | SRB_EVENT_NOTIFY;

TEST(CDReaderLoad, MissingLayerOrEntryPointsThrowCode1) {
  // Not there at all; there but without the two entry points (the SoundFont engine).
  for (const char* library : {"/nonexistent/libwnaspi32.so", "SFEDT32.DLL"}) {
    ExpectFailure(CDReaderException::kLayerMissing, 0, [&] { CDReader reader(library); });
  }
}

using CDReaderBlocks = RecordingFixture;

// A read larger than the adapter takes goes out as consecutive commands of at most its
// largest transfer, each into its part of the buffer; a layer that gives no figure gets
// 24-sector commands.
TEST_F(CDReaderBlocks, ReadsAreSplitByTheAdaptersLargestTransfer) {
  std::vector<uint8_t> buffer(100 * 2048);
  const struct {
    DWORD maxTransfer;
    std::vector<uint32_t> counts;
  } cases[] = {{64 * 1024, {32, 32, 32, 4}}, {0, {24, 24, 24, 24, 4}}, {1024 * 1024, {100}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.maxTransfer);
    reader = std::make_unique<CDReader>(RECORDING_LAYER_PATH);  // asks the adapter afresh
    layer->posts.clear();
    layer->maxTransfer = c.maxTransfer;
    reader->ReadSectors(1000, buffer.data(), 100);
    ASSERT_EQ(layer->posts.size(), c.counts.size());
    uint32_t lba = 1000;
    for (size_t i = 0; i < c.counts.size(); ++i) {
      const SRB_ExecSCSICmd& read = layer->posts[i].block;
      EXPECT_EQ(read.CDBByte[3] << 16 | read.CDBByte[4] << 8 | read.CDBByte[5], lba);
      EXPECT_EQ(read.CDBByte[8], c.counts[i]);
      EXPECT_EQ(read.SRB_BufLen, c.counts[i] * 2048);
      EXPECT_EQ(read.SRB_BufPointer, buffer.data() + (lba - 1000) * 2048);
      lba += c.counts[i];
    }
  }
}

TEST_F(CDReaderBlocks, ReadTocAndInquiryBlocksAreAsTabled) {
  std::vector<uint8_t> buffer(24 * 2048);
  reader->ReadSectors(0x12345, buffer.data(), 24);
  layer->fill = 0xFF;
  reader->ReadTOC();
  layer->fill = 0;
  reader->ReadTOC();  // cleared first: the layer writing nothing leaves zeros

  ASSERT_EQ(layer->posts.size(), 3u);
  const SRB_ExecSCSICmd& read = layer->posts[0].block;
  const BYTE readCdb[16] = {0x28, 0, 0, 0x01, 0x23, 0x45, 0, 0, 24, 0};
  EXPECT_EQ(std::memcmp(read.CDBByte, readCdb, sizeof readCdb), 0);
  EXPECT_EQ(read.SRB_BufLen, 49152u);
  EXPECT_EQ(read.SRB_BufPointer, buffer.data());
  const SRB_ExecSCSICmd& toc = layer->posts[2].block;
  const BYTE tocCdb[16] = {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0};
  EXPECT_EQ(std::memcmp(toc.CDBByte, tocCdb, sizeof tocCdb), 0);
  EXPECT_EQ(toc.SRB_BufLen, 804u);
  EXPECT_EQ(toc.SRB_BufPointer, reader->toc());
  for (const recording::Post& post : layer->posts) {
    EXPECT_EQ(post.block.SRB_Cmd, SC_EXEC_SCSI_CMD);
    EXPECT_EQ(post.block.SRB_Flags, kReadFlags);
    EXPECT_EQ(post.block.SRB_SenseLen, 14);
    EXPECT_EQ(post.block.SRB_CDBLen, 10);
  }
  for (uint32_t i = 0; i < CDReader::kTocSize; ++i) ASSERT_EQ(reader->toc()[i], 0) << i;

  // INQUIRY, sent to each CD-ROM found: a 6-byte CDB allowing the 96 bytes of its buffer.
  layer->posts.clear();
  layer->devices = {{0, 3, 0, DTYPE_CDROM, {}}};
  reader->EnumerateDrives();
  ASSERT_EQ(layer->posts.size(), 1u);
  const SRB_ExecSCSICmd& inquiry = layer->posts[0].block;
  const BYTE inquiryCdb[16] = {0x12, 0, 0, 0, 96, 0};
  EXPECT_EQ(std::memcmp(inquiry.CDBByte, inquiryCdb, sizeof inquiryCdb), 0);
  EXPECT_EQ(inquiry.SRB_CDBLen, 6);
  EXPECT_EQ(inquiry.SRB_BufLen, 96u);
  EXPECT_EQ(inquiry.SRB_Flags, kReadFlags);
  EXPECT_EQ(inquiry.SRB_Target, 3);
}

TEST_F(CDReaderBlocks, LbaBeyond24BitsIsRefusedWithoutPostOrPrompt) {
  uint8_t sector[2048];
  ExpectFailure(CDReaderException::kCommandFailed, SS_ERR, [&] { reader->ReadSectors(1u << 24, sector, 1); });
  EXPECT_TRUE(layer->posts.empty());
  EXPECT_TRUE(prompt.messages().empty());
}

using CDReaderWaits = RecordingFixture;

// How a command ends, by the layer's replies, quiet mode and the answers given.
struct WaitCase {
  const char* name;
  bool quiet;
  std::vector<int> answers;
  std::vector<recording::Reply> replies;
  size_t posts;
  size_t prompts;
  size_t aborts;
  int32_t status;  // 1 (SS_COMP): no exception
};

TEST_F(CDReaderWaits, WaitsPromptsRetriesAndAborts) {
  using recording::Reply;
  const Reply failed{SS_PENDING, SS_ERR, true};
  const Reply done{SS_PENDING, SS_COMP, true};
  const WaitCase cases[] = {
      // Never signalled: a wait would run out and abort.
      {"completed at once is not waited for", false, {}, {{SS_COMP, SS_COMP, false}}, 1, 0, 0, SS_COMP},
      {"quiet mode throws at once", true, {}, {failed}, 1, 0, 0, SS_ERR},
      {"Cancel throws the status", false, {platform::IDCANCEL}, {failed}, 1, 1, 0, SS_ERR},
      {"Retry posts again", false, {platform::IDRETRY}, {failed, done}, 2, 1, 0, SS_COMP},
      {"failing at once", false, {platform::IDCANCEL}, {{SS_ERR, SS_ERR, false}}, 1, 1, 0, SS_ERR},
      {"a wait that runs out aborts", false, {platform::IDCANCEL}, {{SS_PENDING, SS_PENDING, false}}, 1, 1, 1,
       SS_ABORTED},
  };
  CDReaderTestAccess::SetWait(*reader, 20);
  for (const WaitCase& c : cases) {
    SCOPED_TRACE(c.name);
    *layer = recording::State{};
    layer->replies.assign(c.replies.begin(), c.replies.end());
    testsupport::ScriptedPrompt answers;
    for (const int answer : c.answers) answers.Script({answer});
    reader->SetQuietMode(c.quiet);
    uint8_t sector[2048];
    if (c.status == SS_COMP) {
      reader->ReadSectors(7, sector, 1);
    } else {
      ExpectFailure(CDReaderException::kCommandFailed, c.status, [&] { reader->ReadSectors(7, sector, 1); });
    }
    EXPECT_EQ(layer->posts.size(), c.posts);
    ASSERT_EQ(layer->aborts.size(), c.aborts);
    for (const void* aborted : layer->aborts) EXPECT_EQ(aborted, layer->posts[0].address);
    ASSERT_EQ(answers.messages().size(), c.prompts);
    for (const testsupport::ShownMessage& m : answers.messages()) {
      EXPECT_EQ(m.text, "Device not responding. Try again?");
      EXPECT_EQ(m.type, platform::MB_RETRYCANCEL | platform::MB_ICONEXCLAMATION);
    }
    // A retry posts the same block, with the same event, reset again.
    for (const recording::Post& post : layer->posts) {
      EXPECT_EQ(post.address, layer->posts[0].address);
      EXPECT_EQ(post.block.SRB_PostProc, layer->posts[0].block.SRB_PostProc);
      EXPECT_EQ(std::memcmp(post.block.CDBByte, layer->posts[0].block.CDBByte, 16), 0);
      EXPECT_TRUE(post.eventWasReset);
    }
  }
}

TEST_F(CDReaderWaits, AkaiDiscTestReadsSectorZeroAndUnreadableThrows) {
  layer->fill = 0;
  EXPECT_FALSE(reader->IsAkaiDisc());
  EXPECT_EQ(layer->posts.back().block.CDBByte[5], 0);
  layer->replies = {{SS_PENDING, SS_ERR, true}};
  reader->SetQuietMode(true);
  ExpectFailure(CDReaderException::kCommandFailed, SS_ERR, [&] { reader->IsAkaiDisc(); });
}

// Against the real layer: a command held by the drive outlasts the wait, is aborted,
// and the retry the user chooses reads the sector.
TEST(CDReaderOverLayer, HeldCommandIsAbortedAndRetried) {
  const char letter = MountImage(testsupport::FourSectorImage(), 0);
  testsupport::SetDriveFault(letter, 1, SS_PENDING);
  testsupport::ScriptedPrompt prompt;  // answers Retry
  {
    CDReader reader;
    CDReaderTestAccess::SetWait(reader, 50);
    reader.EnumerateDrives();  // its INQUIRY is the held command
    reader.SelectDevice(letter);
    uint8_t sector[2048] = {};
    reader.ReadSectors(2, sector, 1);
    EXPECT_EQ(sector[2047], 2);
  }
  EXPECT_EQ(prompt.messages().size(), 1u);
  UnmountDrive(letter);
}

// Against the real layer: a virtual drive whose image is cut short or missing ends the
// read at once, without the retry prompt (trying again cannot help), and says which.
TEST(CDReaderOverLayer, ImageFaultsOfVirtualDrivesAreNotOfferedForRetry) {
  const struct {
    uint32_t lba;
    bool removeImage;
    CDReader::ImageFault fault;
  } cases[] = {{10, false, CDReader::ImageFault::kPastEnd}, {0, true, CDReader::ImageFault::kMissing}};
  for (const auto& c : cases) {
    const std::filesystem::path image = testsupport::FourSectorImage();
    const char letter = MountImage(image, 0);
    if (c.removeImage) std::filesystem::remove(image);
    testsupport::ScriptedPrompt prompt;
    {
      CDReader reader;
      reader.EnumerateDrives();
      reader.SelectDevice(letter);
      uint8_t sector[2048] = {};
      ExpectFailure(CDReaderException::kCommandFailed, SS_ERR, [&] { reader.ReadSectors(c.lba, sector, 1); });
      EXPECT_EQ(reader.lastImageFault(), c.fault) << c.lba;
      if (!c.removeImage) {
        reader.ReadSectors(3, sector, 1);
        EXPECT_EQ(reader.lastImageFault(), CDReader::ImageFault::kNone);
      }
    }
    EXPECT_TRUE(prompt.messages().empty());
    UnmountDrive(letter);
  }
}

}  // namespace
