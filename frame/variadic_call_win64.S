// jint jweb_call_long_list(EngineEntry entry, size_t count, const char** vector)
//
// Calls entry with vector[0 .. count-1] as its arguments under the Win64
// convention. Every argument is a pointer, and for pointers the variadic
// convention is the ordinary one: the first four in RCX, RDX, R8 and R9, the
// rest on the stack above the callee's 32-byte home area, RSP 16-aligned at
// the call. Reads no slot at or beyond count.
    .text
    .globl  jweb_call_long_list
    .def    jweb_call_long_list; .scl 2; .type 32; .endef
    .seh_proc jweb_call_long_list
jweb_call_long_list:
    pushq   %rbp
    .seh_pushreg %rbp
    movq    %rsp, %rbp              // RSP is 16-aligned from here on
    .seh_setframe %rbp, 0
    .seh_endprologue
    movq    %rcx, %r10              // entry
    movq    %r8, %r11               // vector
    movq    %rdx, %r9               // count

    // Room for max(count, 4) pointers, rounded up to 16 bytes. ___chkstk_ms
    // touches its pages top down, so a long list grows the stack through its
    // guard page instead of jumping past it; it changes no register.
    movq    %rdx, %rax
    cmpq    $4, %rax
    jae     1f
    movl    $4, %eax
1:  leaq    15(,%rax,8), %rax
    andq    $-16, %rax
    call    ___chkstk_ms
    subq    %rax, %rsp

    // Arguments 4 .. count-1 go to RSP + 8*i, last first.
    movq    %r9, %rax
2:  cmpq    $4, %rax
    jbe     3f
    movq    -8(%r11,%rax,8), %rcx
    movq    %rcx, -8(%rsp,%rax,8)
    decq    %rax
    jmp     2b

    // The first four, as many as there are.
3:  testq   %r9, %r9
    je      4f
    movq    (%r11), %rcx
    cmpq    $1, %r9
    je      4f
    movq    8(%r11), %rdx
    cmpq    $2, %r9
    je      4f
    movq    16(%r11), %r8
    cmpq    $3, %r9
    je      4f
    movq    24(%r11), %r9
4:  call    *%r10
    nop                             // the return address is not in the epilogue
    leaq    0(%rbp), %rsp
    popq    %rbp
    ret
    .seh_endproc
