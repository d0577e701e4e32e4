#include "platform/sfengine/internal/SoundFontWriter.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <limits>
#include <string>
#include <string_view>


namespace sfengine {
namespace {

// Every sample is followed by this many zero words, as the format asks of a bank.
constexpr uint32_t kSampleGuardWords = 46;
constexpr std::size_t kMaxInfoText = 255;        // 256 bytes with the terminator
constexpr std::size_t kMaxCommentText = 65535;   // ICMT may be longer
constexpr uint16_t kMonoSample = 1;

// The INFO texts in the order the format recommends; the ids not listed are not
// written.
constexpr std::array<std::string_view, 6> kInfoOrder = {"ICRD", "IENG", "IPRD",
                                                         "ICOP", "ICMT", "ISFT"};

// Little-endian bytes of one chunk body, built in memory.
class Bytes {
 public:
  void U8(uint8_t value) { data_.push_back(static_cast<char>(value)); }
  void U16(uint16_t value) {
    U8(value & 0xff);
    U8(value >> 8);
  }
  void U32(uint32_t value) {
    U16(value & 0xffff);
    U16(value >> 16);
  }
  void Text(std::string_view text) { data_.append(text); }
  // A name field of 20 bytes, zero-filled.
  void Name(std::string_view name) {
    std::string field(name.substr(0, kMaxNameLength));
    field.resize(kMaxNameLength + 1, '\0');
    Text(field);
  }
  void Zeros(std::size_t count) { data_.append(count, '\0'); }
  // A sub-chunk: id, size, body and a pad byte when the body's length is odd.
  void Chunk(std::string_view id, const Bytes& body) {
    Text(id);
    U32(static_cast<uint32_t>(body.Size()));
    data_.append(body.data_);
    if (body.Size() % 2 != 0) U8(0);
  }
  // A zero-terminated text padded to an even length, as INFO strings are stored.
  void InfoText(std::string_view id, std::string_view text, std::size_t maxLength) {
    Bytes body;
    body.Text(text.substr(0, maxLength));
    body.Zeros(body.Size() % 2 == 0 ? 2 : 1);
    Chunk(id, body);
  }
  std::size_t Size() const { return data_.size(); }
  const std::string& Data() const { return data_; }

 private:
  std::string data_;
};

bool FitsU16(std::size_t value) { return value <= std::numeric_limits<uint16_t>::max(); }

Bytes InfoList(const SoundFontBank& bank) {
  Bytes info;
  info.Text("INFO");
  Bytes version;
  version.U16(2);
  version.U16(1);
  info.Chunk("ifil", version);
  info.InfoText("isng", "EMU8000", kMaxInfoText);
  info.InfoText("INAM", BankName(bank), kMaxInfoText);
  for (std::string_view id : kInfoOrder) {
    auto text = bank.info.find(std::string(id));
    if (text == bank.info.end() || text->second.empty()) continue;
    info.InfoText(id, text->second, id == "ICMT" ? kMaxCommentText : kMaxInfoText);
  }
  return info;
}

uint64_t SampleDataBytes(const SoundFontBank& bank) {
  uint64_t words = 0;
  for (const SoundFontSample& sample : bank.samples) words += sample.wordCount + kSampleGuardWords;
  return 2 * words;
}

// The bag, modulator and generator tables of the presets or of the instruments. No
// zone has modulators.
class ZoneTables {
 public:
  uint16_t ZoneCount() const { return zones_; }
  void StartZone() {
    bags_.U16(generators_);
    bags_.U16(0);
    ++zones_;
  }
  void Add(uint16_t id, uint16_t amount) {
    generatorRecords_.U16(id);
    generatorRecords_.U16(amount);
    ++generators_;
  }
  // Ends each table with its terminal record and appends the tables: "pbag", "pmod",
  // "pgen" for kind 'p', "ibag", "imod", "igen" for kind 'i'.
  void Finish(char kind, Bytes& pdta) {
    bags_.U16(generators_);
    bags_.U16(0);
    Bytes modulators;
    modulators.Zeros(10);
    generatorRecords_.Zeros(4);
    pdta.Chunk(std::string(1, kind) + "bag", bags_);
    pdta.Chunk(std::string(1, kind) + "mod", modulators);
    pdta.Chunk(std::string(1, kind) + "gen", generatorRecords_);
  }

