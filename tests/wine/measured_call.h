// Calls a routine the way a host or a plug-in caller would and measures what the call did to the
// caller: the argument bytes left on the stack (0 when the routine removed them itself), eax,
// whether ebx, esi and edi survived, and an x87 double result. Tells stdcall from cdecl, and a
// register-preserving routine from one that is not.
#pragma once

#include <cstddef>
#include <cstdint>

struct CallOutcome {
  uint32_t eax;
  uint32_t ebx;       // after the call; held kMarkerEbx before it
  uint32_t esi;       // kMarkerEsi before
  uint32_t edi;       // kMarkerEdi before
  int32_t bytesLeft;  // argument bytes still on the stack after the call
  uint32_t unused;
  double result;  // st(0), taken only when the call was asked to pop a double
};
static_assert(offsetof(CallOutcome, bytesLeft) == 16, "the measuring routine writes it there");
static_assert(offsetof(CallOutcome, result) == 24, "the measuring routine writes it there");

inline constexpr uint32_t kMarkerEbx = 0x11111111, kMarkerEsi = 0x22222222, kMarkerEdi = 0x33333333;

// Pushes `count` 32-bit words (words[0] last, so it is the first argument), loads the markers,
// calls `routine` and fills `outcome`; pops a double result into outcome->result when
// `popsDouble` is non-zero.
extern "C" void __cdecl MeasuredCall(const void* routine, const uint32_t* words, int count,
                                     int popsDouble, CallOutcome* outcome);
