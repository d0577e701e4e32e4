#pragma once
// A report for export batches in tests: the files written and the reasons of those
// not written.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "export/ExportBatch.h"
#include "export/SoundBankBuilder.h"

namespace testexport {

// What a batch hears; the builder is made ready at the first program (as the command
// line loads the engine), and the description's warnings are not the builder's.
class FilesWritten : public ExportReport {
 public:
  explicit FilesWritten(std::function<void(SoundBankBuilder&)> ready = nullptr) : ready_(std::move(ready)) {}
  SoundBankBuilder& BankBuilder() override {
    if (ready_) std::exchange(ready_, nullptr)(builder_);
    return builder_;
  }
  StatusLine* Warnings() override { return &standardError_; }
  void Wrote(const std::filesystem::path& path) override {
    files.insert(path.filename());
    if (wrote) wrote(path);
  }
  void SampleNotLoaded(const ExportVolume&, const ExportItem& item, const std::exception_ptr&) override {
    ADD_FAILURE() << item.name;
  }
  void NotWritten(const ExportVolume&, const ExportItem&, const std::filesystem::path& path, const std::string& reason) override {
    notWritten.push_back(path.filename().string() + ": " + reason);
  }
  void Failed(ExportLoss, const std::string& text) override { ADD_FAILURE() << text; }

  std::set<std::string> files;
  std::function<void(const std::filesystem::path&)> wrote;  // runs as soon as each file is written
  std::vector<std::string> notWritten;

 private:
  std::function<void(SoundBankBuilder&)> ready_;
  SoundBankBuilder builder_;
  StderrStatusLine standardError_;
};

}  // namespace testexport
