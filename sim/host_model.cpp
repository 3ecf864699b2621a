// The simulated host: records every entry call and answers as the test scripted it.
#include "sim/host_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

namespace sim {
namespace {

// The 18 Polish letters: Unicode code point, Mazovia byte, Windows-1250 byte.
struct PolishLetter {
  uint32_t codePoint;
  unsigned char mazovia;
  unsigned char windows1250;
};
constexpr PolishLetter kPolishLetters[] = {
    {0x0105, 0x86, 0xB9},  // ą
    {0x0107, 0x8D, 0xE6},  // ć
    {0x0119, 0x91, 0xEA},  // ę
    {0x0142, 0x92, 0xB3},  // ł
    {0x0144, 0xA4, 0xF1},  // ń
    {0x00F3, 0xA2, 0xF3},  // ó
    {0x015B, 0x9E, 0x9C},  // ś
    {0x017A, 0xA6, 0x9F},  // ź
    {0x017C, 0xA7, 0xBF},  // ż
    {0x0104, 0x8F, 0xA5},  // Ą
    {0x0106, 0x95, 0xC6},  // Ć
    {0x0118, 0x90, 0xCA},  // Ę
    {0x0141, 0x9C, 0xA3},  // Ł
    {0x0143, 0xA5, 0xD1},  // Ń
    {0x00D3, 0xA3, 0xD3},  // Ó
    {0x015A, 0x98, 0x8C},  // Ś
    {0x0179, 0xA0, 0x8F},  // Ź
    {0x017B, 0xA1, 0xAF},  // Ż
};

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "simulated host: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string MapBytes(const std::string& text, unsigned char PolishLetter::*from,
                     unsigned char PolishLetter::*to) {
  std::string out = text;
  for (char& c : out) {
    for (const PolishLetter& letter : kPolishLetters) {
      if (static_cast<unsigned char>(c) == letter.*from) {
        c = static_cast<char>(letter.*to);
        break;
      }
    }
  }
  return out;
}

// Decodes UTF-8 and maps each code point: ASCII as is, a Polish letter to its byte. A byte that
// does not begin a well-formed sequence is kept as it is, so that a text already in a single-
// byte code page may be spliced into an expected UTF-8 text. A well-formed character without a
// single-byte form is a mistake in a test's expected text and stops the run.
std::string FromUtf8(const std::string& utf8, unsigned char PolishLetter::*to) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    size_t length = 0;
    uint32_t codePoint = 0;
    if (lead < 0x80) {
      length = 1;
      codePoint = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      codePoint = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      codePoint = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      codePoint = lead & 0x07u;
    }
    bool wellFormed = length != 0 && i + length <= utf8.size();
    for (size_t k = 1; wellFormed && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      wellFormed = (next & 0xC0) == 0x80;
      codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (!wellFormed) {
      out.push_back(static_cast<char>(lead));
      ++i;
      continue;
    }
    i += length;
    if (codePoint < 0x80) {
      out.push_back(static_cast<char>(codePoint));
      continue;
    }
    const PolishLetter* found = nullptr;
    for (const PolishLetter& letter : kPolishLetters) {
      if (letter.codePoint == codePoint) found = &letter;
    }
    if (found == nullptr) Fail("Utf8To*: no single-byte form for a character in \"" + utf8 + "\"");
    out.push_back(static_cast<char>(found->*to));
  }
  return out;
}

std::string TextOrEmpty(const char* text) { return text != nullptr ? std::string(text) : ""; }

std::string FormatV(const char* format, va_list values) {
  va_list copy;
  va_copy(copy, values);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length < 0) Fail(std::string("format rejected by the C library: ") + format);
  std::string out(static_cast<size_t>(length) + 1, '\0');
  va_copy(copy, values);
  std::vsnprintf(&out[0], out.size(), format, copy);
  va_end(copy);
  out.resize(static_cast<size_t>(length));
  return out;
}

int64_t IntValue(int64_t value) { return value; }

