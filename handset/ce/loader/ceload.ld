/* ceload as a static Linux program: one place for its code, constants and data, well away from
   the addresses a handset image prefers (0x10000) and from where the loader maps one. */
ENTRY(_start)
SECTIONS
{
  . = 0x00400000 + SIZEOF_HEADERS;
  .text : { *(.text._start) *(.text .text.*) *(.glue_7 .glue_7t .v4_bx) }
  .rodata : { *(.rodata .rodata.*) }
  . = ALIGN(0x1000);
  .data : { *(.data .data.*) }
  .init_array : { __init_array_start = .; KEEP(*(.init_array*)) __init_array_end = .; }
  .bss : { *(.bss .bss.*) *(COMMON) }
  /DISCARD/ : { *(.ARM.exidx*) *(.ARM.extab*) *(.comment) *(.note*) }
}
/* _start runs no constructors: a global object that needs one must fail the build. */
ASSERT(__init_array_end == __init_array_start, "ceload must have no global constructors")
