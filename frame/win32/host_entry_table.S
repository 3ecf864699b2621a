# The host entry table: for every host entry the plug-in binds, in binding order,
#   an entry slot      the entry's current call target (first its lazy entry),
#   a call thunk       what every caller calls: one jump through the slot,
#   a lazy entry       binds the slot on the first call, then continues into the thunk,
#   an initializer     binds the slot at load; eax = 0 when bound, -1 when left empty,
# and a row of the table g_hostEntryRows (host_entry_table.h) that ties them together.
#
# The thunk is named as the C++ callers reference the entry: stdcall "_Name@N" (N = argument
# bytes the entry removes, a double counting 8), cdecl "_Name".

        .section .rdata,"dr"
        .balign 4
        .globl _g_hostEntryRows
_g_hostEntryRows:

# HOST_ENTRY ordinal, thunk, bytes: one row. `bytes` is what the entry removes on return
# (0 when the caller removes the arguments).
.macro HOST_ENTRY ordinal, thunk, bytes
        .data
        .balign 4
        .globl _g_hostSlot\ordinal
_g_hostSlot\ordinal:
        .long lazy\ordinal

        .text
        .globl \thunk
        .balign 16
\thunk:
        jmp *_g_hostSlot\ordinal

# The caller's return address and arguments stay where they are; every general register and
# the flags are kept, so the target sees the call exactly as the caller made it.
lazy\ordinal:
        pushfl
        pushal
        cld
        pushl $_g_hostSlot\ordinal
        pushl $\ordinal
        call _ResolveHostEntry
        addl $8, %esp
        cmpl $0, _g_hostSlot\ordinal
        je 1f
        popal
        popfl
        jmp \thunk
# Left without a target (only a conversion the missing-entry box asks for can get here): answer
# 0 and remove what the entry would have removed, rather than jump to address 0.
1:      popal
        popfl
        xorl %eax, %eax
  .if \bytes
        ret $\bytes
  .else
        ret
  .endif

# Load-time initializer: registers kept, the result in eax.
init\ordinal:
        pushal
        pushl $_g_hostSlot\ordinal
        pushl $\ordinal
        call _ResolveHostEntry
        addl $8, %esp
        popal
        cmpl $1, _g_hostSlot\ordinal    # carry set only for an empty slot
        sbbl %eax, %eax                 # 0, or -1 for an empty slot
        ret

        .section .rdata,"dr"
        .long \ordinal, _g_hostSlot\ordinal, lazy\ordinal, init\ordinal
.endm

        HOST_ENTRY 52028, "_HostMessage@12", 12
        HOST_ENTRY 52029, _HostMessageF, 0
        HOST_ENTRY 52158, "_HostConvertText@16", 16
        HOST_ENTRY 38417, _HostUnused38417, 0
        HOST_ENTRY 21285, _HostCalloc, 0
        HOST_ENTRY 21287, _HostFree, 0
        HOST_ENTRY 52224, _HostProfile, 0
        HOST_ENTRY 52178, "_HostRoundToInt@8", 8
        HOST_ENTRY 52256, "_HostTableByNumber@4", 4
        HOST_ENTRY 52023, _HostShowDialog, 0
        HOST_ENTRY 52030, "_HostErrorMessage@4", 4
        HOST_ENTRY 52265, "_HostCurrentWord@0", 0
        HOST_ENTRY 52266, "_HostCurrentLong@0", 0
        HOST_ENTRY 30204, "_HostTodayText@4", 4
        HOST_ENTRY 52434, "_HostQuietMode@4", 4
        HOST_ENTRY 52534, "_HostFileOpen@20", 20
        HOST_ENTRY 52305, "_HostFileClose@4", 4
        HOST_ENTRY 52228, "_HostProgressOpen@4", 4
        HOST_ENTRY 52230, "_HostProgressClose@0", 0
        HOST_ENTRY 52232, "_HostProgressStep@8", 8
        HOST_ENTRY 52234, "_HostProgressPoll@0", 0
        HOST_ENTRY 52465, "_HostTablePrepare@8", 8
        HOST_ENTRY 52289, "_HostGrossPrice@20", 20
        HOST_ENTRY 52541, _HostFilePrintf, 0
        HOST_ENTRY 52286, "_HostReadRecord@20", 20
        HOST_ENTRY 52451, "_HostVatText@16", 16
        HOST_ENTRY 52412, "_HostFindRecord@8", 8

        .section .rdata,"dr"
        .globl _g_hostEntryRowsEnd
_g_hostEntryRowsEnd:
