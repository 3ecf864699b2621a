// The main job: loads ZEFIRA.dll (the simulated host) and the plug-in exactly as the host
// program does, attaches, runs document action 23 on a sample document through the handler in
// the document table's slot, detaches, and prints the collective invoice file.
//
//   qarn_sample_host.exe DOCUMENT [PLUGIN_DLL]
#include <cstdio>
#include <string>

#include "export/document_hook.h"
#include "export/invoice_writer.h"
#include "host/host_types.h"
#include "sim/host_model.h"
#include "tests/wine/plugin_host.h"
#include "tools/sample/sample_document.h"

namespace {

// Windows-1250 and Mazovia Polish letters to UTF-8, for showing texts on a Linux terminal.
std::string ToUtf8(const std::string& text, bool mazovia) {
  static const char* const kLetters[] = {"ą", "ć", "ę", "ł", "ń", "ó", "ś", "ź", "ż",
                                         "Ą", "Ć", "Ę", "Ł", "Ń", "Ó", "Ś", "Ź", "Ż"};
  std::string out;
  for (char c : text) {
    std::string one(1, c);
    std::string w1250 = mazovia ? sim::MazoviaToWindows1250(one) : one;
    bool done = false;
    for (const char* letter : kLetters) {
      if (static_cast<unsigned char>(c) >= 0x80 && sim::Utf8ToWindows1250(letter) == w1250) {
        out += letter;
        done = true;
        break;
      }
    }
    if (!done && c != '\r') out += (c == '\x01' || c == '\x02') ? ' ' : c;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DOCUMENT [PLUGIN_DLL]\n", argv[0]);
    return 2;
  }
  const std::string plugin = argc > 2 ? argv[2] : "qarn_zak_fakt_zbiorcza.dll";
  sample::Document document;
  std::string error;
  if (!sample::LoadDocument(argv[1], &document, &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 2;
  }

  plugin_host::PluginHost host;
  if (!host.Load(plugin)) {
    std::fprintf(stderr, "the plug-in did not load (error %lu)\n", host.LoadError());
    return 1;
  }
  sample::ScriptHost(document);
  sim::Host().SetSetting(kPluginName, "Pytaj", "1");  // no installed notice in a batch run

  char name[kPluginNameSize] = {};
  int attached = host.Attach(&host, name);
  int result = -1;
  if (attached == 0) {
    // The host runs action 23: the handler in table 112's slot, eleven words, C convention.
    DocumentActionHandler handler = TableActionHandler(sim::Host().Table(kTableDocument));
    int32_t count = static_cast<int32_t>(document.records.size());
    int32_t source = 0;
    result = handler(kActionCollectiveInvoice, 0, reinterpret_cast<uintptr_t>(&count), 0, 0, 0,
                     reinterpret_cast<uintptr_t>(&source), 0, 0, 0, 0);
  } else {
    host.Report(1);
  }
  host.Detach();

  std::fprintf(stderr, "attach %d, action 23 -> %d; plug-in name \"%s\"\n", attached, result, name);
  for (const sim::Call& call : sim::Host().Calls()) {
    if (call.ordinal == kOrdHostMessage || call.ordinal == kOrdHostErrorMessage) {
      std::string text = call.texts.back();
      std::fprintf(stderr, "host message: %s\n", ToUtf8(text, true).c_str());
    }
  }
  if (attached != 0) return 1;
  std::string file = sim::Host().FileBytes(kInvoiceFileName);
  std::fprintf(stderr, "--- %s (%zu bytes, Windows-1250 with CRLF; shown here in UTF-8) ---\n",
               kInvoiceFileName, file.size());
  std::fputs(ToUtf8(file, false).c_str(), stdout);
  return 0;
}
