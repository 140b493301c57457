@ The loader's entry from the Linux kernel: the stack holds argc, then argv's pointers.
@ LoaderMain's result is the exit status.
    .syntax unified
    .arm
    .section .text._start,"ax",%progbits
    .global _start
    .type _start, %function
_start:
    mov r0, sp
    bl LoaderMain
    mov r7, #248        @ exit_group
    swi 0
    .size _start, . - _start
