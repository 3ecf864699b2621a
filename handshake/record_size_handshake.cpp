#include "handshake/record_size_handshake.h"

#include <cstdarg>
#include <cstddef>
#include <cstring>

#include "export/document_hook.h"
#include "export/format.h"
#include "handshake/installed_notice.h"
#include "handshake/mismatch_list.h"
#include "host/host_entries.h"
#include "host/module_record.h"

TableSizeNode g_dDekNode = {};
TableSizeNode g_documentNode = {};
TableSizeNode g_k9Node = {};

namespace {

// The three tables whose records the plug-in reads, compared in this order at every attach.
struct ComparedTable {
  TableSizeNode* node;
  const char* name;
  int number;
  int32_t expectedSize;
};
const ComparedTable kComparedTables[] = {
    {&g_dDekNode, kTableNameDDek, kTableDDek, kSizeDDek},
    {&g_documentNode, kTableNameDocument, kTableDocument, kSizeDocument},
    {&g_k9Node, kTableNameK9, kTableK9, kSizeK9},
};

constexpr int kStopMessageFlags = 0xC001;
constexpr char kStopTitle[] = "STOP!!!";
constexpr char kNeedsNewerPlugin[] = "Program wymaga nowszej wtyczki!";

// The host formats this one itself, with the identity string for both %s.
// "Moduł \"%s\" i program występują w różnych wersjach!\n\n"
// "Został zakualizowany tylko program albo tylko moduł,\n"
// "a nie oba jednocześnie! Aby naprawić tę sytuację\n"
// "zainstaluj aktualizację programu wraz z modułem \"%s\".\n\n"
// "MODUŁ NIE ZOSTANIE ZAŁADOWANY!!!\n"
constexpr char kVersionMessageFormat[] =
    "Modu\x92 \"%s\" i program wyst\x91puj\x86 w r\xA2\xA7nych wersjach!\n\n"
    "Zosta\x92 zakualizowany tylko program albo tylko modu\x92,\n"
    "a nie oba jednocze\x9Enie! Aby naprawi\x8D t\x91 sytuacj\x91\n"
    "zainstaluj aktualizacj\x91 programu wraz z modu\x92"
    "em \"%s\".\n\n"
    "MODU\x9C NIE ZOSTANIE ZA\x9C"
    "ADOWANY!!!\n";

// "Rozmiary rekordów niektórych tabel nie zgadzają się\nmiędzy programem a wtyczką \"%s\":\n\n"
// "\x01tl18l33\x01TABELA\tWE WTYCZCE\tW PROGRAMIE\n"
constexpr char kReportHeadingFormat[] =
    "Rozmiary rekord\xA2w niekt\xA2rych tabel nie zgadzaj\x86 si\x91\n"
    "mi\x91"
    "dzy programem a wtyczk\x86 \"%s\":\n\n"
    "\x01tl18l33\x01TABELA\tWE WTYCZCE\tW PROGRAMIE\n";
// One table: its name, the plug-in's size, the host's size ("brak" when the host has none).
constexpr char kReportRowFormat[] = "\x01tp25p40\x01%s\t%d\t%d\n";
constexpr char kReportRowMissingFormat[] = "\x01tp25p40\x01%s\t%d\tbrak\n";
// "\nModuł wtyczki \x02%s\x01\nNIE zostanie załadowany!"
constexpr char kReportTailFormat[] =
    "\nModu\x92 wtyczki \x02%s\x01\nNIE zostanie za\x92"
    "adowany!";

// The report's text, composed on each call; nothing is ever written past its end.
struct ReportText {
  char text[kReportBufferSize];
  size_t length;  // always below kReportBufferSize: the last byte is kept for the NUL
};

void Append(ReportText* report, const char* format, ...) QARN_PRINTF_LIKE(2, 3);
void Append(ReportText* report, const char* format, ...) {
  va_list values;
  va_start(values, format);
  report->length += FormatText(report->text + report->length, sizeof report->text - report->length,
                               format, values);
  va_end(values);
  // The formatter stops at size-1; holding the bound here too keeps every later append inside.
  if (report->length >= sizeof report->text) report->length = sizeof report->text - 1;
}

// The module's file name: what follows the path's last backslash, the whole path without one.
// Copied with a bound, so that a path filling the record without a NUL is still cut safely.
void CopyModuleFileName(char (&fileName)[kModulePathSize]) {
  const char* path = g_moduleRecord.path;
  const void* end = std::memchr(path, '\0', kModulePathSize - 1);
  const size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - path)
                                       : kModulePathSize - 1;
  size_t start = length;
  while (start > 0 && path[start - 1] != '\\') --start;
  std::memcpy(fileName, path + start, length - start);
  fileName[length - start] = '\0';
}

}  // namespace

int32_t RecordSizeHandshake() {
  for (const ComparedTable& table : kComparedTables) {
    FillTableSizeNode(table.node, table.name, table.expectedSize, HostTableByNumber(table.number));
    NoteTableSize(table.node);
  }
  // Only the document table decides: without the hook there is no export to offer.
  if (SetDocumentHook(1) != 0) {
    HostErrorMessage(kNeedsNewerPlugin);
    return -1;
  }
  ShowInstalledNotice();
  return 0;
}

void ShowMismatchReport() {
  if (g_mismatchList == nullptr) {
    HostMessageF(kStopTitle, kVersionMessageFormat, kStopMessageFlags, kPluginName, kPluginName);
    return;
  }

  ReportText report;
  report.text[0] = '\0';
  report.length = 0;
  Append(&report, kReportHeadingFormat, kPluginName);
  for (const TableSizeNode* node = g_mismatchList; node != nullptr; node = node->next) {
    if (node->hostSize == 0) {
      Append(&report, kReportRowMissingFormat, node->name, static_cast<int>(node->expectedSize));
    } else {
      Append(&report, kReportRowFormat, node->name, static_cast<int>(node->expectedSize),
             static_cast<int>(node->hostSize));
    }
  }
  char fileName[kModulePathSize];
  CopyModuleFileName(fileName);
  Append(&report, kReportTailFormat, fileName);

  HostMessage(kStopTitle, report.text, kStopMessageFlags);
}
