// unsigned long long jweb_structured_frame(void (*call)(void*), void* context)
//
// Calls call(context) in a frame whose structured exception handler is
// jweb_structured_frame_handler (guard_win32.cpp). Returns 0 when the call
// returned. When the handler takes an exception, it unwinds the stack to this
// frame and resumes at .Lcaught with RAX holding the exception code with bit
// 32 set, which this frame then returns.
    .text
    .globl  jweb_structured_frame
    .def    jweb_structured_frame; .scl 2; .type 32; .endef
    .seh_proc jweb_structured_frame
jweb_structured_frame:
    subq    $40, %rsp               // home area, and RSP 16-aligned at the call
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler jweb_structured_frame_handler, @except
    .seh_handlerdata
    .rva    .Lcaught                // where the handler resumes, found through its data
    .text
    movq    %rcx, %rax
    movq    %rdx, %rcx
    call    *%rax
    xorl    %eax, %eax
    addq    $40, %rsp
    ret
.Lcaught:
    addq    $40, %rsp
    ret
    .seh_endproc
