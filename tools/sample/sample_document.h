// A collective document for the simulated host, read from a readable text file: one [Pozycja]
// block per document record, [Magazyn] blocks for the k9 warehouse price table and a [Vat]
// block of rate texts. Texts are UTF-8 in the file and Mazovia in the host's records.
//
// Test and tool code: it builds host records with the plug-in's own byte layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

struct WarehousePrice {
  int16_t warehouse = 0;
  uint16_t article = 0;
  std::vector<unsigned char> record;  // a 1024-byte k9 record
};

struct VatRate {
  uint16_t code = 0;
  std::string mazoviaText;
  double percent = 0;
};

struct Document {
  std::vector<std::vector<unsigned char>> records;  // 1890-byte document records
  std::vector<WarehousePrice> warehouse;
  std::vector<VatRate> vat;
  std::string today = "2026-12-11";
};

// Parses the text; on a malformed line returns false and describes it in `error`.
bool ParseDocument(const std::string& text, Document* document, std::string* error);
bool LoadDocument(const std::string& path, Document* document, std::string* error);

// Scripts the process-wide simulated host with the document: tables at their expected sizes,
// the records, the k9 prices by (warehouse, article) and the VAT texts and rates.
void ScriptHost(const Document& document);

}  // namespace sample
