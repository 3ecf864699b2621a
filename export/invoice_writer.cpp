// The collective sales invoice: every document record with a name and a quantity becomes one
// [PozNN] block of "qarn_zak_fakt_zbiorcza.txt", an INI-like import file in Windows-1250.
#include "export/invoice_writer.h"

#include <cstring>

#include "export/fprintf_win.h"
#include "export/price_lookup.h"
#include "host/host_entries.h"
#include "host/host_types.h"

namespace {

namespace doc = document_record;

constexpr char kOpenMode[] = "wt";
constexpr int kOpenA = 64, kOpenB = 0, kOpenC = -1;
constexpr int kProgressDialog = 812;
constexpr int32_t kProgressEvery = 10;

// Scales of the record's numbers: thousandths (quantity, discount), ten-thousandths (prices).
constexpr double kThousandths = 0.001;
constexpr double kTenThousandths = 0.0001;
// One hundredth of the currency unit, in ten-thousandths: below it a position's own value is
// no usable price.
constexpr double kPriceThreshold = 100.0;

// HostGrossPrice(kind, VAT code, net, scale) and HostVatText(0, 0, &code, selector).
constexpr int kGrossPriceKind = 2;
constexpr int kGrossPriceScale = 100;
constexpr int kVatTextSelector = 'S';

// _ZewMagazynWprowadz's pass-through arguments of HostFindRecord.
constexpr int32_t kFindA = -1, kFindB = 0;

constexpr size_t kDateSize = 12;  // the host's date text with its terminator

// Pure ASCII, so the host formats them directly.
constexpr char kInfoBlock[] =
    "[Info]\nProgram=KORVANT QARN_ZAK_FAKT_ZBIORCZA\nKodowanie=Windows 1250\n";
constexpr char kDocumentBlock[] =
    "[Dokument]\nRejestr=FakturySpr\nSymbolKontrahenta=Import\nTypDok=1\nDataSprzed=%s\n"
    "DataWyst=%s\n\n[ZawartoscDokumentu]\n";
constexpr char kPositionHeader[] = "[Poz%02d]\n";

constexpr char kTitle[] = "Uwaga";
// "Nie udało się zapisać faktury do pliku"
constexpr char kOpenFailedText[] = "Nie uda\x92o si\x91 zapisa\x8D faktury do pliku";
// "Zapisano fakturę do pliku qarn_zak_fakt_zbiorcza.txt"
constexpr char kSavedText[] = "Zapisano faktur\x91 do pliku qarn_zak_fakt_zbiorcza.txt";
constexpr int kSavedFlags = 0x5001;
// "Błąd od_fseek we wtyczce Qarn_wyc_fakt_zbiorcza!\nOperacja niekompletna"
constexpr char kReadFailedText[] =
    "B\x92\x86"
    "d od_fseek we wtyczce Qarn_wyc_fakt_zbiorcza!\nOperacja niekompletna";
constexpr int kReadFailedFlags = 1;

// A record text field copied into a buffer of its span plus a terminator: a text that fills
// its span without a NUL is cut at the span's end instead of running into the next field.
template <size_t Begin, size_t End>
struct FieldText {
  static_assert(End > Begin, "a text field spans at least one byte");
  char text[End - Begin + 1];

  explicit FieldText(const unsigned char* record) {
    const size_t span = End - Begin;
    const void* nul = std::memchr(record + Begin, '\0', span);
    const size_t length =
        nul != nullptr
            ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - (record + Begin))
            : span;
    std::memcpy(text, record + Begin, length);
    text[length] = '\0';
  }
};

struct UnitPrices {
  double net;
  double gross;
};

// Net and gross unit prices of an exported position, in ten-thousandths.
UnitPrices ResolvePrices(const unsigned char* record, unsigned char* k9Record) {
  const int32_t quantity = ReadAt<int32_t>(record, doc::kQuantity);
  const double unitValue =
      ReadAt<double>(record, doc::kValue) / (static_cast<double>(quantity) * kThousandths);

  if (unitValue < kPriceThreshold) {
    const UnitPrices own = {ReadAt<double>(record, doc::kNetPrice),
                            ReadAt<double>(record, doc::kGrossPrice)};
    const uint16_t articleKey = ReadAt<uint16_t>(record, doc::kArticleKey);
    if (articleKey == 0) return own;
    const uint16_t warehouse = ReadAt<uint16_t>(record, doc::kWarehouse);
    if (_ZewMagazynWprowadz(kFindA, warehouse, articleKey, k9Record, kFindB) == 0) return own;
    // Without a k9 table there is no k9 record to read, whatever the lookup answered.
    if (k9Record == nullptr) return own;
    const double k9Net = ReadAt<double>(k9Record, k9_record::kNetPrice);
    if (k9Net < kPriceThreshold) return own;  // a NaN net price is used, as written
    return {k9Net, ReadAt<double>(k9Record, k9_record::kGrossPrice)};
  }

  // Unit value of 100 or more, or not a number: the value is the net price, and the host
  // computes the gross price from it.
  const int vatCode = ReadAt<uint16_t>(record, doc::kVatCode);
  const double gross = HostGrossPrice(kGrossPriceKind, vatCode, unitValue, kGrossPriceScale);
  return {unitValue, static_cast<double>(HostRoundToInt(gross))};
}

