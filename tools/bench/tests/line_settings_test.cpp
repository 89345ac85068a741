// The terminal settings of a Linux program as a COM port's DCB, and the raw
// terminal a bridge starts with, without a pseudo-terminal.
#include <gtest/gtest.h>

#include "pty/line_settings.h"

namespace bench {
namespace {

// What GetCommState reports for a port just opened: 9600 8N1, DTR and RTS
// on, no handshake.
DCB OpenedPort()
{
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 9600;
    dcb.fBinary = TRUE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = '?';
    return dcb;
}

// A terminal as a program leaves it: the speed code, the rest of c_cflag.
struct termios2 Terminal(tcflag_t speed, tcflag_t cflag, tcflag_t iflag = 0)
{
    struct termios2 t = {};
    t.c_cflag = speed | cflag | CREAD | CLOCAL;
    t.c_iflag = iflag;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    return t;
}

TEST(LineSettingsTest, SpeedDataBitsParityAndStopBitsBecomeTheLineSettings)
{
    DCB dcb = DcbForTermios(Terminal(B115200, CS8), OpenedPort());
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_FALSE(dcb.fParity);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);

    dcb = DcbForTermios(Terminal(B1200, CS7 | PARENB | CSTOPB), OpenedPort());
    EXPECT_EQ(dcb.BaudRate, 1200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_TRUE(dcb.fParity);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);

    EXPECT_EQ(DcbForTermios(Terminal(B9600, CS6 | PARENB | PARODD), OpenedPort()).Parity, ODDPARITY);
    EXPECT_EQ(DcbForTermios(Terminal(B9600, CS8 | PARENB | PARODD | CMSPAR), OpenedPort()).Parity,
              MARKPARITY);
    EXPECT_EQ(DcbForTermios(Terminal(B9600, CS8 | PARENB | CMSPAR), OpenedPort()).Parity, SPACEPARITY);
    // Two stop bits of a five-bit character are one and a half on a UART.
    dcb = DcbForTermios(Terminal(B9600, CS5 | CSTOPB), OpenedPort());
    EXPECT_EQ(dcb.ByteSize, 5);
    EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
}

TEST(LineSettingsTest, AnyOtherSpeedComesFromTheSpeedField)
{
    struct termios2 t = Terminal(BOTHER, CS8);
    t.c_ospeed = 250000;
    t.c_ispeed = 250000;
    EXPECT_EQ(DcbForTermios(t, OpenedPort()).BaudRate, 250000u);
    // A standard code wins over a stale field.
    t = Terminal(B4000000, CS8);
    t.c_ospeed = 38400;
    EXPECT_EQ(DcbForTermios(t, OpenedPort()).BaudRate, 4000000u);
}

TEST(LineSettingsTest, RtsCtsIsTheHandshakeOnBothLines)
{
    DCB dcb = DcbForTermios(Terminal(B115200, CS8 | CRTSCTS), OpenedPort());
    EXPECT_TRUE(dcb.fOutxCtsFlow);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));

    // Off again: RTS simply raised, CTS not looked at.
    dcb = DcbForTermios(Terminal(B115200, CS8), dcb);
    EXPECT_FALSE(dcb.fOutxCtsFlow);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
}

TEST(LineSettingsTest, XonXoffInBothDirectionsWithTheProgramsCharacters)
{
    struct termios2 t = Terminal(B9600, CS8, IXON | IXOFF);
    t.c_cc[VSTART] = 'q';
    t.c_cc[VSTOP] = 's';
    DCB dcb = DcbForTermios(t, OpenedPort());
    EXPECT_TRUE(dcb.fOutX);
    EXPECT_TRUE(dcb.fInX);
    EXPECT_EQ(dcb.XonChar, 'q');
    EXPECT_EQ(dcb.XoffChar, 's');

    dcb = DcbForTermios(Terminal(B9600, CS8, IXON), OpenedPort());
    EXPECT_TRUE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);

    // Disabled or equal characters would be refused by the port: its own stay.
    t.c_cc[VSTART] = 0;
    EXPECT_EQ(DcbForTermios(t, OpenedPort()).XonChar, 0x11);
    t.c_cc[VSTART] = 's';
    EXPECT_EQ(DcbForTermios(t, OpenedPort()).XoffChar, 0x13);
}

