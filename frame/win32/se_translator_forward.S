# The translator registered at attach: a jump straight to the host's ordinal 30005, bound by the
# platform loader as a static import (zefira_import.def). The exception code and the exception
# record reach the host's translator exactly as the runtime passes them.
        .text
        .globl _HostSeTranslatorForward
_HostSeTranslatorForward:
        jmp *__imp__HostSeTranslator