constexpr size_t kTableObjectSize = 256;
constexpr size_t kMinRecordBuffer = 2048;
constexpr char kDefaultVatText[] = "23";
constexpr double kDefaultVatRate = 23.0;

// One host table: the object the plug-in reads by byte position and the record buffer it
// points to. Allocated once per table number and never moved.
struct TableState {
  unsigned char object[kTableObjectSize] = {};
  std::vector<unsigned char> buffer;
  bool present = false;
};

}  // namespace

std::string MazoviaToWindows1250(const std::string& mazovia) {
  return MapBytes(mazovia, &PolishLetter::mazovia, &PolishLetter::windows1250);
}
std::string Windows1250ToMazovia(const std::string& windows1250) {
  return MapBytes(windows1250, &PolishLetter::windows1250, &PolishLetter::mazovia);
}
std::string Utf8ToMazovia(const std::string& utf8) {
  return FromUtf8(utf8, &PolishLetter::mazovia);
}
std::string Utf8ToWindows1250(const std::string& utf8) {
  return FromUtf8(utf8, &PolishLetter::windows1250);
}

struct HostModel::State {
  std::vector<Call> calls;
  std::map<int, std::unique_ptr<TableState>> tables;  // never erased: addresses stay valid
  int32_t handlerResult = 0;

  std::vector<std::vector<unsigned char>> documentRecords;
  std::set<int> failingReads;

  int findResult = 0;
  std::optional<std::vector<unsigned char>> findRecord;
  std::map<std::pair<int16_t, int32_t>, std::vector<unsigned char>> warehouseRecords;
  std::optional<int> profileReadAnswer;
  int16_t contextWord = 0;
  int32_t contextLong = 0;
  int16_t contextWordAtSearch = 0;
  int32_t contextLongAtSearch = 0;

  std::map<uint16_t, std::optional<std::string>> vatTexts;
  std::map<int, double> vatRates;
  std::map<std::pair<std::string, std::string>, std::string> settings;
  std::optional<int16_t> dialogResult;

  int callocCalls = 0;
  int failCallocAt = 0;
  std::set<void*> blocks;

  bool failFileOpen = false;
  std::string today = "2026-12-11";
  std::string fileDirectory;
  std::set<FILE*> openFiles;

  std::map<std::pair<unsigned, std::string>, uintptr_t> delayLoadAnswers;

  Call& Record(unsigned ordinal, std::vector<int64_t> ints = {},
               std::vector<std::string> texts = {}, std::vector<double> doubles = {}) {
    Call call;
    call.ordinal = ordinal;
    call.ints = std::move(ints);
    call.texts = std::move(texts);
    call.doubles = std::move(doubles);
    calls.push_back(std::move(call));
    return calls.back();
  }

  TableState& TableSlot(int number) {
    std::unique_ptr<TableState>& slot = tables[number];
    if (!slot) slot = std::make_unique<TableState>();
    return *slot;
  }

  TableState* PresentTable(int number) {
    auto it = tables.find(number);
    if (it == tables.end() || !it->second->present) return nullptr;
    return it->second.get();
  }

  std::string PathOf(const std::string& name) const {
    return fileDirectory.empty() ? name : fileDirectory + "/" + name;
  }

  FILE* KnownFile(HostFile file, const char* entry) const {
    FILE* stream = static_cast<FILE*>(file);
    if (openFiles.count(stream) == 0)
      Fail(std::string(entry) + " with a handle the host never opened");
    return stream;
  }
};

namespace {
int32_t HOST_CDECL RecordingActionHandler(uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4,
                                          uintptr_t a5, uintptr_t a6, uintptr_t a7, uintptr_t a8,
                                          uintptr_t a9, uintptr_t a10, uintptr_t a11);
}  // namespace

HostModel::HostModel() : state_(new State) { Reset(); }

HostModel::~HostModel() {
  for (FILE* stream : state_->openFiles) std::fclose(stream);
  for (void* block : state_->blocks) std::free(block);
  delete state_;
}

