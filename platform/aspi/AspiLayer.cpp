#include "platform/aspi/AspiLayer.h"

#include <algorithm>
#include <cstring>

#include "platform/registry/Registry.h"

namespace aspi {
namespace {

constexpr BYTE kInitiatorId = 7;  // the host's own SCSI id, as on a real bus

// A fixed text field of an inquiry: the text, cut to the field, zero-filled.
void PutText(BYTE (&field)[16], const char* text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text, std::min(std::strlen(text), sizeof field));
}

}  // namespace

Layer::Layer(std::span<const AdapterEntry> adapters) : adapterTable_(adapters) {}

Layer::~Layer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  queued_.notify_all();
  if (worker_ != nullptr) platform::CloseHandle(worker_);
}

DWORD Layer::SupportInfo() {
  DriveTable table;
  try {
    table = ReadDriveTable();
  } catch (const platform::HiveError& error) {
    table.problems.push_back(std::string("the drive table cannot be read: ") + error.what());
  }
  std::vector<std::shared_ptr<HostAdapter>> adapters;
  for (const AdapterEntry& entry : adapterTable_) adapters.push_back(entry.create(table));
  std::lock_guard lock(mutex_);
  adapters_ = std::move(adapters);
  Publish(table);
  return (DWORD{SS_COMP} << 8) | static_cast<DWORD>(adapters_.size());
}

void Layer::Publish(const DriveTable& table) {
  try {
    for (size_t a = 0; a < adapters_.size(); ++a) {
      std::vector<Device>& devices = adapters_[a]->devices();
      std::vector<PublishedDrive> drives;
      for (const Device& device : devices) drives.push_back(device.drive);
      if (a != kVirtualAdapter) AssignLetters(drives, table);
      for (size_t d = 0; d < devices.size(); ++d) devices[d].drive.letter = drives[d].letter;
      PublishDrives(static_cast<BYTE>(a), drives);
    }
  } catch (const platform::HiveError&) {
    // Drives keep working without letters; the programs report the hive themselves.
  }
}

Layer::Listing Layer::Describe() const {
  std::lock_guard lock(mutex_);
  Listing listing;
  for (const auto& adapter : adapters_) {
    for (const Device& device : adapter->devices()) listing.drives.push_back(device.drive);
    listing.problems.insert(listing.problems.end(), adapter->problems().begin(), adapter->problems().end());
  }
  return listing;
}

DWORD Layer::Send(void* block) {
  if (block == nullptr) return SS_ERR;
  auto* header = static_cast<SRB_Header*>(block);
  switch (header->SRB_Cmd) {
    case SC_HA_INQUIRY: return AdapterInquiry(*static_cast<SRB_HAInquiry*>(block));
    case SC_GET_DEV_TYPE: return DeviceType(*static_cast<SRB_GDEVBlock*>(block));
    case SC_EXEC_SCSI_CMD: return Post(*static_cast<SRB_ExecSCSICmd*>(block));
    case SC_ABORT_SRB: return Abort(*static_cast<SRB_Abort*>(block));
    default: header->SRB_Status = SS_INVALID_CMD; return SS_INVALID_CMD;
  }
}

BYTE Layer::Find(BYTE adapter, BYTE target, BYTE lun, std::shared_ptr<HostAdapter>& found, size_t& device) const {
  if (adapter >= adapters_.size()) return SS_INVALID_HA;
  const std::vector<Device>& devices = adapters_[adapter]->devices();
  const auto at = std::find_if(devices.begin(), devices.end(), [&](const Device& d) {
    return d.drive.target == target && d.drive.lun == lun;
  });
  if (at == devices.end()) return SS_NO_DEVICE;
  found = adapters_[adapter];
  device = static_cast<size_t>(at - devices.begin());
  return SS_COMP;
}

DWORD Layer::AdapterInquiry(SRB_HAInquiry& srb) {
  std::lock_guard lock(mutex_);
  if (srb.SRB_HaId >= adapters_.size()) return srb.SRB_Status = SS_INVALID_HA;
  srb.HA_Count = static_cast<BYTE>(adapters_.size());
  srb.HA_SCSI_ID = kInitiatorId;
  PutText(srb.HA_ManagerId, "Carvox ASPI");
  PutText(srb.HA_Identifier, adapterTable_[srb.SRB_HaId].name);
  std::memset(srb.HA_Unique, 0, sizeof srb.HA_Unique);
  const DWORD maxTransfer = adapters_[srb.SRB_HaId]->MaxTransferBytes();
  for (int i = 0; i < 4; ++i) srb.HA_Unique[kMaxTransferOffset + i] = static_cast<BYTE>(maxTransfer >> (8 * i));
  return srb.SRB_Status = SS_COMP;
}

