#include "pty/line_settings.h"

namespace bench {

namespace {

struct StandardSpeed {
    tcflag_t code;
    DWORD baud;
};

constexpr StandardSpeed kStandardSpeeds[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},         {B150, 150},
    {B200, 200},         {B300, 300},         {B600, 600},         {B1200, 1200},       {B1800, 1800},
    {B2400, 2400},       {B4800, 4800},       {B9600, 9600},       {B19200, 19200},     {B38400, 38400},
    {B57600, 57600},     {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
    {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
};

constexpr tcflag_t kLineFlags = CBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS;
constexpr tcflag_t kFlowFlags = IXON | IXOFF;

// The output speed: the kernel fills c_ospeed for every setting, but a
// standard code tells it as well.
DWORD BaudOf(const struct termios2& t)
{
    const tcflag_t code = t.c_cflag & CBAUD;
    for (const StandardSpeed& speed : kStandardSpeeds) {
        if (speed.code == code)
            return speed.baud;
    }
    return t.c_ospeed;
}

tcflag_t SpeedCodeFor(DWORD baud)
{
    for (const StandardSpeed& speed : kStandardSpeeds) {
        if (speed.baud == baud)
            return speed.code;
    }
    return BOTHER;
}

BYTE ParityOf(tcflag_t cflag)
{
    if ((cflag & PARENB) == 0)
        return NOPARITY;
    if ((cflag & CMSPAR) != 0)
        return (cflag & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
    return (cflag & PARODD) != 0 ? ODDPARITY : EVENPARITY;
}

tcflag_t ParityFlagsFor(BYTE parity)
{
    switch (parity) {
    case ODDPARITY:
        return PARENB | PARODD;
    case EVENPARITY:
        return PARENB;
    case MARKPARITY:
        return PARENB | CMSPAR | PARODD;
    case SPACEPARITY:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

}  // namespace

DCB DcbForTermios(const struct termios2& terminal, const DCB& current)
{
    DCB dcb = current;
    const tcflag_t cflag = terminal.c_cflag;
    const bool hangUp = (cflag & CBAUD) == B0;
    if (!hangUp)
        dcb.BaudRate = BaudOf(terminal);
    dcb.fBinary = TRUE;
    dcb.ByteSize = static_cast<BYTE>(5 + ((cflag & CSIZE) >> 4));
    dcb.Parity = ParityOf(cflag);
    dcb.fParity = dcb.Parity != NOPARITY;
    // Two stop bits with five data bits are one and a half on a UART.
    if ((cflag & CSTOPB) == 0) {
        dcb.StopBits = ONESTOPBIT;
    } else {
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    }
    const bool rtsCts = (cflag & CRTSCTS) != 0;
    dcb.fOutxCtsFlow = rtsCts;
    dcb.fRtsControl = hangUp ? RTS_CONTROL_DISABLE : rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = hangUp ? DTR_CONTROL_DISABLE : DTR_CONTROL_ENABLE;
    dcb.fOutX = (terminal.c_iflag & IXON) != 0;
    dcb.fInX = (terminal.c_iflag & IXOFF) != 0;
    const auto xon = static_cast<char>(terminal.c_cc[VSTART]);
    const auto xoff = static_cast<char>(terminal.c_cc[VSTOP]);
    // A disabled or shared character leaves the port's own.
    if (xon != 0 && xoff != 0 && xon != xoff) {
        dcb.XonChar = xon;
        dcb.XoffChar = xoff;
    }
    return dcb;
}

struct termios2 RawTermiosForDcb(const DCB& port, const struct termios2& terminal)
{
    struct termios2 raw = terminal;
    raw.c_iflag = (port.fOutX ? IXON : 0) | (port.fInX ? IXOFF : 0);
    raw.c_oflag = 0;
    raw.c_lflag = 0;
    const tcflag_t stopBits = port.StopBits == ONESTOPBIT ? 0 : CSTOPB;
    const tcflag_t size =
        port.ByteSize >= 5 && port.ByteSize <= 8 ? static_cast<tcflag_t>(port.ByteSize - 5) << 4 : CS8;
    raw.c_cflag = CREAD | CLOCAL | SpeedCodeFor(port.BaudRate) | size | stopBits |
                  ParityFlagsFor(port.Parity) | (port.fOutxCtsFlow ? CRTSCTS : 0);
    raw.c_ispeed = port.BaudRate;
    raw.c_ospeed = port.BaudRate;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    raw.c_cc[VSTART] = static_cast<cc_t>(port.XonChar);
    raw.c_cc[VSTOP] = static_cast<cc_t>(port.XoffChar);
    return raw;
}

bool SameLineSettings(const struct termios2& a, const struct termios2& b)
{
    return (a.c_cflag & kLineFlags) == (b.c_cflag & kLineFlags) && a.c_ospeed == b.c_ospeed &&
           (a.c_iflag & kFlowFlags) == (b.c_iflag & kFlowFlags) && a.c_cc[VSTART] == b.c_cc[VSTART] &&
           a.c_cc[VSTOP] == b.c_cc[VSTOP];
}

}  // namespace bench
