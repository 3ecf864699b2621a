// The frame's probe DLL: the plug-in's frame and core, built from the same objects as the
// plug-in, with its inner routines and records exported by name for the frame's Wine tests,
// and a few routines of known shape to patch.
#include <cstdarg>
#include <cstddef>

#include "export/format.h"

// printf-style formatting with the plug-in's own formatter (and so its digit conversion).
extern "C" size_t ProbeFormat(char* buffer, size_t size, const char* format, ...) {
  va_list values;
  va_start(values, format);
  const size_t length = FormatText(buffer, size, format, values);
  va_end(values);
  return length;
}

// Two routines with the hot-patch prologue 8B FF 55 8B EC.
extern "C" __attribute__((ms_hook_prologue, noipa, used)) int ProbeHookable(int value) {
  return value + 1;
}
extern "C" __attribute__((ms_hook_prologue, noipa, used)) int ProbeHookableToo(int value) {
  return value + 2;
}

extern "C" int ProbeJumpTarget(int value) { return value + 4; }

// ProbePlain begins with neither E9 nor the prologue pattern (55 89 E5: push ebp; mov ebp,esp).
// ProbeJump begins with a relative jump E9 rel32 to ProbeJumpTarget.
asm(R"(
        .text
        .globl _ProbePlain
_ProbePlain:
        pushl %ebp
        movl %esp, %ebp
        movl 8(%ebp), %eax
        addl $3, %eax
        popl %ebp
        ret
        .globl _ProbeJump
_ProbeJump:
        .byte 0xE9
        .long _ProbeJumpTarget - . - 4
)");