TEST(LineSettingsTest, SpeedZeroHangsUpAndKeepsTheSpeed)
{
    DCB running = DcbForTermios(Terminal(B57600, CS8 | CRTSCTS), OpenedPort());
    DCB hungUp = DcbForTermios(Terminal(B0, CS8 | CRTSCTS), running);
    EXPECT_EQ(hungUp.BaudRate, 57600u);
    EXPECT_EQ(hungUp.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(hungUp.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    // A speed again raises them.
    DCB back = DcbForTermios(Terminal(B57600, CS8 | CRTSCTS), hungUp);
    EXPECT_EQ(back.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(back.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
}

TEST(LineSettingsTest, LimitsAndOtherCharactersStayButNotTheDsrHandshake)
{
    DCB port = OpenedPort();
    port.fOutxDsrFlow = TRUE;
    port.fDtrControl = DTR_CONTROL_HANDSHAKE;
    const DCB dcb = DcbForTermios(Terminal(B19200, CS8), port);
    EXPECT_EQ(dcb.XonLim, 2048);
    EXPECT_EQ(dcb.XoffLim, 512);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    // A terminal has no DSR handshake to ask for: the port's goes.
    EXPECT_FALSE(dcb.fOutxDsrFlow);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
}

TEST(LineSettingsTest, TheRawTerminalCarriesThePortsSettingsBack)
{
    DCB port = OpenedPort();
    port.BaudRate = 921600;
    port.ByteSize = 7;
    port.Parity = ODDPARITY;
    port.StopBits = TWOSTOPBITS;
    port.fOutxCtsFlow = TRUE;
    port.fRtsControl = RTS_CONTROL_HANDSHAKE;
    port.fOutX = TRUE;
    struct termios2 cooked = Terminal(B38400, CS8, ICRNL | IXON);
    cooked.c_lflag = ICANON | ECHO | ISIG;
    cooked.c_oflag = OPOST | ONLCR;
    cooked.c_cc[VINTR] = 3;

    const struct termios2 raw = RawTermiosForDcb(port, cooked);
    EXPECT_EQ(raw.c_lflag, 0u);
    EXPECT_EQ(raw.c_oflag, 0u);
    EXPECT_EQ(raw.c_iflag, static_cast<tcflag_t>(IXON));
    EXPECT_EQ(raw.c_cc[VMIN], 1);
    EXPECT_EQ(raw.c_cc[VINTR], 3);
    EXPECT_EQ(raw.c_cflag & CBAUD, static_cast<tcflag_t>(B921600));

    const DCB back = DcbForTermios(raw, OpenedPort());
    EXPECT_EQ(back.BaudRate, 921600u);
    EXPECT_EQ(back.ByteSize, 7);
    EXPECT_EQ(back.Parity, ODDPARITY);
    EXPECT_EQ(back.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(back.fOutxCtsFlow);
    EXPECT_TRUE(back.fOutX);
    EXPECT_FALSE(back.fInX);

    // An unusual speed goes as BOTHER with the number.
    port.BaudRate = 250000;
    const struct termios2 other = RawTermiosForDcb(port, cooked);
    EXPECT_EQ(other.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(other.c_ospeed, 250000u);
}

TEST(LineSettingsTest, OnlyWhatReachesThePortCountsAsAChange)
{
    const struct termios2 a = Terminal(B9600, CS8 | CRTSCTS);
    struct termios2 b = a;
    b.c_lflag = ICANON | ECHO;
    b.c_oflag = OPOST;
    b.c_cc[VINTR] = 3;
    EXPECT_TRUE(SameLineSettings(a, b));
    b = a;
    b.c_cflag = (b.c_cflag & ~CBAUD) | B19200;
    EXPECT_FALSE(SameLineSettings(a, b));
    b = a;
    b.c_cflag &= ~CRTSCTS;
    EXPECT_FALSE(SameLineSettings(a, b));
    b = a;
    b.c_iflag |= IXOFF;
    EXPECT_FALSE(SameLineSettings(a, b));
    b = a;
    b.c_cc[VSTOP] = 's';
    EXPECT_FALSE(SameLineSettings(a, b));
    b = a;
    b.c_cflag = (b.c_cflag & ~CBAUD) | BOTHER;
    b.c_ospeed = 250000;
    EXPECT_FALSE(SameLineSettings(a, b));
}

}  // namespace
}  // namespace bench
