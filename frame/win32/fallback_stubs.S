# Fallback stubs: stand-ins for host entries the host library lacks, when the user lets the
# load go on. Stub n answers 0 and removes n argument words (4n bytes) on return; stub 0
# removes nothing and so also suits entries whose caller removes the arguments.
#
# Stub 2 has the shape of a delay-load notification hook (two arguments, answer 0 = no
# answer) and is the hook's value until the load step installs the host's.

.macro FALLBACK_STUB n
        .balign 4
_FallbackStub\n:
        xorl %eax, %eax
  .if \n
        ret $(4 * \n)
  .else
        ret
  .endif
.endm

        .text
        FALLBACK_STUB 0
        FALLBACK_STUB 1
        FALLBACK_STUB 2
        .globl "_FallbackStub2@8"
        .set "_FallbackStub2@8", _FallbackStub2
        FALLBACK_STUB 3
        FALLBACK_STUB 4
        FALLBACK_STUB 5
        FALLBACK_STUB 6
        FALLBACK_STUB 7
        FALLBACK_STUB 8
        FALLBACK_STUB 9
        FALLBACK_STUB 10
        FALLBACK_STUB 11
        FALLBACK_STUB 12
        FALLBACK_STUB 13
        FALLBACK_STUB 14

# g_fallbackStubs[n] is stub n.
        .section .rdata,"dr"
        .balign 4
        .globl _g_fallbackStubs
_g_fallbackStubs:
        .long _FallbackStub0, _FallbackStub1, _FallbackStub2, _FallbackStub3, _FallbackStub4
        .long _FallbackStub5, _FallbackStub6, _FallbackStub7, _FallbackStub8, _FallbackStub9
        .long _FallbackStub10, _FallbackStub11, _FallbackStub12, _FallbackStub13, _FallbackStub14
