// The version information that the build puts into the program file and the info dialog reads
// back from it. On ELF systems it is a note (readelf -n shows it):
//   owner "korvanta", type 1, four 32-bit words in the file's byte order:
//   product version high, product version low, file version high, file version low,
// each high word holding the first two of the four numbers as 16-bit halves, each low word the
// last two (2.28.2.0 is 0x0002001C 0x00020000). On Windows the version resource holds the same.
#pragma once

#define KORVANTA_NOTE_OWNER "korvanta"
#define KORVANTA_NOTE_TYPE 1
