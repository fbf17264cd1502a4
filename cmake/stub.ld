/* Section layout of the stubs (arcula-sfx.exe, arcula-sfx64.exe); see
   cmake/stub-size.md.

   Each section of the file is padded to the file alignment (512 bytes), so
   every section costs 256 bytes on average. The linker's default layout
   gives the stub six (.text, .data, .rdata, .idata, .rsrc, .reloc); this
   one gives four:
   - .text   code and read-only data, read and execute;
   - .idata  the import tables, then the initialised writable data (the
             settings block among it), read and write. The linker points the
             import directory at the section named .idata, so the tables
             must come first in it and the section must keep that name;
   - .bss    zero-initialised data, which takes no room in the file;
   - .rsrc   the icon and the manifest, and
   - .reloc  the base relocations, so that the stub loads at any address.
             The linker finds both of these directories by section name.
   The builder's archive section comes after the last of these.

   Any input section not named here is an error (--orphan-handling=error),
   so a new kind of section, say .ctors from a global with a constructor,
   which nothing would run without a C runtime, stops the build instead of
   quietly growing the stub.

   One script serves both stubs: the output format is the linker's own
   (pei-i386 for the 32-bit stub, pei-x86-64 for the 64-bit one). */
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + (__section_alignment__ < 0x1000 ? . : __section_alignment__) :
  {
    *(.text)
    *(SORT(.text$*))
    *(.text.*)
    *(.rdata)
    *(SORT(.rdata$*))
  }
  .idata BLOCK(__section_alignment__) :
  {
    /* The order of the import tables is the default script's, whose own
       comment says grouped sections cannot express it. */
    KEEP (SORT(*)(.idata$2))
    KEEP (SORT(*)(.idata$3))
    /* These zeroes mark the end of the import list.  */
    LONG (0); LONG (0); LONG (0); LONG (0); LONG (0);
    KEEP (SORT(*)(.idata$4))
    __IAT_start__ = .;
    KEEP (SORT(*)(.idata$5))
    __IAT_end__ = .;
    KEEP (SORT(*)(.idata$6))
    /* The library's name, from its import library's tail object. Every
       function's own object (libNAMEsNNNNN.o) brings 4 bytes of .idata$7
       too, which only make the linker take the library's head object; no
       table refers to them, so they are dropped (4 bytes a function). The
       linker would not complain about a dropped name, but the file check
       (tests/stub/check_stub.py) refuses an import without one. */
    KEEP (*(EXCLUDE_FILE (*s[0-9]*.o) .idata$7))
    *(.data)
    *(.data2)
    *(SORT(.data$*))
  }
  .bss BLOCK(__section_alignment__) :
  {
    *(.bss)
    *(COMMON)
  }
  .rsrc BLOCK(__section_alignment__) : SUBALIGN(4)
  {
    KEEP (*(.rsrc))
    KEEP (*(.rsrc$*))
  }
  .reloc BLOCK(__section_alignment__) :
  {
    *(.reloc)
  }
  /DISCARD/ :
  {
    *(.debug$S)
    *(.debug$T)
    *(.debug$F)
    *(.drectve)
    *(.note.GNU-stack)
    *(.gnu.lto_*)
    *(.idata$7)  /* what is left: see .idata above */
  }
}
