// Shared by the frame's Wine tests: where the DLLs are, the binding order, the expected texts of
// the missing-entry box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host/host_entries.h"
#include "sim/host_model.h"

namespace frame_test {

// A file in the directory of the running test program (where the DLLs are copied).
inline std::string BesideTestProgram(const std::string& file) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string directory(path, length);
  return directory.substr(0, directory.find_last_of("\\/") + 1) + file;
}

inline std::string PluginPath() { return BesideTestProgram(QARN_PLUGIN_FILE); }
inline std::string ProbePath() { return BesideTestProgram(QARN_PROBE_FILE); }

// The host entries in binding order.
inline const std::vector<unsigned>& BindingOrder() {
  static const std::vector<unsigned> order = {
      kOrdHostMessage,       kOrdHostMessageF,     kOrdHostConvertText,   kOrdUnused38417,
      kOrdHostCalloc,        kOrdHostFree,         kOrdHostProfile,       kOrdHostRoundToInt,
      kOrdHostTableByNumber, kOrdHostShowDialog,   kOrdHostErrorMessage,  kOrdHostCurrentWord,
      kOrdHostCurrentLong,   kOrdHostTodayText,    kOrdHostQuietMode,     kOrdHostFileOpen,
      kOrdHostFileClose,     kOrdHostProgressOpen, kOrdHostProgressClose, kOrdHostProgressStep,
      kOrdHostProgressPoll,  kOrdHostTablePrepare, kOrdHostGrossPrice,    kOrdHostFilePrintf,
      kOrdHostReadRecord,    kOrdHostVatText,      kOrdHostFindRecord};
  return order;
}

// The missing-entry box's text in UTF-8, markup bytes already turned into spaces.
inline std::string MissingEntryText(const std::string& module, const std::string& entry) {
  return "W module  " + module + " \nbrak wpisu  " + entry +
         " \nWywołano z wtyczki  Qarn_tzak_fakt_zbiorcza .\n\n"
         "Błąd ten można zignorować lecz dalsza praca\n"
         "programu w tych warunkach może być niebezpieczna.\n\n"
         "Konieczna jest aktualizacja programu!";
}
inline const char kMissingEntryCaption[] = "POWAŻNY BŁĄD WTYCZKI";
inline constexpr unsigned kMissingEntryStyle = 0x2012;  // task-modal, error, Abort/Retry/Ignore

// A file name in the temporary directory that no other test process uses at the same time.
inline std::string TemporaryFile(const std::string& stem) {
  char directory[MAX_PATH];
  GetTempPathA(sizeof directory, directory);
  return std::string(directory) + stem + "_" + std::to_string(GetCurrentProcessId()) + ".bin";
}

// Splits "a,b,c".
inline std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = list.find(',', start);
    const size_t end = comma == std::string::npos ? list.size() : comma;
    if (end > start) items.push_back(list.substr(start, end - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

}  // namespace frame_test
