// A host built by another compiler, calling the module (i686, cdecl; see
// foreign_call.h for the frame's layout). Written in assembly because no C
// compiler lets its own code run with EBP, a 4-byte stack and a foreign FPU
// state in the middle of a call.

    .bss
    .balign 4
activeFrame:
    .space 4
    .globl _foreignCallbackMisalignment
_foreignCallbackMisalignment:
    .space 4
    .globl _foreignHandlers
_foreignHandlers:
    .space 16

    .text
// void ForeignCall(ForeignFrame* frame)
    .globl _ForeignCall
    .def _ForeignCall; .scl 2; .type 32; .endef
_ForeignCall:
    pushl %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 20(%esp), %eax
    movl %eax, activeFrame
    movl %esp, 84(%eax)
    fnstcw 88(%eax)
    stmxcsr 92(%eax)
    // The arguments go where the entry expects them, on a stack that is
    // 16-byte aligned plus the misalignment asked for.
    movl %esp, %ecx
    subl $64, %ecx
    andl $-16, %ecx
    addl 20(%eax), %ecx
    movl 4(%eax), %edx
    movl %edx, 0(%ecx)
    movl 8(%eax), %edx
    movl %edx, 4(%ecx)
    movl 12(%eax), %edx
    movl %edx, 8(%ecx)
    movl 16(%eax), %edx
    movl %edx, 12(%ecx)
    movl %ecx, 96(%eax)
    fldcw 24(%eax)
    ldmxcsr 28(%eax)
    movl 0(%eax), %edx
    movl 32(%eax), %ebx
    movl 36(%eax), %esi
    movl 40(%eax), %edi
    movl 44(%eax), %ebp
    movl %ecx, %esp
    call *%edx
    movl activeFrame, %ecx
    movl %eax, 48(%ecx)
    movl %ebx, 52(%ecx)
    movl %esi, 56(%ecx)
    movl %edi, 60(%ecx)
    movl %ebp, 64(%ecx)
    movl %esp, %edx
    subl 96(%ecx), %edx
    movl %edx, 68(%ecx)
    movl $0, 72(%ecx)
    fnstcw 72(%ecx)
    stmxcsr 76(%ecx)
    movl $0, 80(%ecx)
    fnstsw 80(%ecx)
    fldcw 88(%ecx)
    ldmxcsr 92(%ecx)
    movl 84(%ecx), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

// A callback entry: note ESP modulo 4, call the handler with up to two of
// the caller's arguments on an aligned stack, then spoil the registers a
// cdecl callee may spoil.
.macro CALLBACK name, slot, junkResult
    .globl \name
    .def \name; .scl 2; .type 32; .endef
\name:
    movl %esp, %eax
    andl $3, %eax
    orl %eax, _foreignCallbackMisalignment
    pushl %ebp
    movl %esp, %ebp
    andl $-16, %esp
    subl $8, %esp
    pushl 12(%ebp)
    pushl 8(%ebp)
    call *_foreignHandlers+\slot
    movl %ebp, %esp
    popl %ebp
    movl $0x5EC0DE01, %ecx
    movl $0x5EC0DE02, %edx
    .if \junkResult
    movl $0x5EC0DE03, %eax
    .endif
    ret
.endm

    CALLBACK _ForeignGetFrame, 0, 0
    CALLBACK _ForeignIsAborted, 4, 0
    CALLBACK _ForeignReportProgress, 8, 1
    CALLBACK _ForeignAfterClose, 12, 1