void HostModel::Reset() {
  State& s = *state_;
  s.calls.clear();
  for (const auto& entry : s.tables) {
    TableState& table = *entry.second;
    std::memset(table.object, 0, sizeof table.object);
    std::fill(table.buffer.begin(), table.buffer.end(), 0);
    table.present = false;
  }
  s.handlerResult = 0;
  SetTable(kTableDDek, kSizeDDek);
  SetTable(kTableDocument, kSizeDocument);
  SetTable(kTableK9, kSizeK9);

  s.documentRecords.clear();
  s.failingReads.clear();
  s.findResult = 0;
  s.findRecord.reset();
  s.warehouseRecords.clear();
  s.profileReadAnswer.reset();
  s.contextWord = 0;
  s.contextLong = 0;
  s.contextWordAtSearch = 0;
  s.contextLongAtSearch = 0;
  s.vatTexts.clear();
  s.vatRates.clear();
  s.settings.clear();
  s.dialogResult.reset();
  s.callocCalls = 0;
  s.failCallocAt = 0;
  for (void* block : s.blocks) std::free(block);
  s.blocks.clear();
  s.failFileOpen = false;
  s.today = "2026-12-11";
  s.fileDirectory.clear();
  for (FILE* stream : s.openFiles) std::fclose(stream);
  s.openFiles.clear();
  s.delayLoadAnswers.clear();
}

// ---- scripting ---------------------------------------------------------------------------

void HostModel::SetTable(int number, int16_t recordSize) {
  TableState& table = state_->TableSlot(number);
  const size_t wanted = std::max<size_t>(recordSize > 0 ? recordSize : 0, kMinRecordBuffer);
  if (table.buffer.size() < wanted) table.buffer.resize(wanted, 0);
  WriteAt<int16_t>(table.object, table_object::kRecordSize, recordSize);
  WriteAt<unsigned char*>(table.object, table_object::kRecordBuffer, table.buffer.data());
  if (!table.present) {
    SetTableActionHandler(table.object, DefaultActionHandler());
    table.present = true;
  }
}

void HostModel::RemoveTable(int number) {
  auto it = state_->tables.find(number);
  if (it != state_->tables.end()) it->second->present = false;
}

HostTable HostModel::Table(int number) {
  TableState* table = state_->PresentTable(number);
  return table != nullptr ? table->object : nullptr;
}

unsigned char* HostModel::RecordBuffer(int number) {
  TableState* table = state_->PresentTable(number);
  return table != nullptr ? table->buffer.data() : nullptr;
}

void HostModel::SetDocumentRecords(std::vector<std::vector<unsigned char>> records) {
  state_->documentRecords = std::move(records);
}
void HostModel::FailReadAt(int index) { state_->failingReads.insert(index); }

void HostModel::AddWarehouseRecord(int16_t warehouse, uint16_t article,
                                   std::vector<unsigned char> record) {
  const int32_t key = static_cast<int16_t>(article);
  state_->warehouseRecords[{warehouse, key}] = std::move(record);
}

void HostModel::SetProfileReadAnswer(std::optional<int> answer) {
  state_->profileReadAnswer = answer;
}

void HostModel::SetFindResult(int result, std::optional<std::vector<unsigned char>> record) {
  state_->findResult = result;
  state_->findRecord = std::move(record);
}
int16_t HostModel::ContextWord() const { return state_->contextWord; }
int32_t HostModel::ContextLong() const { return state_->contextLong; }
void HostModel::SetContext(int16_t word, int32_t longValue) {
  state_->contextWord = word;
  state_->contextLong = longValue;
}
int16_t HostModel::ContextWordAtSearch() const { return state_->contextWordAtSearch; }
int32_t HostModel::ContextLongAtSearch() const { return state_->contextLongAtSearch; }

void HostModel::SetVatText(uint16_t code, std::optional<std::string> mazoviaText) {
  state_->vatTexts[code] = std::move(mazoviaText);
}

