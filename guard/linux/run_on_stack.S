// jweb_run_on_stack(top, function, argument): see run_on_stack.h.
#if defined(__x86_64__)
        .text
        .globl  jweb_run_on_stack
        .hidden jweb_run_on_stack
        .type   jweb_run_on_stack, @function
jweb_run_on_stack:
        .cfi_startproc
#if defined(__CET__)
        endbr64
#endif
        pushq   %rbp
        .cfi_def_cfa_offset 16
        .cfi_offset %rbp, -16
        movq    %rsp, %rbp
        .cfi_def_cfa_register %rbp
        andq    $-16, %rdi
        movq    %rdi, %rsp
        movq    %rdx, %rdi
        callq   *%rsi
        movq    %rbp, %rsp
        popq    %rbp
        .cfi_def_cfa %rsp, 8
        ret
        .cfi_endproc
        .size   jweb_run_on_stack, .-jweb_run_on_stack
#elif defined(__aarch64__)
        .text
        .globl  jweb_run_on_stack
        .hidden jweb_run_on_stack
        .type   jweb_run_on_stack, %function
        .p2align 2
jweb_run_on_stack:
        .cfi_startproc
#if defined(__ARM_FEATURE_BTI_DEFAULT)
        hint    #34
#endif
        stp     x29, x30, [sp, #-16]!
        .cfi_def_cfa_offset 16
        .cfi_offset x29, -16
        .cfi_offset x30, -8
        mov     x29, sp
        .cfi_def_cfa_register x29
        and     x9, x0, #~15
        mov     sp, x9
        mov     x0, x2
        blr     x1
        mov     sp, x29
        .cfi_def_cfa sp, 16
        ldp     x29, x30, [sp], #16
        .cfi_def_cfa_offset 0
        .cfi_restore x29
        .cfi_restore x30
        ret
        .cfi_endproc
        .size   jweb_run_on_stack, .-jweb_run_on_stack
#endif
        .section .note.GNU-stack,"",%progbits
