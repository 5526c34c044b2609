// jint jweb_call_long_list(EngineEntry entry, size_t count, const char** vector)
//
// Calls entry with vector[0 .. count-1] as its arguments under the x86 C
// calling convention: every argument on the stack, the first at the lowest
// address, and the caller takes them off after the call (here by restoring
// ESP from EBP, whatever the callee did with them). ESP is 16-aligned at the
// call, as g++ code expects of its callers. Reads no slot at or beyond count.
// The call frame information lets a C++ exception of the entry unwind
// through this frame to the guard's catch.
    .text
    .globl  _jweb_call_long_list
    .def    _jweb_call_long_list; .scl 2; .type 32; .endef
_jweb_call_long_list:
    .cfi_startproc
    pushl   %ebp
    .cfi_def_cfa_offset 8
    .cfi_offset %ebp, -8
    movl    %esp, %ebp
    .cfi_def_cfa_register %ebp
    pushl   %esi
    .cfi_offset %esi, -12
    pushl   %edi
    .cfi_offset %edi, -16
    movl    12(%ebp), %ecx          // count

    // Room for the list, rounded up to 16 bytes below a 16-aligned ESP.
    // ___chkstk_ms touches its pages top down, so a long list grows the stack
    // through its guard page instead of jumping past it; it changes no register.
    andl    $-16, %esp
    leal    15(,%ecx,4), %eax
    andl    $-16, %eax
    call    ___chkstk_ms
    subl    %eax, %esp

    movl    16(%ebp), %esi          // vector
    movl    %esp, %edi
    cld
    rep movsl                       // ECX words, first slot first

    call    *8(%ebp)
    leal    -8(%ebp), %esp
    popl    %edi
    .cfi_restore %edi
    popl    %esi
    .cfi_restore %esi
    popl    %ebp
    .cfi_restore %ebp
    .cfi_def_cfa %esp, 4
    ret
    .cfi_endproc
