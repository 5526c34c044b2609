// unsigned long long jweb_structured_frame(void (*call)(void*), void* context)
//
// x86 structured exceptions are frame-based: the thread's chain of
// registration records starts at FS:[0], and the system offers an exception
// to each record's handler, newest first. This frame pushes a record of its
// own around call(context), with jweb_structured_frame_handler
// (guard_win32_x86.cpp) as its handler, and returns 0 when the call returned.
// When the handler takes an exception, jweb_structured_frame_resume unwinds
// the chain down to the record and continues this frame at .Lcaught, which
// returns the exception code with bit 32 set. Both ways out take the record
// off the chain, leaving it exactly as it was found.
//
// The record, at ESP while the call runs (EBP - 24):
//   +0 the previous record   +4 the handler   +8 this frame's EBP
    .text
    .globl  _jweb_structured_frame
    .def    _jweb_structured_frame; .scl 2; .type 32; .endef
_jweb_structured_frame:
    pushl   %ebp
    movl    %esp, %ebp
    pushl   %ebx                    // the callee-saved registers, for both ways out:
    pushl   %esi                    // the unwind on the way back may change them
    pushl   %edi
    pushl   %ebp
    pushl   $_jweb_structured_frame_handler
    pushl   %fs:0
    movl    %esp, %fs:0
    pushl   12(%ebp)                // context
    call    *8(%ebp)
    addl    $4, %esp
    xorl    %eax, %eax
    xorl    %edx, %edx
.Lleave:                            // ESP at the record
    popl    %fs:0
    addl    $8, %esp
    popl    %edi
    popl    %esi
    popl    %ebx
    popl    %ebp
    ret
.Lcaught:                           // EBP the frame's, ESP at the record, EAX the code
    movl    $1, %edx
    jmp     .Lleave

// [[noreturn]] void jweb_structured_frame_resume(void* record, EXCEPTION_RECORD* exception)
//
// Called by the handler while the system dispatches `exception`: RtlUnwind
// calls the handlers of the records above `record` to unwind and takes them
// off the chain (the dispatcher's own among them); then the frame that owns
// `record` continues at .Lcaught. RtlUnwind may change EBX, ESI and EDI,
// which the frame restores itself.
    .globl  _jweb_structured_frame_resume
    .def    _jweb_structured_frame_resume; .scl 2; .type 32; .endef
_jweb_structured_frame_resume:
    movl    4(%esp), %eax           // record
    movl    8(%esp), %ecx           // exception
    pushl   (%ecx)                  // its code, kept here through the unwind
    pushl   $0                      // return value
    pushl   %ecx
    pushl   $0                      // target address: back here
    pushl   %eax
    call    _RtlUnwind@16           // __stdcall: takes its four arguments off
    popl    %eax                    // the code
    movl    4(%esp), %esp           // the record
    movl    8(%esp), %ebp
    jmp     .Lcaught
