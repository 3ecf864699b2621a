// Builds Qarn_wyc document records (1890 bytes) and k9 records (1024 bytes) from named fields,
// at the byte positions of host/host_types.h, for tests that script the simulated host.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/host_types.h"
#include "sim/host_model.h"

namespace fixture {

// One document record's fields. Texts are raw Mazovia bytes, written without a terminator
// when they fill their whole span (the rest of the record is zero).
struct DocumentFields {
  std::string name;
  std::string symbol;
  std::string unit;
  double netPrice = 0.0;    // ten-thousandths
  double grossPrice = 0.0;  // ten-thousandths
  int32_t quantity = 0;     // thousandths
  double discount = 0.0;    // thousandths
  uint16_t vatCode = 0;
  std::string classification;
  int16_t warehouse = 0;
  uint16_t articleKey = 0;
  double value = 0.0;  // ten-thousandths
};

inline void PutText(std::vector<unsigned char>& record, size_t begin, size_t end,
                    const std::string& text) {
  if (text.size() > end - begin) {
    throw std::length_error("text longer than its field: " + text);
  }
  std::memcpy(record.data() + begin, text.data(), text.size());
}

inline std::vector<unsigned char> BuildDocumentRecord(const DocumentFields& f) {
  namespace doc = document_record;
  std::vector<unsigned char> record(doc::kSize, 0);
  PutText(record, doc::kName, doc::kNameEnd, f.name);
  PutText(record, doc::kSymbol, doc::kSymbolEnd, f.symbol);
  PutText(record, doc::kUnit, doc::kUnitEnd, f.unit);
  WriteAt(record.data(), doc::kNetPrice, f.netPrice);
  WriteAt(record.data(), doc::kGrossPrice, f.grossPrice);
  WriteAt(record.data(), doc::kQuantity, f.quantity);
  WriteAt(record.data(), doc::kDiscount, f.discount);
  WriteAt(record.data(), doc::kVatCode, f.vatCode);
  PutText(record, doc::kClassification, doc::kClassificationEnd, f.classification);
  WriteAt(record.data(), doc::kWarehouse, f.warehouse);
  WriteAt(record.data(), doc::kArticleKey, f.articleKey);
  WriteAt(record.data(), doc::kValue, f.value);
  return record;
}

// A k9 record holding the two prices the plug-in reads; every other byte is `fill`.
inline std::vector<unsigned char> BuildK9Record(double netPrice, double grossPrice,
                                                unsigned char fill = 0) {
  std::vector<unsigned char> record(k9_record::kSize, fill);
  WriteAt(record.data(), k9_record::kNetPrice, netPrice);
  WriteAt(record.data(), k9_record::kGrossPrice, grossPrice);
  return record;
}

// A directory of its own for the files the simulated host writes during one test, so that
// tests run in parallel never share "qarn_zak_fakt_zbiorcza.txt"; removed afterwards.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& tag)
      : path_(std::filesystem::temp_directory_path() /
              ("qarn_" + tag + "_" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    sim::Host().SetFileDirectory(path_.string());
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  std::filesystem::path File(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace fixture
