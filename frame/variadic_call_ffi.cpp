// Lists longer than the typed calls reach. On x86-64 a routine of our own lays
// the pointers out as the SysV variadic convention wants them: libffi costs
// some 10 ns per argument, as much as a tenth of what the Java runtime takes
// to hand out an attribute, while this routine copies one word per argument.
// Elsewhere libffi's variadic call.
#include "frame/result_codes.h"
#include "frame/variadic_call.h"

#if defined(__x86_64__)

// jint jweb_call_long_list(EngineEntry entry, size_t count, const char** vector)
//
// Arguments 0 to 5 in RDI, RSI, RDX, RCX, R8, R9 (as many as there are), the
// rest on the stack in order, RSP 16-aligned at the call, AL = 0 (no vector
// registers). The stack arguments are pushed last first, so the stack grows a
// word at a time and a long list meets the guard page instead of jumping past
// it. RBP frames the call, and the CFI says so, so that a C++ exception thrown
// by the entry unwinds through here to the caller's guard. Reads no slot at
// or beyond count.
asm(R"(
    .pushsection .text
    .p2align 4
    .globl  jweb_call_long_list
    .hidden jweb_call_long_list
    .type   jweb_call_long_list, @function
jweb_call_long_list:
    .cfi_startproc
    endbr64
    pushq   %rbp
    .cfi_def_cfa_offset 16
    .cfi_offset %rbp, -16
    movq    %rsp, %rbp
    .cfi_def_cfa_register %rbp
    movq    %rdi, %r10
    movq    %rdx, %r11
    movq    %rsi, %rax
    cmpq    $6, %rax
    jbe     2f
    testb   $1, %al
    jz      1f
    pushq   $0
1:  pushq   -8(%r11,%rax,8)
    decq    %rax
    cmpq    $6, %rax
    ja      1b
2:  movq    %rax, %r9
    testq   %r9, %r9
    jz      3f
    movq    (%r11), %rdi
    cmpq    $1, %r9
    je      3f
    movq    8(%r11), %rsi
    cmpq    $2, %r9
    je      3f
    movq    16(%r11), %rdx
    cmpq    $3, %r9
    je      3f
    movq    24(%r11), %rcx
    cmpq    $4, %r9
    je      3f
    movq    32(%r11), %r8
    cmpq    $5, %r9
    je      3f
    movq    40(%r11), %r9
3:  xorl    %eax, %eax
    call    *%r10
    movq    %rbp, %rsp
    popq    %rbp
    .cfi_def_cfa %rsp, 8
    ret
    .cfi_endproc
    .size   jweb_call_long_list, .-jweb_call_long_list
    .popsection
)");

#else

#include <ffi.h>

namespace jweb::variadic_detail {

extern "C" jint jweb_call_long_list(EngineEntry entry, std::size_t count, const char** vector) {
    // Scratch after the slots: the argument types, then pointers to the slots.
    void* scratch = vector + count;
    auto** types = static_cast<ffi_type**>(scratch);
    auto** values = reinterpret_cast<void**>(types + count);
    for (std::size_t i = 0; i < count; ++i) {
        types[i] = &ffi_type_pointer;
        values[i] = &vector[i];
    }
    ffi_cif cif;
    if (ffi_prep_cif_var(&cif, FFI_DEFAULT_ABI, 1, static_cast<unsigned>(count), &ffi_type_sint, types) != FFI_OK)
        return JWEB_ERR_CALL;
    ffi_arg result = 0;
    ffi_call(&cif, entry, &result, values);
    return static_cast<jint>(result);
}

}  // namespace jweb::variadic_detail

#endif
