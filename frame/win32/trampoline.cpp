// Patching a routine's entry in place (see trampoline.h). Runs in the load step, before the
// runtime initialises itself: platform calls only.
#include "frame/win32/trampoline.h"

#include <cstring>

namespace {

inline int32_t Displacement(const void* target, const uint8_t* next) {
  return static_cast<int32_t>(reinterpret_cast<uintptr_t>(target) -
                              reinterpret_cast<uintptr_t>(next));
}

// A jump at `at` that lands on `target`.
void WriteRelativeJump(uint8_t* at, const void* target) {
  const RelativeJump jump = {kRelativeJumpOpcode, Displacement(target, at + kPatchSize)};
  std::memcpy(at, &jump, sizeof jump);
}

void Flush(const void* code, size_t size) {
  FlushInstructionCache(GetCurrentProcess(), code, size);
}

// The routine already begins with a relative jump (an earlier patch): retarget it, and let the
// replacement continue where that jump went.
int RetargetJump(uint8_t* routine, void** continuation, void* replacement) {
  RelativeJump jump;
  std::memcpy(&jump, routine, sizeof jump);
  uint8_t* const destination = routine + kPatchSize + jump.displacement;
  // Already routed to this replacement: chaining it to itself would make it call itself
  // forever, so the routine stays as it is.
  if (destination == replacement) return 0;
  DWORD routineProtection;
  if (!VirtualProtect(routine, kPatchSize, PAGE_EXECUTE_READWRITE, &routineProtection)) return 0;
  *continuation = destination;
  WriteRelativeJump(routine, replacement);
  Flush(routine, kPatchSize);
  VirtualProtect(routine, kPatchSize, routineProtection, &routineProtection);
  return 1;
}

// The routine begins with the prologue pattern: its former entry moves into a trampoline.
int PatchThroughTrampoline(uint8_t* routine, void** continuation, void* replacement) {
  DWORD routineProtection;
  if (!VirtualProtect(routine, kPatchSize, PAGE_EXECUTE_READWRITE, &routineProtection)) return 0;
  DWORD areaProtection;
  if (!VirtualProtect(g_trampolineArea, sizeof g_trampolineArea, PAGE_EXECUTE_READWRITE,
                      &areaProtection)) {
    VirtualProtect(routine, kPatchSize, routineProtection, &routineProtection);
    return 0;
  }
  TrampolineSlot* slot = ClaimTrampolineSlot();
  if (slot == nullptr) {
    VirtualProtect(g_trampolineArea, sizeof g_trampolineArea, areaProtection, &areaProtection);
    VirtualProtect(routine, kPatchSize, routineProtection, &routineProtection);
    return 0;
  }

  std::memcpy(slot->prologue, kProloguePattern, sizeof slot->prologue);
  WriteRelativeJump(reinterpret_cast<uint8_t*>(&slot->resume), routine + kPatchSize);
  Flush(slot, offsetof(TrampolineSlot, unused));
  // The continuation is valid before the routine changes, so the replacement has it from its
  // very first call.
  *continuation = slot;
  WriteRelativeJump(routine, replacement);
  Flush(routine, kPatchSize);

  VirtualProtect(g_trampolineArea, sizeof g_trampolineArea, areaProtection, &areaProtection);
  VirtualProtect(routine, kPatchSize, routineProtection, &routineProtection);
  return 1;
}

}  // namespace

extern "C" TrampolineSlot* ClaimTrampolineSlot() {
  for (TrampolineSlot& slot : g_trampolineArea) {
    if (InterlockedCompareExchange(&slot.claim, kSlotClaimed, 0) == 0) return &slot;
  }
  return nullptr;
}

extern "C" int PatchRoutineEntry(void* routine, void** continuation, void* replacement) {
  auto* const entry = static_cast<uint8_t*>(routine);
  if (entry[0] == kRelativeJumpOpcode) return RetargetJump(entry, continuation, replacement);
  if (std::memcmp(entry, kProloguePattern, kPatchSize) == 0) {
    return PatchThroughTrampoline(entry, continuation, replacement);
  }
  return 0;
}
