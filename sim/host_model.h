// The simulated host: one model of the host program and its library ZEFIRA, used in two forms.
// Natively it is linked into the unit tests and the Host* entries of host/host_entries.h call
// it directly (sim/native_entries.cpp). On Win32 it lives in hostsim.dll; the ZEFIRA.dll test
// double exports the host's ordinals and forwards every call to it, and the test host program
// scripts and inspects it through the same class.
//
// The model records every call (entry, arguments, texts as bytes) and answers as scripted.
// Test code only: it uses the standard library freely.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/host_types.h"

#if defined(_WIN32) && defined(HOSTSIM_BUILD)
#define HOSTSIM_API __declspec(dllexport)
#elif defined(_WIN32) && defined(HOSTSIM_DLL)
#define HOSTSIM_API __declspec(dllimport)
#else
#define HOSTSIM_API
#endif

namespace sim {

// One recorded call of a host entry.
struct Call {
  unsigned ordinal = 0;
  std::vector<int64_t> ints;       // integer and address arguments, in order (doubles excluded);
                                   // addresses as AddressValue() gives them
  std::vector<double> doubles;     // double arguments, in order
  std::vector<std::string> texts;  // text arguments as bytes, in order; for the variadic
                                   // entries the last text is the host-formatted result
};

// How a recorded call keeps an address (and any pointer-sized argument): sign-extended, so -1
// passed in a pointer-sized argument reads -1 on both platforms.
inline int64_t AddressValue(const void* address) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(address));
}

// Mazovia <-> Windows-1250 for the 18 Polish letters; every other byte is kept.
HOSTSIM_API std::string MazoviaToWindows1250(const std::string& mazovia);
HOSTSIM_API std::string Windows1250ToMazovia(const std::string& windows1250);
// UTF-8 Polish text to Mazovia (test helper: expected texts are written in UTF-8). ASCII and the
// 18 Polish letters convert; bytes that are not well-formed UTF-8 (text already in a single-byte
// code page) are kept; any other character aborts the run with a message.
HOSTSIM_API std::string Utf8ToMazovia(const std::string& utf8);
HOSTSIM_API std::string Utf8ToWindows1250(const std::string& utf8);

class HOSTSIM_API HostModel {
 public:
  HostModel();
  ~HostModel();
  HostModel(const HostModel&) = delete;
  HostModel& operator=(const HostModel&) = delete;

  // Back to the defaults below; forgets calls, tables, settings and failures.
  // Defaults: tables 59, 112 and 49 exist with sizes 2418, 1890 and 1024 and a handler slot
  // holding DefaultActionHandler(); no document records; HostFindRecord answers 0; VAT texts
  // empty map (HostVatText answers "23" for any code); today "2026-12-11"; dialog leaves the
  // value unchanged; no failures; files are written under the current directory.
  void Reset();

  // ---- scripting -------------------------------------------------------------------------
  // Tables: an object of at least 112 bytes with the record size at byte 6, a record buffer
  // (max(size, 2048) bytes, owned by the model) at byte 8 and the handler slot at byte 104.
  // A table number keeps one object address for the life of the process (across Reset and
  // RemoveTable), so a handler slot the plug-in still holds never dangles. SetTable on an
  // existing table changes its size only; a new or re-added table gets DefaultActionHandler().
  void SetTable(int number, int16_t recordSize);
  void RemoveTable(int number);  // HostTableByNumber answers null for it
  HostTable Table(int number);   // the object, or null
  unsigned char* RecordBuffer(int number);

  // Document records: HostReadRecord(source, index, ...) copies records[index] (padded with
  // zeros to the record size) into table 112's record buffer and answers 1; an index out of
  // range copies nothing and answers 1; a scripted failing index copies the record and
  // answers a value whose low 16 bits are 0 (0x10000).
  void SetDocumentRecords(std::vector<std::vector<unsigned char>> records);
  void FailReadAt(int index);

  // k9 search: HostFindRecord answers `result`; when `record` is given it is copied into
  // table 49's record buffer first. Also records the context values seen during the search.
  void SetFindResult(int result, std::optional<std::vector<unsigned char>> record = {});
  // A warehouse price record the search finds by the context values: the 16-bit value holds
  // the warehouse, the 32-bit value the article key's low 16 bits widened with their sign. A
  // search that matches one copies it into table 49's record buffer and answers 1; any other
  // search answers as SetFindResult scripted.
  void AddWarehouseRecord(int16_t warehouse, uint16_t article, std::vector<unsigned char> record);
  int16_t ContextWord() const;  // the host's current 16-bit and 32-bit context values
  int32_t ContextLong() const;
  void SetContext(int16_t word, int32_t longValue);
  int16_t ContextWordAtSearch() const;  // as the last HostFindRecord saw them
  int32_t ContextLongAtSearch() const;

  // VAT texts by code; a code mapped to nullopt makes HostVatText answer null.
  void SetVatText(uint16_t code, std::optional<std::string> mazoviaText);

