// The plug-in's three entry points, exported by ordinal only (qarn_zak_fakt_zbiorcza.def).
#include "export/document_hook.h"
#include "frame/win32/frame_win32.h"
#include "handshake/record_size_handshake.h"
#include "host/host_types.h"

// 30001: attach with a context, detach with none. The context is only tested against null.
extern "C" int WINAPI PluginAttach(const void* context, char* nameBuffer) {
  if (context == nullptr) {
    RestoreDocumentHandler();
    return 0;
  }
  // Before the handshake, so the host has the name even when it refuses the plug-in.
  if (nameBuffer != nullptr) CopyPluginName(nameBuffer);
  InstallHostSeTranslator();
  return RecordSizeHandshake();
}

// 30008: the report of a refused attach (or of a version mismatch).
extern "C" int WINAPI PluginReport(int reportFlag) {
  if (reportFlag != 0) ShowMismatchReport();
  return 0;
}

// 30009
extern "C" int PluginAnswerZero() { return 0; }