void HostModel::SetSetting(const std::string& section, const std::string& key,
                           const std::string& value) {
  state_->settings[{section, key}] = value;
}
void HostModel::EraseSetting(const std::string& section, const std::string& key) {
  state_->settings.erase({section, key});
}
std::optional<std::string> HostModel::Setting(const std::string& section,
                                              const std::string& key) const {
  auto it = state_->settings.find({section, key});
  if (it == state_->settings.end()) return std::nullopt;
  return it->second;
}

void HostModel::SetDialogResult(std::optional<int16_t> value) { state_->dialogResult = value; }

void HostModel::FailCallocAt(int nth) { state_->failCallocAt = nth; }
int HostModel::OutstandingBlocks() const { return static_cast<int>(state_->blocks.size()); }

void HostModel::FailFileOpen(bool fail) { state_->failFileOpen = fail; }
void HostModel::SetTodayText(const std::string& bytes) {
  if (bytes.size() > 12) Fail("SetTodayText: the host's date buffer holds 12 bytes");
  state_->today = bytes;
}
void HostModel::SetFileDirectory(const std::string& directory) {
  state_->fileDirectory = directory;
}
std::string HostModel::FileBytes(const std::string& name) const {
  return ReadFile(state_->PathOf(name), "rb");
}
std::string HostModel::FileText(const std::string& name) const {
  return ReadFile(state_->PathOf(name), "rt");
}

std::string HostModel::ReadFile(const std::string& path, const char* mode) {
  FILE* stream = std::fopen(path.c_str(), mode);
  if (stream == nullptr) return {};
  std::string bytes;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0) bytes.append(chunk, got);
  std::fclose(stream);
  return bytes;
}

void HostModel::SetVatRate(int vatCode, double ratePercent) {
  state_->vatRates[vatCode] = ratePercent;
}

void HostModel::SetDelayLoadAnswer(unsigned notification, uintptr_t answer,
                                   const std::string& service) {
  state_->delayLoadAnswers[{notification, service}] = answer;
}

// ---- recording ---------------------------------------------------------------------------

const std::vector<Call>& HostModel::Calls() const { return state_->calls; }
std::vector<Call> HostModel::CallsTo(unsigned ordinal) const {
  std::vector<Call> out;
  for (const Call& call : state_->calls) {
    if (call.ordinal == ordinal) out.push_back(call);
  }
  return out;
}
std::vector<unsigned> HostModel::Ordinals() const {
  std::vector<unsigned> out;
  for (const Call& call : state_->calls) out.push_back(call.ordinal);
  return out;
}
void HostModel::ClearCalls() { state_->calls.clear(); }

// ---- the entries -------------------------------------------------------------------------

int HostModel::Message(const char* title, const char* text, int flags) {
  state_->Record(kOrdHostMessage, {AddressValue(title), AddressValue(text), IntValue(flags)},
                 {TextOrEmpty(title), TextOrEmpty(text)});
  return 0;
}

int HostModel::MessageF(const char* title, const char* format, int flags, va_list values) {
  const std::string shown = format != nullptr ? FormatV(format, values) : std::string();
  state_->Record(kOrdHostMessageF, {AddressValue(title), AddressValue(format), IntValue(flags)},
                 {TextOrEmpty(title), TextOrEmpty(format), shown});
  return 0;
}

int HostModel::ConvertText(char* destination, const char* source, int from, int to) {
  const std::string text = TextOrEmpty(source);
  state_->Record(kOrdHostConvertText,
                 {AddressValue(destination), AddressValue(source), IntValue(from), IntValue(to)},
                 {text});
  if (destination == nullptr || source == nullptr) return 0;
  std::string converted = text;
  if (from == kCodeMazovia && to == kCodeWindows1250) converted = MazoviaToWindows1250(text);
  if (from == kCodeWindows1250 && to == kCodeMazovia) converted = Windows1250ToMazovia(text);
  // The source was copied first, so the destination may be the source itself.
  std::memcpy(destination, converted.c_str(), converted.size() + 1);
  return static_cast<int>(converted.size());
}

