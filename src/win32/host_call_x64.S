// int veltrane_call_guarded(void (*function)(void*), void* context)
//
// Calls function(context) and returns 0; when a structured exception leaves
// the call and veltrane_host_exception_filter accepts it, the system's
// __C_specific_handler unwinds back into this frame and 1 is returned. The
// scope table below is what a compiler writes for __try/__except.
    .text
    .globl veltrane_call_guarded
    .def veltrane_call_guarded; .scl 2; .type 32; .endef
    .seh_proc veltrane_call_guarded
veltrane_call_guarded:
    pushq %rbp
    .seh_pushreg %rbp
    movq %rsp, %rbp
    .seh_setframe %rbp, 0
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
.Lguarded_begin:
    callq *%rax
    nop
.Lguarded_end:
    xorl %eax, %eax
    movq %rbp, %rsp
    popq %rbp
    retq
.Lguarded_handler:
    movl $1, %eax
    movq %rbp, %rsp
    popq %rbp
    retq
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1
    .rva .Lguarded_begin, .Lguarded_end
    .rva veltrane_host_exception_filter
    .rva .Lguarded_handler
    .text
    .seh_endproc
