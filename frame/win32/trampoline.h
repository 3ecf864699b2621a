// In-place patching of a routine's entry on i386: its first five bytes become a relative jump
// to a replacement, and a trampoline slot re-creates the former entry for the replacement.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
// E9 xxxxxxxx: JMP to (address of the next instruction) + xxxxxxxx.
struct RelativeJump {
  uint8_t opcode;        // kRelativeJumpOpcode
  int32_t displacement;  // target - (jump + 5)
};

// One 16-byte trampoline slot of the trampoline area.
struct TrampolineSlot {
  uint8_t prologue[5];  // bytes 0-4: the prologue pattern, run in place of the routine's own
  RelativeJump resume;  // bytes 5-9: E9 to the patched routine's sixth byte
  uint8_t unused[2];    // bytes 10-11: stay zero
  volatile LONG claim;  // bytes 12-15: 0 while free, kSlotClaimed once claimed
};
#pragma pack(pop)

static_assert(sizeof(RelativeJump) == 5, "E9 and a 32-bit displacement");
static_assert(offsetof(TrampolineSlot, resume) == 5, "the jump follows the prologue");
static_assert(offsetof(TrampolineSlot, claim) == 12, "the claim word is bytes 12-15");
static_assert(sizeof(TrampolineSlot) == 16, "two slots fill the 32-byte area");

inline constexpr uint8_t kRelativeJumpOpcode = 0xE9;
inline constexpr size_t kPatchSize = sizeof(RelativeJump);  // bytes replaced at a routine's entry
// The hot-patch prologue: mov edi,edi; push ebp; mov ebp,esp. Only a routine that begins with
// it is patched through a trampoline.
inline constexpr uint8_t kProloguePattern[kPatchSize] = {0x8B, 0xFF, 0x55, 0x8B, 0xEC};
inline constexpr LONG kSlotClaimed = -1;  // FFFFFFFF
inline constexpr int kTrampolineSlotCount = 2;

// The trampoline area: the image section ".code", executable and readable, not writable, zero
// in the image file (trampoline_area.S).
extern "C" TrampolineSlot g_trampolineArea[kTrampolineSlotCount];

// A slot just claimed, or null when both are taken. The area must be writable.
extern "C" TrampolineSlot* ClaimTrampolineSlot();

// Makes `routine` jump to `replacement`. `continuation` receives where the replacement goes on
// to reach the former behaviour. Non-zero when patched, 0 when left as it was.
extern "C" int PatchRoutineEntry(void* routine, void** continuation, void* replacement);
