// The host's structured-exception translator becomes the calling thread's translator.
#include "frame/win32/frame_win32.h"

typedef void(__cdecl* SeTranslator)(unsigned, EXCEPTION_POINTERS*);

// msvcrt's per-thread translator setting. The platform's msvcrt exports it only under its C++
// name, so the import library (msvcrt_se_translator.def) binds this name to that export.
extern "C" SeTranslator __cdecl RuntimeSetSeTranslator(SeTranslator translator);

void InstallHostSeTranslator() {
  // The translator registered before is dropped.
  RuntimeSetSeTranslator(&HostSeTranslatorForward);
}