 private:
  Bytes bags_, generatorRecords_;
  uint16_t zones_ = 0;
  uint16_t generators_ = 0;
};

void WritePresets(const SoundFontBank& bank, Bytes& pdta) {
  Bytes phdr;
  ZoneTables tables;
  // One zone per preset, holding one generator: the instrument.
  for (const SoundFontPreset& preset : bank.presets) {
    phdr.Name(preset.name);
    phdr.U16(preset.presetNumber);
    phdr.U16(preset.bankNumber);
    phdr.U16(tables.ZoneCount());
    phdr.Zeros(12);  // library, genre, morphology
    tables.StartZone();
    tables.Add(kGenInstrument, static_cast<uint16_t>(preset.instrument));
  }
  phdr.Name("EOP");
  phdr.Zeros(4);
  phdr.U16(tables.ZoneCount());
  phdr.Zeros(12);
  pdta.Chunk("phdr", phdr);
  tables.Finish('p', pdta);
}

// Key range first, velocity range second, sampleID last: the order the format
// requires of an instrument zone.
void WriteZone(const SoundFontZone& zone, ZoneTables& tables) {
  tables.StartZone();
  if (zone.keyRange) tables.Add(kGenKeyRange, *zone.keyRange);
  if (zone.velRange) tables.Add(kGenVelRange, *zone.velRange);
  for (const SoundFontGenerator& generator : zone.generators) tables.Add(generator.id, generator.amount);
  tables.Add(kGenSampleId, static_cast<uint16_t>(zone.sample));
}

void WriteInstruments(const SoundFontBank& bank, Bytes& pdta) {
  Bytes inst;
  ZoneTables tables;
  for (const SoundFontInstrument& instrument : bank.instruments) {
    inst.Name(instrument.name);
    inst.U16(tables.ZoneCount());
    for (const SoundFontZone& zone : instrument.zones) WriteZone(zone, tables);
  }
  inst.Name("EOI");
  inst.U16(tables.ZoneCount());
  pdta.Chunk("inst", inst);
  tables.Finish('i', pdta);
}

void WriteSampleHeaders(const SoundFontBank& bank, Bytes& pdta) {
  Bytes shdr;
  uint32_t start = 0;
  for (const SoundFontSample& sample : bank.samples) {
    const uint32_t end = start + sample.wordCount;
    const bool looped = sample.loopEnd > sample.loopStart;
    shdr.Name(sample.name);
    shdr.U32(start);
    shdr.U32(end);
    // Without a loop the whole sample stands as the loop, so that the loop points
    // are valid for any reader that checks them.
    shdr.U32(looped ? start + sample.loopStart : start);
    shdr.U32(looped ? start + sample.loopEnd : end);
    shdr.U32(sample.rate);
    shdr.U8(sample.originalPitch);
    shdr.U8(static_cast<uint8_t>(sample.pitchCorrection));
    shdr.U16(0);  // no linked sample
    shdr.U16(kMonoSample);
    start = end + kSampleGuardWords;
  }
  shdr.Name("EOS");
  shdr.Zeros(26);
  pdta.Chunk("shdr", shdr);
}

// Every count and index the format keeps in 16 or 32 bits must fit.
bool FitsFormat(const SoundFontBank& bank) {
  std::size_t zones = 0;
  std::size_t generators = 0;
  for (const SoundFontInstrument& instrument : bank.instruments) {
    zones += instrument.zones.size();
    for (const SoundFontZone& zone : instrument.zones) generators += zone.generators.size() + 3;
  }
  // Header sizes and generator tables are small; only the audio can reach 4 GiB.
  const uint64_t audioLimit = std::numeric_limits<uint32_t>::max() - (uint64_t{1} << 24);
  return FitsU16(bank.presets.size()) && FitsU16(bank.instruments.size()) &&
         FitsU16(bank.samples.size()) && FitsU16(zones) && FitsU16(generators) &&
         SampleDataBytes(bank) <= audioLimit;
}

class OutputFile {
 public:
  explicit OutputFile(FILE* file) : file_(file) {}
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() {
    if (file_ != nullptr) fclose(file_);
  }
  void Write(const void* data, std::size_t size) {
    if (ok_ && size > 0 && fwrite(data, 1, size, file_) != size) ok_ = false;
  }
  void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
  // Appends `bytes` bytes of the words `from` in `store`, copied file to file.
  void CopyFrom(const SampleStore& store, const StoredWords& from, uint64_t bytes) {
    if (!ok_ || bytes == 0) return;
    const off_t at = fflush(file_) == 0 ? ftello(file_) : -1;
    ok_ = at >= 0 && store.CopyOut(from, bytes, fileno(file_), static_cast<uint64_t>(at)) &&
          fseeko(file_, at + static_cast<off_t>(bytes), SEEK_SET) == 0;
  }
  void U32(uint32_t value) {
    Bytes bytes;
    bytes.U32(value);
    Write(bytes.Data());
  }
  // Flushes and closes; true when every write reached the file. No fsync: the bank is
  // as durable as every other file an export writes (docs/sfengine.md).
  bool Close() {
    const bool flushed = fflush(file_) == 0;
    const bool closed = fclose(file_) == 0;
    file_ = nullptr;
    return ok_ && flushed && closed;
  }

