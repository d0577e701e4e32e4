#pragma once
// The SoundFont edit engine's table of entry points. The engine is a shared library
// loaded at run time by the name "SFEDT32.DLL"; its data export "SFEditEngine" holds
// the entry function, which checks the interface version and hands out the table.
// Every entry returns 0 on success. Slots are positions in the table, from 0; the
// slots Carvox does not use are kept as placeholders so that positions stay fixed.

#include <cstddef>
#include <cstdint>

extern "C" {

typedef uint32_t SFHandle;  // 0 is never a valid handle

// A generator: SoundFont 2 generator id and amount. For key and velocity ranges the
// amount's low byte is the lower bound and its high byte the upper bound; all other
// amounts are signed 16-bit.
struct SFGenRecord {
  uint16_t id;
  uint16_t amount;
};

typedef void (*SFUnusedSlot)(void);

struct EngineApi {
  int (*CreateBank)(SFHandle* bank);                                          // 0
  SFUnusedSlot slot1;                                                         // 1
  int (*SetBankInfo)(SFHandle bank, int32_t infoId, const char* text);       // 2
  SFUnusedSlot slot3;                                                         // 3
  int (*SaveBank)(SFHandle bank, const char* path, int32_t flags);           // 4
  SFUnusedSlot slots5to6[2];                                                  // 5..6
  int (*EndBank)(SFHandle bank);                                              // 7
  int (*ReleaseBank)(SFHandle bank);                                          // 8
  SFUnusedSlot slots9to20[12];                                                // 9..20
  int (*AddPreset)(SFHandle bank, const char* name, int32_t bankNumber, int32_t presetNumber,
                   SFHandle instrument, SFHandle* preset);                    // 21
  SFUnusedSlot slots22to66[45];                                               // 22..66
  int (*AddInstrument)(SFHandle bank, const char* name, int32_t flags,
                       SFHandle* instrument);                                 // 67
  SFUnusedSlot slots68to83[16];                                               // 68..83
  int (*AddInstrumentZone)(SFHandle instrument, SFHandle sample, SFHandle* zone);  // 84
  SFUnusedSlot slots85to87[3];                                                // 85..87
  int (*SetZoneKeyRange)(SFHandle zone, const SFGenRecord* generator);        // 88
  int (*SetZoneVelocityRange)(SFHandle zone, const SFGenRecord* generator);   // 89
  int (*SetZoneGenerator)(SFHandle zone, const SFGenRecord* generator);       // 90
  SFUnusedSlot slots91to121[31];                                              // 91..121
  int (*ImportWavSample)(const char* wavPath, SFHandle bank, const char* name,
                         SFHandle* sample);                                   // 122
};

// The entry function: fills *api with the engine's table when `version` is
// kEngineInterfaceVersion; returns non-zero otherwise.
typedef int (*SFEditEngineEntry)(uint32_t version, EngineApi** api);

}  // extern "C"

inline constexpr uint32_t kEngineInterfaceVersion = 0x00010000;
inline constexpr const char* kEngineLibraryName = "SFEDT32.DLL";
inline constexpr const char* kEngineEntryExport = "SFEditEngine";

static_assert(offsetof(EngineApi, SetBankInfo) == 2 * sizeof(void*));
static_assert(offsetof(EngineApi, EndBank) == 7 * sizeof(void*));
static_assert(offsetof(EngineApi, AddPreset) == 21 * sizeof(void*));
static_assert(offsetof(EngineApi, AddInstrument) == 67 * sizeof(void*));
static_assert(offsetof(EngineApi, AddInstrumentZone) == 84 * sizeof(void*));
static_assert(offsetof(EngineApi, SetZoneGenerator) == 90 * sizeof(void*));
static_assert(offsetof(EngineApi, ImportWavSample) == 122 * sizeof(void*));
