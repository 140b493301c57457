/* The handset image's layout: the first page for the PE headers, then one page-aligned output
   section per PE section, adjacent as a handset's loader expects. IMAGE_BASE is given on the
   command line, so that the same objects link at two bases and elf2ce can find every address.
   The import address table (.idata.iat, from the thunks elf2ce writes) comes first in .data,
   which a loader may write to. */
ENTRY(WinMainCRTStartup)
SECTIONS
{
  __ImageBase = IMAGE_BASE;
  . = IMAGE_BASE + 0x1000;
  .text : { *(.text.WinMainCRTStartup) *(.text .text.*) *(.glue_7 .glue_7t .v4_bx) }
  . = ALIGN(0x1000);
  .rdata : { *(.rodata .rodata.*) }
  . = ALIGN(0x1000);
  .data : {
    KEEP(*(.idata.iat))
    *(.data .data.*)
    . = ALIGN(4);
    __init_array_start = .;
    KEEP(*(SORT(.init_array.*)))
    KEEP(*(.init_array))
    __init_array_end = .;
    *(.bss .bss.*)
    *(COMMON)
  }
  /DISCARD/ : { *(.ARM.exidx*) *(.ARM.extab*) *(.comment) *(.note*) }
}