 private:
  FILE* file_;
  bool ok_ = true;
};

// The sample words, copied from the bank's store, each sample followed by its guard
// words.
void WriteSampleData(const SoundFontBank& bank, OutputFile& out) {
  static constexpr std::array<int16_t, kSampleGuardWords> kGuard{};
  for (const SoundFontSample& sample : bank.samples) {
    out.CopyFrom(bank.store, sample.words, 2 * uint64_t{sample.wordCount});
    out.Write(kGuard.data(), sizeof(kGuard));
  }
}

bool WriteBankFile(const SoundFontBank& bank, FILE* file) {
  const Bytes info = InfoList(bank);
  Bytes pdta;
  pdta.Text("pdta");
  WritePresets(bank, pdta);
  WriteInstruments(bank, pdta);
  WriteSampleHeaders(bank, pdta);
  const auto sampleBytes = static_cast<uint32_t>(SampleDataBytes(bank));
  const uint32_t sdtaSize = 4 + 8 + sampleBytes;
  const auto riffSize =
      static_cast<uint32_t>(4 + (8 + info.Size()) + (8 + sdtaSize) + (8 + pdta.Size()));

  OutputFile out(file);
  out.Write("RIFF", 4);
  out.U32(riffSize);
  out.Write("sfbk", 4);
  out.Write("LIST", 4);
  out.U32(static_cast<uint32_t>(info.Size()));
  out.Write(info.Data());
  out.Write("LIST", 4);
  out.U32(sdtaSize);
  out.Write("sdtasmpl", 8);
  out.U32(sampleBytes);
  WriteSampleData(bank, out);
  out.Write("LIST", 4);
  out.U32(static_cast<uint32_t>(pdta.Size()));
  out.Write(pdta.Data());
  return out.Close();
}

// A new file beside `path` (same folder, so the final rename cannot cross file
// systems), created with the usual permissions; returns its descriptor or -1.
int CreateTemporaryBeside(const std::filesystem::path& path, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = path.string() + ".part-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

}  // namespace

WriteResult WriteSoundFont(const SoundFontBank& bank, const std::filesystem::path& path) {
  if (!FitsFormat(bank)) return WriteResult::TooLarge;
  std::string temporary;
  const int descriptor = CreateTemporaryBeside(path, temporary);
  if (descriptor < 0) return WriteResult::FileError;
  FILE* file = fdopen(descriptor, "wb");
  if (file == nullptr) {
    close(descriptor);
    unlink(temporary.c_str());
    return WriteResult::FileError;
  }
  if (!WriteBankFile(bank, file) || rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return WriteResult::FileError;
  }
  return WriteResult::Ok;
}

}  // namespace sfengine
