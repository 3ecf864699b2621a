#include "tests/wine/measured_call.h"

asm(R"(
        .text
        .globl _MeasuredCall
_MeasuredCall:
        pushl %ebp
        movl %esp, %ebp
        pushl %ebx
        pushl %esi
        pushl %edi
        subl $4, %esp
        movl %esp, -16(%ebp)            # the stack before the arguments
        movl 16(%ebp), %ecx             # count
        movl 12(%ebp), %edx             # words
1:      testl %ecx, %ecx
        jz 2f
        pushl -4(%edx,%ecx,4)
        decl %ecx
        jmp 1b
2:      movl 8(%ebp), %eax
        movl $0x11111111, %ebx
        movl $0x22222222, %esi
        movl $0x33333333, %edi
        call *%eax
        movl 24(%ebp), %ecx             # outcome
        movl %eax, 0(%ecx)
        movl %ebx, 4(%ecx)
        movl %esi, 8(%ecx)
        movl %edi, 12(%ecx)
        movl -16(%ebp), %eax
        subl %esp, %eax
        movl %eax, 16(%ecx)             # bytes the routine left on the stack
        cmpl $0, 20(%ebp)
        je 3f
        fstpl 24(%ecx)
3:      movl -16(%ebp), %esp
        addl $4, %esp
        popl %edi
        popl %esi
        popl %ebx
        popl %ebp
        ret
)");
