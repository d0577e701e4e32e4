// Host adapter 0: one virtual CD-ROM drive per disc image of the machine's drive table.
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/aspi/HostAdapter.h"
#include "platform/discimage/DiscImage.h"

namespace aspi {
namespace {

constexpr uint32_t kSectorSize = discimage::kDataSectorSize;
constexpr DWORD kVirtualTransferBytes = 1024 * 1024;

enum class ImageRead { kDone, kPastEnd, kFailed };

// The disc in a virtual drive: any image the disc-image library reads (2048-byte
// sectors, raw 2352-byte sectors, a cue sheet). Opened on the first command that needs
// it, so that an image that appears later is found; a missing image is a drive without
// a disc.
class DiscImage {
 public:
  explicit DiscImage(std::string path) : path_(std::move(path)) {}

  bool Present() {
    if (file_) return true;
    try {
      file_ = std::make_unique<discimage::DiscImageFile>(path_);
    } catch (const discimage::OpenError&) {
      return false;
    }
    return true;
  }

  uint32_t SectorCount() const {
    return static_cast<uint32_t>(std::min<uint64_t>(file_->dataBytes() / kSectorSize, 0xFFFFFFFF));
  }

  // The one place the image is read: every byte of the sectors, or nothing.
  ImageRead Read(uint32_t lba, uint32_t count, BYTE* buffer) const {
    if (uint64_t{lba} + count > SectorCount()) return ImageRead::kPastEnd;
    return file_->ReadSectors(lba, buffer, count) ? ImageRead::kDone : ImageRead::kFailed;
  }

 private:
  std::string path_;
  std::unique_ptr<discimage::DiscImageFile> file_;
};

uint32_t BigEndian(const BYTE* bytes, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
  return value;
}

void PutBigEndian32(BYTE* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(value >> (24 - 8 * i));
}

class VirtualDriveAdapter : public HostAdapter {
 public:
  explicit VirtualDriveAdapter(const DriveTable& table) : problems_(table.problems) {
    for (const VirtualDrive& drive : table.drives) {
      Device device;
      device.drive = {drive.letter, kVirtualAdapter, drive.target, 0,
                      VirtualVendor(),  VirtualProduct(drive.letter), VirtualRevision()};
      device.failCount = drive.failCount;
      device.failStatus = drive.failStatus;
      devices_.push_back(device);
      images_.push_back(std::make_unique<DiscImage>(drive.image));
    }
  }

  std::vector<Device>& devices() override { return devices_; }
  const std::vector<std::string>& problems() const override { return problems_; }
  // An image is read straight into the caller's buffer, whatever its size.
  DWORD MaxTransferBytes() const override { return kVirtualTransferBytes; }
  bool AnswersAtOnce() const override { return true; }

  BYTE Execute(const Device& device, SRB_ExecSCSICmd& srb) override {
    DiscImage& image = *images_[static_cast<size_t>(&device - devices_.data())];
    switch (srb.CDBByte[0]) {
      case SCSI_INQUIRY: return ReplyInquiry(device.drive, srb);
      case SCSI_READ_TOC:
        if (!image.Present()) return CompleteWithSense(srb, SENSE_NOT_READY, 0x3A, 0);
        return ReplyToc(image, srb);
      case SCSI_READ10:
        if (!image.Present()) return CompleteWithSense(srb, SENSE_NOT_READY, 0x3A, 0);
        return ReadSectors(image, srb);
      default: return CompleteWithSense(srb, SENSE_ILLEGAL_REQUEST, 0x20, 0);  // invalid command
    }
  }

 private:
  // One data track from sector 0, then the lead-out.
  static BYTE ReplyToc(const DiscImage& image, SRB_ExecSCSICmd& srb) {
    BYTE toc[20] = {0, 18, 1, 1};
    toc[5] = 0x14;  // data track, recorded uninterrupted
    toc[6] = 1;
    toc[13] = 0x14;
    toc[14] = 0xAA;  // lead-out
    PutBigEndian32(toc + 16, image.SectorCount());
    const size_t allocation = BigEndian(srb.CDBByte + 7, 2);
    std::memcpy(srb.SRB_BufPointer, toc, std::min({allocation, size_t{srb.SRB_BufLen}, sizeof toc}));
    return CompleteGood(srb);
  }

  static BYTE ReadSectors(const DiscImage& image, SRB_ExecSCSICmd& srb) {
    const uint32_t lba = BigEndian(srb.CDBByte + 2, 4);
    const uint32_t count = BigEndian(srb.CDBByte + 7, 2);
    if (uint64_t{count} * kSectorSize > srb.SRB_BufLen) {
      return CompleteWithSense(srb, SENSE_ILLEGAL_REQUEST, 0x24, 0);  // invalid field in CDB
    }
    switch (image.Read(lba, count, srb.SRB_BufPointer)) {
      case ImageRead::kDone: return CompleteGood(srb);
      case ImageRead::kPastEnd: return CompleteWithSense(srb, SENSE_ILLEGAL_REQUEST, 0x21, 0);
      case ImageRead::kFailed: break;
    }
    return CompleteWithSense(srb, SENSE_MEDIUM_ERROR, 0x11, 0);  // unrecovered read error
  }

  std::vector<Device> devices_;
  std::vector<std::unique_ptr<DiscImage>> images_;
  std::vector<std::string> problems_;
};

}  // namespace

std::unique_ptr<HostAdapter> CreateVirtualDriveAdapter(const DriveTable& table) {
  return std::make_unique<VirtualDriveAdapter>(table);
}

}  // namespace aspi