void* HostModel::Calloc(uint32_t count, uint32_t size) {
  State& s = *state_;
  s.Record(kOrdHostCalloc, {IntValue(count), IntValue(size)});
  ++s.callocCalls;
  if (s.failCallocAt != 0 && s.callocCalls == s.failCallocAt) return nullptr;
  void* block = std::calloc(count, size);
  if (block == nullptr) Fail("HostCalloc: the test machine is out of memory");
  s.blocks.insert(block);
  return block;
}

void HostModel::Free(void* block) {
  State& s = *state_;
  s.Record(kOrdHostFree, {AddressValue(block)});
  if (s.blocks.erase(block) == 0) Fail("HostFree of a block the host never handed out");
  std::free(block);
}

int HostModel::Profile(int mode, const char* section, const char* key, const char* format,
                       va_list arg) {
  State& s = *state_;
  va_list values;
  va_copy(values, arg);
  int result = 1;
  if (mode == kProfileRead) {
    void* destination = va_arg(values, void*);
    s.Record(kOrdHostProfile,
             {IntValue(mode), AddressValue(section), AddressValue(key), AddressValue(format),
              AddressValue(destination)},
             {TextOrEmpty(section), TextOrEmpty(key), TextOrEmpty(format)});
    auto it = s.settings.find({TextOrEmpty(section), TextOrEmpty(key)});
    if (it != s.settings.end() && format != nullptr) {
      // Scanned from a copy of the caller's list: its one argument is the destination.
      va_list scan;
      va_copy(scan, arg);
      const int scanned = std::vsscanf(it->second.c_str(), format, scan);
      va_end(scan);
      result = scanned >= 1 ? 0 : 1;
    }
    if (s.profileReadAnswer) result = *s.profileReadAnswer;
  } else if (mode == kProfileWrite) {
    va_list peek;
    va_copy(peek, arg);
    const int value = va_arg(peek, int);
    va_end(peek);
    s.Record(kOrdHostProfile,
             {IntValue(mode), AddressValue(section), AddressValue(key), AddressValue(format),
              IntValue(value)},
             {TextOrEmpty(section), TextOrEmpty(key), TextOrEmpty(format)});
    if (format != nullptr) {
      s.settings[{TextOrEmpty(section), TextOrEmpty(key)}] = FormatV(format, arg);
      result = 0;
    }
  } else {
    s.Record(kOrdHostProfile,
             {IntValue(mode), AddressValue(section), AddressValue(key), AddressValue(format)},
             {TextOrEmpty(section), TextOrEmpty(key), TextOrEmpty(format)});
  }
  va_end(values);
  return result;
}

int HostModel::RoundToInt(double value) {
  state_->Record(kOrdHostRoundToInt, {}, {}, {value});
  return static_cast<int>(std::lround(value));  // half away from zero
}

HostTable HostModel::TableByNumber(int table) {
  state_->Record(kOrdHostTableByNumber, {IntValue(table)});
  return Table(table);
}

int HostModel::ShowDialog(int dialog, void* value, int reserved, const char* text) {
  int16_t seen = 0;
  if (value != nullptr) std::memcpy(&seen, value, sizeof seen);
  state_->Record(kOrdHostShowDialog,
                 {IntValue(dialog), AddressValue(value), IntValue(reserved), AddressValue(text),
                  IntValue(seen)},
                 {TextOrEmpty(text)});
  if (value != nullptr && state_->dialogResult) {
    const int16_t answer = *state_->dialogResult;
    std::memcpy(value, &answer, sizeof answer);
  }
  return 0;
}

int HostModel::ErrorMessage(const char* text) {
  state_->Record(kOrdHostErrorMessage, {AddressValue(text)}, {TextOrEmpty(text)});
  return 0;
}

int16_t* HostModel::CurrentWord() {
  state_->Record(kOrdHostCurrentWord);
  return &state_->contextWord;
}
int32_t* HostModel::CurrentLong() {
  state_->Record(kOrdHostCurrentLong);
  return &state_->contextLong;
}

