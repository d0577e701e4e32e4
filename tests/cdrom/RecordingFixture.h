#pragma once
// A CDReader over the recording layer, with the layer's state cleared for each test.

#include <gtest/gtest.h>

#include <memory>

#include "cdrom/CDReader.h"
#include "tests/cdrom/RecordingLayer.h"
#include "tests/support/ScriptedPrompt.h"

class CDReaderTestAccess {
 public:
  static void SetWait(CDReader& reader, platform::DWORD ms) { reader.commandWaitMs_ = ms; }
};

// Expects `action` to throw CDReaderException {code, status}.
template <typename Action>
void ExpectFailure(int32_t code, int32_t status, Action action) {
  try {
    action();
    ADD_FAILURE() << "no CDReaderException";
  } catch (const CDReaderException& e) {
    EXPECT_EQ(e.code, code);
    EXPECT_EQ(e.status, status);
  }
}

class RecordingFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    reader = std::make_unique<CDReader>(RECORDING_LAYER_PATH);
    module_ = platform::LoadLibraryA(RECORDING_LAYER_PATH);
    auto stateOf = reinterpret_cast<recording::StateFn>(platform::GetProcAddress(module_, "RecordingLayerState"));
    layer = stateOf();
    *layer = recording::State{};
  }
  void TearDown() override {
    reader.reset();
    platform::FreeLibrary(module_);
  }

  testsupport::ScriptedPrompt prompt;
  std::unique_ptr<CDReader> reader;
  recording::State* layer = nullptr;

 private:
  platform::HMODULE module_ = nullptr;
};
