#pragma once
// The edit engine behind the table of entry points: banks under construction, their
// instruments, zones, presets and samples, each reached through a handle. Every call
// checks its handles and arguments and answers a result code; nothing a caller passes
// can make it crash. Handles are never reused, so a handle of a released bank stays
// invalid.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "platform/sfengine/EngineApi.h"
#include "platform/sfengine/internal/SoundFontBank.h"

namespace sfengine {

// Results of the entry points; 0 is success.
enum EngineResult : int {
  kOk = 0,
  kWrongVersion = 1,   // the entry function was asked for another interface version
  kBadArgument = 2,    // a null pointer, an unknown id, a value out of range
  kBadHandle = 3,      // unknown, released, of the wrong kind, or of another bank
  kBankEnded = 4,      // an edit after the bank was ended
  kFileError = 5,      // the bank file could not be written
  kBadWavFile = 6,     // the WAV file is missing, unreadable or not 16-bit mono PCM
  kBankTooLarge = 7,   // the bank does not fit the file format
  kDuplicatePreset = 8,  // a preset with that bank and preset number exists already
  kOutOfMemory = 9,
};

// Information ids of the set-information call and the INFO chunks they fill.
struct InfoIdChunk {
  int32_t id;
  const char* chunk;
};
inline constexpr InfoIdChunk kInfoChunks[] = {
    {1, "INAM"}, {2, "IENG"}, {3, "IPRD"}, {4, "ICOP"},
    {5, "ICMT"}, {8, "ISFT"}, {9, "ICRD"},
};

class EditEngine {
 public:
  int CreateBank(SFHandle* bank);
  int SetBankInfo(SFHandle bank, int32_t infoId, const char* text);
  int SaveBank(SFHandle bank, const char* path, int32_t flags);
  // Closes the bank for edits; it can still be saved.
  int EndBank(SFHandle bank);
  // Frees the bank in any state; its handle and those of its parts become invalid.
  int ReleaseBank(SFHandle bank);
  int AddPreset(SFHandle bank, const char* name, int32_t bankNumber, int32_t presetNumber,
                SFHandle instrument, SFHandle* preset);
  int AddInstrument(SFHandle bank, const char* name, int32_t flags, SFHandle* instrument);
  int AddInstrumentZone(SFHandle instrument, SFHandle sample, SFHandle* zone);
  int SetZoneKeyRange(SFHandle zone, const SFGenRecord* generator);
  int SetZoneVelocityRange(SFHandle zone, const SFGenRecord* generator);
  int SetZoneGenerator(SFHandle zone, const SFGenRecord* generator);
  int ImportWavSample(const char* wavPath, SFHandle bank, const char* name, SFHandle* sample);

 private:
  enum class Kind { Instrument, Zone, Sample, Preset };
  struct Part {
    Kind kind;
    SFHandle bank;
    std::size_t index;  // position of the instrument, sample or preset in the bank
    std::size_t zone;   // position of a zone in its instrument
  };
  struct Bank {
    SoundFontBank model;
    bool ended = false;
  };

  SFHandle NewHandle();
  // The bank open for edits, or null with the reason in `result`.
  Bank* EditableBank(SFHandle bank, int& result);
  // A part of the given kind whose bank is open for edits, or null.
  Part* EditablePart(SFHandle handle, Kind kind, int& result);
  int SetRange(SFHandle zone, const SFGenRecord* generator, uint16_t expectedId);

  std::mutex mutex_;
  std::unordered_map<SFHandle, Bank> banks_;
  std::unordered_map<SFHandle, Part> parts_;
  SFHandle lastHandle_ = 0;
};

// The entry function held by the library's "SFEditEngine" export: hands out the one
// table of the process, whose entries work on one process-wide engine.
int GetEngineTable(uint32_t version, EngineApi** api);

}  // namespace sfengine
