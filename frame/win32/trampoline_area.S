# The trampoline area: two 16-byte trampoline slots in an image section of their own, named
# .code: executable and readable, not writable, all zero in the image file. The patching makes
# it writable only while it writes a trampoline (trampoline.cpp).
        .section .code,"xr"
        .balign 16
        .globl _g_trampolineArea
_g_trampolineArea:
        .fill 32, 1, 0
