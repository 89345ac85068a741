// The machine's national-language tables: its ANSI code page (1252, Western
// European) and upper-casing. The run-time library, the registry's name
// comparisons and the A functions of user mode all use these, so a name
// compares and converts the same way everywhere on the machine.
#pragma once

#include <ntdef.h>

namespace winsim::nls {

WCHAR AnsiToUnicode(UCHAR c);
// Characters the code page cannot express become '?', its default character.
CHAR UnicodeToAnsi(WCHAR c);
// Upper-cases the letters of the code page; every other character is kept.
WCHAR Upcase(WCHAR c);

}  // namespace winsim::nls
