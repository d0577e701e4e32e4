#pragma once
// The ASPI layer behind "WNASPI32.DLL": the host adapters of AdapterTable.cpp, the
// request blocks' execution on a worker thread, aborts, and the letters of the drives.
// The shared library holds one Layer; carvox-vdrive uses one to list the drives.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/aspi/Aspi.h"
#include "platform/aspi/DriveTable.h"
#include "platform/aspi/HostAdapter.h"

namespace aspi {

class Layer {
 public:
  // `adapters`: the host adapters in id order (tests give their own).
  explicit Layer(std::span<const AdapterEntry> adapters = HostAdapters());
  // Joins the worker; commands still queued or held are never completed.
  ~Layer();
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  // Reads the drive table, finds the devices of every adapter, gives them letters and
  // publishes those. Low byte: the number of host adapters; next byte: SS_COMP.
  DWORD SupportInfo();
  // SC_HA_INQUIRY (the adapter count, its name and largest transfer) and
  // SC_GET_DEV_TYPE complete at once. SC_EXEC_SCSI_CMD returns SS_PENDING and runs on
  // the worker, which sets SRB_Status and then signals SRB_PostProc; a bad adapter or
  // device gets its status at once. A command of an adapter that answers at once runs
  // on the caller's thread when nothing else is queued or running: it returns its
  // final status, its event signalled too. SC_ABORT_SRB returns only when the layer
  // will no longer touch the aborted block, its buffer or its event.
  DWORD Send(void* srb);

  struct Listing {
    std::vector<PublishedDrive> drives;
    std::vector<std::string> problems;
  };
  // The drives found by the last SupportInfo, and what was left out.
  Listing Describe() const;

 private:
  struct Job {
    SRB_ExecSCSICmd* srb;
    std::shared_ptr<HostAdapter> adapter;
    size_t device;
  };

  DWORD AdapterInquiry(SRB_HAInquiry& srb);
  DWORD DeviceType(SRB_GDEVBlock& srb);
  DWORD Post(SRB_ExecSCSICmd& srb);
  DWORD Abort(SRB_Abort& srb);
  // The device at the block's address; its status when there is none.
  BYTE Find(BYTE adapter, BYTE target, BYTE lun, std::shared_ptr<HostAdapter>& found, size_t& device) const;
  void Work();
  // Executes the job with the lock released and finishes it; one job runs at a time.
  void Run(const Job& job, std::unique_lock<std::mutex>& lock);
  void Finish(SRB_ExecSCSICmd& srb, BYTE status);
  void Publish(const DriveTable& table);

  const std::span<const AdapterEntry> adapterTable_;
  mutable std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::vector<std::shared_ptr<HostAdapter>> adapters_;
  std::deque<Job> queue_;
  std::vector<Job> held_;  // kept pending by fault injection until aborted
  SRB_ExecSCSICmd* running_ = nullptr;
  bool stopping_ = false;
  platform::HANDLE worker_ = nullptr;
};

}  // namespace aspi