// One [PozNN] block of eleven lines for the record in `record`.
void WritePosition(HostFile file, int32_t position, const unsigned char* record,
                   unsigned char* k9Record) {
  HostFilePrintf(file, kPositionHeader, position);

  const FieldText<doc::kName, doc::kNameEnd> name(record);
  const FieldText<doc::kSymbol, doc::kSymbolEnd> symbol(record);
  const FieldText<doc::kUnit, doc::kUnitEnd> unit(record);
  const FieldText<doc::kClassification, doc::kClassificationEnd> classification(record);

  fprintfWin(file, "Nazwa=%s\n", name.text);
  fprintfWin(file, "Symbol=%s\n", symbol.text);
  fprintfWin(file, "Jm=%s\n", unit.text);
  fprintfWin(file, "Ilosc=%.3f\n",
             static_cast<double>(ReadAt<int32_t>(record, doc::kQuantity)) * kThousandths);
  fprintfWin(file, "PKWIU=%s\n", classification.text);
  fprintfWin(file, "Rabat=%.2f\n", ReadAt<double>(record, doc::kDiscount) * kThousandths);

  // The host reads the code through its place in the record.
  const char* vatText = HostVatText(0, 0, reinterpret_cast<const uint16_t*>(record + doc::kVatCode),
                                    kVatTextSelector);
  fprintfWin(file, "Vat=%s\n", vatText != nullptr ? vatText : "");

  const UnitPrices prices = ResolvePrices(record, k9Record);
  fprintfWin(file, "CenaNetto=%.2f\n", prices.net * kTenThousandths);
  fprintfWin(file, "CenaBrutto=%.2f\n", prices.gross * kTenThousandths);
  fprintfWin(file, "Mag=%d\n", static_cast<int>(ReadAt<int16_t>(record, doc::kWarehouse)));
}

bool IsExported(const unsigned char* record) {
  return record[doc::kName] != 0 && ReadAt<int32_t>(record, doc::kQuantity) != 0;
}

void EndRun(HostFile file, const char* text, int flags) {
  HostProgressClose();
  HostFileClose(file);
  HostMessage(kTitle, text, flags);
}

}  // namespace

void WriteCollectiveInvoice(const int32_t* count, uintptr_t readArg6, const int32_t* readSource,
                            uintptr_t readArg8, unsigned char* documentRecord,
                            unsigned char* k9Record) {
  HostFile file = HostFileOpen(kInvoiceFileName, kOpenMode, kOpenA, kOpenB, kOpenC);
  if (file == nullptr) {
    HostErrorMessage(kOpenFailedText);
    return;
  }
  HostFilePrintf(file, kInfoBlock);

  char date[kDateSize] = {};
  HostTodayText(date);
  date[kDateSize - 1] = '\0';  // a text that fills all 12 bytes is cut at 11 characters

  int32_t position = 1;
  HostFilePrintf(file, kDocumentBlock, date, date);
  HostProgressOpen(kProgressDialog);

  for (int32_t i = 0; i < *count; ++i) {
    if (i % kProgressEvery == 0) {
      HostProgressStep(i, *count);
      HostProgressPoll();
    }
    const int16_t readStatus =
        static_cast<int16_t>(HostReadRecord(*readSource, i, readArg6, 0, readArg8));
    // A skipped record's read status goes unlooked at.
    if (!IsExported(documentRecord)) continue;

    WritePosition(file, position, documentRecord, k9Record);
    ++position;
    // Looked at only now: the block of a failed read is already in the file.
    if (readStatus == 0) {
      EndRun(file, kReadFailedText, kReadFailedFlags);
      return;
    }
  }
  EndRun(file, kSavedText, kSavedFlags);
}
