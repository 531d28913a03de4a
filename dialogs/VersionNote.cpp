// The program file's version note. Linked into the program itself (not a library, where nothing
// would pull it in); the build passes the four numbers of the project version.
#include "dialogs/VersionNote.h"

#if defined(__ELF__)

#define KORVANTA_STR2(x) #x
#define KORVANTA_STR(x) KORVANTA_STR2(x)
#define KORVANTA_HIGH "((" KORVANTA_STR(KORVANTA_VERSION_MAJOR) " << 16) | " KORVANTA_STR(KORVANTA_VERSION_MINOR) ")"
#define KORVANTA_LOW "((" KORVANTA_STR(KORVANTA_VERSION_PATCH) " << 16) | " KORVANTA_STR(KORVANTA_VERSION_TWEAK) ")"

// An allocated SHT_NOTE section, so that the linker puts it into a PT_NOTE segment, which stays
// in the file even when the section headers are stripped.
asm(".pushsection .note.korvanta.version, \"a\", %note\n"
    ".balign 4\n"
    ".long 2f - 1f\n"
    ".long 4f - 3f\n"
    ".long " KORVANTA_STR(KORVANTA_NOTE_TYPE) "\n"
    "1: .asciz \"" KORVANTA_NOTE_OWNER "\"\n"
    "2: .balign 4\n"
    "3: .long " KORVANTA_HIGH "\n"
    ".long " KORVANTA_LOW "\n"
    ".long " KORVANTA_HIGH "\n"
    ".long " KORVANTA_LOW "\n"
    "4: .balign 4\n"
    ".popsection\n");

#endif
