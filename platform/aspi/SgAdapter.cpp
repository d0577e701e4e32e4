// Host adapter 1: the host's real CD/DVD drives through Linux SCSI generic (SG_IO), opened
// read-only. Each drive found is one target (LUN 0), in the order of its node.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/aspi/HostAdapter.h"
#include "platform/aspi/internal/SgRequest.h"

namespace aspi {
namespace {

namespace fs = std::filesystem;

int SystemIoctl(int fd, sg_io_hdr_t* request) {
  int result = 0;
  do {
    result = ::ioctl(fd, SG_IO, request);
  } while (result < 0 && errno == EINTR);
  return result;
}

// "/dev/sr0", "/dev/sg1"... with the sysfs folder of the SCSI device behind it.
struct Node {
  fs::path path;
  fs::path sysDevice;
};

std::vector<Node> CandidateNodes() {
  std::vector<Node> nodes;
  const std::pair<const char*, const char*> kinds[] = {{"/sys/block/", "sr"}, {"/sys/class/scsi_generic/", "sg"}};
  for (const auto& [sysFolder, prefix] : kinds) {
    std::error_code error;
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator("/dev", error)) {
      const std::string name = entry.path().filename().string();
      const bool numbered = name.size() > 2 && name.compare(0, 2, prefix) == 0 &&
                            std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; });
      if (numbered) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) nodes.push_back({fs::path("/dev") / name, fs::path(sysFolder) / name / "device"});
  }
  return nodes;
}

std::string InquiryText(const BYTE* data, size_t length) {
  std::string text(reinterpret_cast<const char*>(data), length);
  return text.substr(0, text.find('\0'));
}

class SgAdapter : public HostAdapter {
 public:
  SgAdapter() {
    std::set<fs::path> seen;  // a drive has an sr and an sg node
    for (const Node& node : CandidateNodes()) {
      std::error_code error;
      const fs::path device = fs::canonical(node.sysDevice, error);
      if (!error && seen.count(device) != 0) continue;
      if (devices_.size() >= kMaxVirtualDrives) {
        problems_.push_back(node.path.string() + ": more drives than one adapter addresses");
        continue;
      }
      if (Add(node.path) && !error) seen.insert(device);
    }
  }
  ~SgAdapter() override {
    for (const int fd : fds_) ::close(fd);
  }

  std::vector<Device>& devices() override { return devices_; }
  const std::vector<std::string>& problems() const override { return problems_; }

  BYTE Execute(const Device& device, SRB_ExecSCSICmd& srb) override {
    return ExecuteOnSg(fds_[static_cast<size_t>(&device - devices_.data())], srb, &SystemIoctl);
  }

 private:
  // Opens the node and keeps it when it is a CD/DVD drive; else records why not.
  bool Add(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      problems_.push_back(path.string() + ": " + std::strerror(errno));
      return false;
    }
    BYTE data[96] = {};
    SRB_ExecSCSICmd srb{};
    srb.SRB_Flags = SRB_DIR_IN;
    srb.SRB_BufLen = sizeof data;
    srb.SRB_BufPointer = data;
    srb.SRB_SenseLen = SENSE_LEN;
    srb.SRB_CDBLen = 6;
    srb.CDBByte[0] = SCSI_INQUIRY;
    srb.CDBByte[4] = sizeof data;
    if (ExecuteOnSg(fd, srb, &SystemIoctl) != SS_COMP || (data[0] & 0x1F) != DTYPE_CDROM) {
      problems_.push_back(path.string() + ": not a CD/DVD drive, or it does not answer");
      ::close(fd);
      return false;
    }
    Device device;
    device.drive = {0, kRealAdapter, static_cast<BYTE>(devices_.size()), 0, InquiryText(data + 8, 8),
                    InquiryText(data + 16, 16), InquiryText(data + 32, 4)};
    devices_.push_back(device);
    fds_.push_back(fd);
    return true;
  }

  std::vector<Device> devices_;
  std::vector<int> fds_;
  std::vector<std::string> problems_;
};

}  // namespace

std::unique_ptr<HostAdapter> CreateSgAdapter(const DriveTable&) { return std::make_unique<SgAdapter>(); }

}  // namespace aspi