int HostModel::TodayText(char* buffer) {
  state_->Record(kOrdHostTodayText, {AddressValue(buffer)});
  if (buffer == nullptr) return 0;
  const std::string& today = state_->today;
  std::memcpy(buffer, today.data(), today.size());
  if (today.size() < 12) buffer[today.size()] = '\0';
  return 0;
}

int HostModel::QuietMode(int mode) {
  state_->Record(kOrdHostQuietMode, {IntValue(mode)});
  return 0;
}

HostFile HostModel::FileOpen(const char* name, const char* mode, int a, int b, int c) {
  State& s = *state_;
  s.Record(kOrdHostFileOpen,
           {AddressValue(name), AddressValue(mode), IntValue(a), IntValue(b), IntValue(c)},
           {TextOrEmpty(name), TextOrEmpty(mode)});
  if (s.failFileOpen || name == nullptr || mode == nullptr) return nullptr;
  FILE* stream = std::fopen(s.PathOf(name).c_str(), mode);
  if (stream != nullptr) s.openFiles.insert(stream);
  return stream;
}

int HostModel::FileClose(HostFile file) {
  State& s = *state_;
  s.Record(kOrdHostFileClose, {AddressValue(file)});
  FILE* stream = s.KnownFile(file, "HostFileClose");
  s.openFiles.erase(stream);
  return std::fclose(stream);
}

int HostModel::ProgressOpen(int id) {
  state_->Record(kOrdHostProgressOpen, {IntValue(id)});
  return 0;
}
int HostModel::ProgressClose() {
  state_->Record(kOrdHostProgressClose);
  return 0;
}
int HostModel::ProgressStep(int done, int total) {
  state_->Record(kOrdHostProgressStep, {IntValue(done), IntValue(total)});
  return 0;
}
int HostModel::ProgressPoll() {
  state_->Record(kOrdHostProgressPoll);
  return 0;
}

int HostModel::TablePrepare(HostTable table, int mode) {
  state_->Record(kOrdHostTablePrepare, {AddressValue(table), IntValue(mode)});
  return 0;
}

double HostModel::GrossPrice(int kind, int vat, double net, int scale) {
  state_->Record(kOrdHostGrossPrice, {IntValue(kind), IntValue(vat), IntValue(scale)}, {}, {net});
  auto it = state_->vatRates.find(vat);
  const double rate = it != state_->vatRates.end() ? it->second : kDefaultVatRate;
  return net * (100.0 + rate) / 100.0;
}

int HostModel::FilePrintf(HostFile file, const char* format, va_list values) {
  State& s = *state_;
  const std::string written = format != nullptr ? FormatV(format, values) : std::string();
  s.Record(kOrdHostFilePrintf, {AddressValue(file), AddressValue(format)},
           {TextOrEmpty(format), written});
  FILE* stream = s.KnownFile(file, "HostFilePrintf");
  if (format == nullptr) return 0;
  // The host's own formatting: the C library's, with the stream's text-mode translation.
  va_list copy;
  va_copy(copy, values);
  const int result = std::vfprintf(stream, format, copy);
  va_end(copy);
  std::fflush(stream);
  return result;
}

int HostModel::ReadRecord(int32_t source, int32_t index, uintptr_t arg6, int32_t zero,
                          uintptr_t arg8) {
  State& s = *state_;
  s.Record(kOrdHostReadRecord,
           {IntValue(source), IntValue(index), static_cast<int64_t>(static_cast<intptr_t>(arg6)),
            IntValue(zero), static_cast<int64_t>(static_cast<intptr_t>(arg8))});
  if (index < 0 || static_cast<size_t>(index) >= s.documentRecords.size()) return 1;
  TableState& table = s.TableSlot(kTableDocument);
  const int16_t size = ReadAt<int16_t>(table.object, table_object::kRecordSize);
  const std::vector<unsigned char>& record = s.documentRecords[static_cast<size_t>(index)];
  const size_t span =
      std::min(table.buffer.size(), std::max<size_t>(size > 0 ? size : 0, record.size()));
  std::fill(table.buffer.begin(), table.buffer.begin() + static_cast<std::ptrdiff_t>(span), 0);
  std::copy_n(record.begin(), std::min(record.size(), span), table.buffer.begin());
  return s.failingReads.count(index) != 0 ? 0x10000 : 1;
}

