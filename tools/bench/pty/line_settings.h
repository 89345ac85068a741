// The line settings a Linux program sets on a terminal, as the kernel's
// termios2 holds them, and the DCB of a COM port that carries them: speed,
// data bits, parity, stop bits, RTS/CTS handshake and XON/XOFF.
#pragma once

#include <asm/termbits.h>
#include <windows.h>

namespace bench {

// The port's settings changed to what the terminal asks for; the rest of
// `current` (limits, error and event characters) stays. Speed 0 asks for a
// hang-up: DTR and RTS go down and the speed stays.
DCB DcbForTermios(const struct termios2& terminal, const DCB& current);

// A raw terminal (no echo, no line editing, no output processing) with the
// port's line settings; its special characters other than XON and XOFF are
// kept from `terminal`.
struct termios2 RawTermiosForDcb(const DCB& port, const struct termios2& terminal);

// Whether two terminal settings ask the port for the same line settings.
bool SameLineSettings(const struct termios2& a, const struct termios2& b);

}  // namespace bench
