// The stack check behind GlowraspCalleePoppedBytes (see StackCheck.h). It
// has to be written in assembly: C++ cannot watch the stack pointer across a
// call.
#include "StackCheck.h"

#if defined(__i386__)
asm(R"(
    .text
    .globl _GlowraspCalleePoppedBytes
_GlowraspCalleePoppedBytes:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  12(%ebp), %esi
    movl  16(%ebp), %ecx
    leal  (%esi,%ecx,4), %edi
1:  cmpl  %esi, %edi
    je    2f
    subl  $4, %edi
    pushl (%edi)
    jmp   1b
2:  movl  %esp, %ebx
    call  *8(%ebp)
    movl  24(%ebp), %ecx
    cmpl  $0, 20(%ebp)
    je    3f
    fstps (%ecx)
    jmp   4f
3:  movl  %eax, (%ecx)
4:  movl  %esp, %eax
    subl  %ebx, %eax
    leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");
#endif