const char* HostModel::VatText(int a, int b, const uint16_t* code, int selector) {
  uint16_t value = 0;
  if (code != nullptr) std::memcpy(&value, code, sizeof value);
  state_->Record(kOrdHostVatText, {IntValue(a), IntValue(b), AddressValue(code), IntValue(selector),
                                   IntValue(value)});
  auto it = state_->vatTexts.find(value);
  if (it == state_->vatTexts.end()) return kDefaultVatText;
  return it->second ? it->second->c_str() : nullptr;
}

int HostModel::FindRecord(int a, int b) {
  State& s = *state_;
  s.Record(kOrdHostFindRecord, {IntValue(a), IntValue(b)});
  s.contextWordAtSearch = s.contextWord;
  s.contextLongAtSearch = s.contextLong;
  auto found = s.warehouseRecords.find({s.contextWord, s.contextLong});
  if (found != s.warehouseRecords.end()) {
    TableState& table = s.TableSlot(kTableK9);
    std::fill(table.buffer.begin(), table.buffer.end(), 0);
    std::copy_n(found->second.begin(), std::min(found->second.size(), table.buffer.size()),
                table.buffer.begin());
    return 1;
  }
  if (s.findRecord) {
    TableState& table = s.TableSlot(kTableK9);
    std::fill(table.buffer.begin(), table.buffer.end(), 0);
    std::copy_n(s.findRecord->begin(), std::min(s.findRecord->size(), table.buffer.size()),
                table.buffer.begin());
  }
  return s.findResult;
}

void HostModel::SeTranslator(unsigned code, void* exceptionPointers) {
  state_->Record(kOrdHostSeTranslator, {IntValue(code), AddressValue(exceptionPointers)});
}

uintptr_t HostModel::DelayLoadHook(unsigned notification, const char* library,
                                   const char* serviceName, unsigned serviceOrdinal) {
  State& s = *state_;
  const std::string service =
      serviceName != nullptr ? std::string(serviceName) : "#" + std::to_string(serviceOrdinal);
  s.Record(kOrdHostDelayLoadHook,
           {IntValue(notification), IntValue(serviceName != nullptr ? 0 : serviceOrdinal)},
           {TextOrEmpty(library), service});
  auto it = s.delayLoadAnswers.find({notification, service});
  if (it == s.delayLoadAnswers.end()) it = s.delayLoadAnswers.find({notification, ""});
  return it != s.delayLoadAnswers.end() ? it->second : 0;
}

int HostModel::Unused38417() {
  state_->Record(kOrdUnused38417);
  return 0;
}

// ---- the default document-action handler ------------------------------------------------

namespace {

int32_t HOST_CDECL RecordingActionHandler(uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4,
                                          uintptr_t a5, uintptr_t a6, uintptr_t a7, uintptr_t a8,
                                          uintptr_t a9, uintptr_t a10, uintptr_t a11) {
  // A handler is a bare code address without a context: it reports to the process-wide model.
  return Host().RecordHandlerCall({a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11});
}

}  // namespace

DocumentActionHandler HostModel::DefaultActionHandler() { return &RecordingActionHandler; }
void HostModel::SetHandlerResult(int32_t result) { state_->handlerResult = result; }

int32_t HostModel::RecordHandlerCall(const std::vector<uintptr_t>& arguments) {
  std::vector<int64_t> ints;
  for (uintptr_t argument : arguments) {
    ints.push_back(static_cast<int64_t>(static_cast<intptr_t>(argument)));
  }
  state_->Record(kHandlerOrdinal, std::move(ints));
  return state_->handlerResult;
}

HostModel& Host() {
  // Never destroyed: code that runs at process exit may still reach the host.
  static HostModel* model = new HostModel();
  return *model;
}

}  // namespace sim
