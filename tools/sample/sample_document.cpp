#include "tools/sample/sample_document.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host/host_types.h"
#include "sim/host_model.h"

namespace sample {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  size_t e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool ParseNumber(const std::string& text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0';
}

// Copies a text into its field, cut so that the field's span keeps a terminator.
void PutText(std::vector<unsigned char>& record, size_t offset, size_t end, const std::string& t) {
  size_t n = std::min(t.size(), end - offset - 1);
  std::memcpy(record.data() + offset, t.data(), n);
}

enum class Section { kNone, kPosition, kWarehouse, kVat };

}  // namespace

bool ParseDocument(const std::string& text, Document* document, std::string* error) {
  namespace dr = document_record;
  std::istringstream in(text);
  std::string line;
  Section section = Section::kNone;
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    *error = "line " + std::to_string(lineNo) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNo;
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line == "[Pozycja]") {
      section = Section::kPosition;
      document->records.emplace_back(dr::kSize, 0);
      continue;
    }
    if (line == "[Magazyn]") {
      section = Section::kWarehouse;
      document->warehouse.push_back({0, 0, std::vector<unsigned char>(k9_record::kSize, 0)});
      continue;
    }
    if (line == "[Vat]") {
      section = Section::kVat;
      document->vat.push_back({});
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) return fail("expected key=value");
    std::string key = Trim(line.substr(0, eq));
    std::string value = Trim(line.substr(eq + 1));
    double number = 0;
    bool isNumber = ParseNumber(value, &number);
    auto needNumber = [&] { return isNumber ? true : fail("not a number: " + value); };

    if (section == Section::kNone) {
      if (key != "Data") return fail("unknown key outside a block: " + key);
      document->today = value;
    } else if (section == Section::kPosition) {
      auto& r = document->records.back();
      unsigned char* p = r.data();
      std::string mazovia = sim::Utf8ToMazovia(value);
      if (key == "Nazwa")
        PutText(r, dr::kName, dr::kNameEnd, mazovia);
      else if (key == "Symbol")
        PutText(r, dr::kSymbol, dr::kSymbolEnd, mazovia);
      else if (key == "Jm")
        PutText(r, dr::kUnit, dr::kUnitEnd, mazovia);
      else if (key == "PKWIU")
        PutText(r, dr::kClassification, dr::kClassificationEnd, mazovia);
      else if (!needNumber())
        return false;
      else if (key == "Ilosc")
        WriteAt<int32_t>(p, dr::kQuantity, static_cast<int32_t>(number));
      else if (key == "Rabat")
        WriteAt<double>(p, dr::kDiscount, number);
      else if (key == "Wartosc")
        WriteAt<double>(p, dr::kValue, number);
      else if (key == "CenaNetto")
        WriteAt<double>(p, dr::kNetPrice, number);
      else if (key == "CenaBrutto")
        WriteAt<double>(p, dr::kGrossPrice, number);
      else if (key == "Vat")
        WriteAt<uint16_t>(p, dr::kVatCode, static_cast<uint16_t>(number));
      else if (key == "Mag")
        WriteAt<int16_t>(p, dr::kWarehouse, static_cast<int16_t>(number));
      else if (key == "Artykul")
        WriteAt<uint16_t>(p, dr::kArticleKey, static_cast<uint16_t>(number));
      else
        return fail("unknown position key: " + key);
    } else if (section == Section::kWarehouse) {
      auto& w = document->warehouse.back();
      if (!needNumber()) return false;
      if (key == "Mag")
        w.warehouse = static_cast<int16_t>(number);
      else if (key == "Artykul")
        w.article = static_cast<uint16_t>(number);
      else if (key == "CenaNetto")
        WriteAt<double>(w.record.data(), k9_record::kNetPrice, number);
      else if (key == "CenaBrutto")
        WriteAt<double>(w.record.data(), k9_record::kGrossPrice, number);
      else
        return fail("unknown warehouse key: " + key);
    } else {
      auto& v = document->vat.back();
      if (key == "Tekst") {
        v.mazoviaText = sim::Utf8ToMazovia(value);
        continue;
      }
      if (!needNumber()) return false;
      if (key == "Kod")
        v.code = static_cast<uint16_t>(number);
      else if (key == "Stawka")
        v.percent = number;
      else
        return fail("unknown VAT key: " + key);
    }
  }
  return true;
}

bool LoadDocument(const std::string& path, Document* document, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot open " + path;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return ParseDocument(text.str(), document, error);
}

void ScriptHost(const Document& document) {
  sim::HostModel& host = sim::Host();
  host.SetDocumentRecords(document.records);
  for (const WarehousePrice& w : document.warehouse)
    host.AddWarehouseRecord(w.warehouse, w.article, w.record);
  for (const VatRate& v : document.vat) {
    host.SetVatText(v.code, v.mazoviaText);
    host.SetVatRate(v.code, v.percent);
  }
  host.SetTodayText(document.today);
}

}  // namespace sample