  // Settings store: section/key -> the text the host keeps ("%d" formatted). HostProfile mode 1
  // scans the stored text with the format into the destination and answers 0 (1 when absent or
  // unreadable, writing nothing); mode 2 stores the value formatted with the format, answers 0.
  void SetSetting(const std::string& section, const std::string& key, const std::string& value);
  void EraseSetting(const std::string& section, const std::string& key);
  std::optional<std::string> Setting(const std::string& section, const std::string& key) const;
  // What a settings read answers, whatever it found (the value, if stored, is still read into
  // the destination); nullopt: 0 when the value was read, 1 otherwise.
  void SetProfileReadAnswer(std::optional<int> answer);

  // Dialog 1194 writes this 16-bit value through its value address when set.
  void SetDialogResult(std::optional<int16_t> value);

  // HostCalloc answers null on its nth call (1-based, counted from the last Reset); 0 = never.
  // HostFree of a block the model did not hand out (null included) aborts the process with a
  // message: a fault of the caller, never a quiet no-op.
  void FailCallocAt(int nth);
  int OutstandingBlocks() const;  // blocks taken with HostCalloc and not yet freed

  void FailFileOpen(bool fail);
  // Today's date text: up to 12 bytes copied verbatim (no terminator added when 12 are given).
  void SetTodayText(const std::string& bytes);
  // Directory where HostFileOpen creates files ("" = current directory).
  void SetFileDirectory(const std::string& directory);
  // The bytes of a file written through HostFileOpen/HostFilePrintf/HostFileClose.
  std::string FileBytes(const std::string& name) const;
  // The same file read back in text mode, as a text reader of this platform sees it: the
  // CRLF that "wt" stores on Win32 reads as a line feed there; natively nothing changes.
  std::string FileText(const std::string& name) const;

  // HostGrossPrice answers net * (100 + rate) / 100 with the rate scripted per VAT code
  // (default 23); HostRoundToInt rounds half away from zero.
  void SetVatRate(int vatCode, double ratePercent);

  // The delay-load hook (30007) answers `answer` to `notification` for the service `service`
  // ("" = any service; a named answer wins over the general one). Unscripted: 0. Each call is
  // recorded with ordinal 30007, ints {notification, service ordinal or 0}, texts {library
  // name, service name or "#ordinal"}.
  void SetDelayLoadAnswer(unsigned notification, uintptr_t answer, const std::string& service = "");

  // ---- recording -------------------------------------------------------------------------
  const std::vector<Call>& Calls() const;
  std::vector<Call> CallsTo(unsigned ordinal) const;
  std::vector<unsigned> Ordinals() const;  // the ordinals of all calls, in order
  void ClearCalls();

  // ---- the entries (called by the native entry functions and by the ZEFIRA double) ---------
  int Message(const char* title, const char* text, int flags);
  int MessageF(const char* title, const char* format, int flags, va_list values);
  int ConvertText(char* destination, const char* source, int from, int to);
  void* Calloc(uint32_t count, uint32_t size);
  void Free(void* block);
  int Profile(int mode, const char* section, const char* key, const char* format, va_list arg);
  int RoundToInt(double value);
  HostTable TableByNumber(int table);
  int ShowDialog(int dialog, void* value, int reserved, const char* text);
  int ErrorMessage(const char* text);
  int16_t* CurrentWord();
  int32_t* CurrentLong();
  int TodayText(char* buffer);
  int QuietMode(int mode);
  HostFile FileOpen(const char* name, const char* mode, int a, int b, int c);
  int FileClose(HostFile file);
  int ProgressOpen(int id);
  int ProgressClose();
  int ProgressStep(int done, int total);
  int ProgressPoll();
  int TablePrepare(HostTable table, int mode);
  double GrossPrice(int kind, int vat, double net, int scale);
  int FilePrintf(HostFile file, const char* format, va_list values);
  int ReadRecord(int32_t source, int32_t index, uintptr_t arg6, int32_t zero, uintptr_t arg8);
  const char* VatText(int a, int b, const uint16_t* code, int selector);
  int FindRecord(int a, int b);
  // Only the ZEFIRA double calls these: 30005, 30007 and the never-called 38417.
  void SeTranslator(unsigned code, void* exceptionPointers);
  uintptr_t DelayLoadHook(unsigned notification, const char* library, const char* serviceName,
                          unsigned serviceOrdinal);
  int Unused38417();

  // The handler the model puts in every table's slot: records a call with ordinal
  // kHandlerOrdinal and its eleven arguments, and answers HandlerResult().
  static constexpr unsigned kHandlerOrdinal = 1;
  // It reports to Host(), the process-wide model.
  static DocumentActionHandler DefaultActionHandler();
  void SetHandlerResult(int32_t result);
  int32_t RecordHandlerCall(const std::vector<uintptr_t>& arguments);  // the handler's work

 private:
  static std::string ReadFile(const std::string& path, const char* mode);

  struct State;
  State* state_;
};

// The process-wide model.
HOSTSIM_API HostModel& Host();

}  // namespace sim