DWORD Layer::DeviceType(SRB_GDEVBlock& srb) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<HostAdapter> adapter;
  size_t device = 0;
  srb.SRB_Status = Find(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun, adapter, device);
  if (srb.SRB_Status == SS_COMP) srb.SRB_DeviceType = DTYPE_CDROM;
  return srb.SRB_Status;
}

DWORD Layer::Post(SRB_ExecSCSICmd& srb) {
  std::unique_lock lock(mutex_);
  Job job{&srb, nullptr, 0};
  const BYTE status = Find(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun, job.adapter, job.device);
  if (status != SS_COMP || stopping_) {
    srb.SRB_Status = stopping_ ? SS_ERR : status;
    return srb.SRB_Status;
  }
  srb.SRB_Status = SS_PENDING;
  // A command that ends at once runs on the caller's thread when nothing is queued or
  // running: the hand-off to the worker and back costs more than reading an image.
  if (job.adapter->AnswersAtOnce() && job.adapter->devices()[job.device].failCount == 0 && queue_.empty() &&
      running_ == nullptr) {
    Run(job, lock);
    return srb.SRB_Status;
  }
  if (worker_ == nullptr) {
    worker_ = platform::CreateThread([this] { Work(); });
    if (worker_ == nullptr) return srb.SRB_Status = SS_ERR;
  }
  queue_.push_back(std::move(job));
  queued_.notify_one();
  return SS_PENDING;
}

DWORD Layer::Abort(SRB_Abort& srb) {
  std::unique_lock lock(mutex_);
  auto* target = static_cast<SRB_ExecSCSICmd*>(srb.SRB_ToAbort);
  auto remove = [target](auto& jobs) {
    const auto at = std::find_if(jobs.begin(), jobs.end(), [target](const Job& j) { return j.srb == target; });
    if (at == jobs.end()) return false;
    jobs.erase(at);
    return true;
  };
  if (target != nullptr && (remove(queue_) || remove(held_))) {
    target->SRB_Status = SS_ABORTED;
    return srb.SRB_Status = SS_COMP;
  }
  // A command that is running cannot be stopped halfway: wait for its end.
  finished_.wait(lock, [&] { return running_ != target || target == nullptr; });
  return srb.SRB_Status = SS_ABORT_FAIL;
}

void Layer::Finish(SRB_ExecSCSICmd& srb, BYTE status) {
  // The event is taken before the status is set: a caller that polls the status may
  // free the block as soon as it is final.
  const platform::HANDLE event = (srb.SRB_Flags & SRB_EVENT_NOTIFY) != 0 ? srb.SRB_PostProc : nullptr;
  srb.SRB_Status = status;
  if (event != nullptr) platform::SetEvent(event);
}

void Layer::Run(const Job& job, std::unique_lock<std::mutex>& lock) {
  running_ = job.srb;
  lock.unlock();
  const BYTE status = job.adapter->Execute(job.adapter->devices()[job.device], *job.srb);
  lock.lock();
  Finish(*job.srb, status);
  running_ = nullptr;
  finished_.notify_all();
  queued_.notify_one();  // the worker waits while a command runs on a caller's thread
}

void Layer::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    // One command at a time: the adapters are not made for concurrent commands.
    queued_.wait(lock, [this] { return stopping_ || (!queue_.empty() && running_ == nullptr); });
    if (stopping_) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    Device& device = job.adapter->devices()[job.device];
    if (device.failCount > 0) {
      --device.failCount;
      if (device.failStatus == SS_PENDING) {
        held_.push_back(std::move(job));
      } else if (device.failStatus == SS_ERR) {
        Finish(*job.srb, CompleteWithSense(*job.srb, SENSE_HARDWARE_ERROR, 0x44, 0));  // internal target failure
      } else {
        Finish(*job.srb, device.failStatus);
      }
      continue;
    }
    Run(job, lock);
  }
}

}  // namespace aspi
