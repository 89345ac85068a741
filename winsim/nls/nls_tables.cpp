#include "nls/nls_tables.h"

namespace winsim::nls {

namespace {

// Code page 1252 differs from Latin-1 only in 0x80..0x9F. The five bytes the
// code page leaves undefined map to the C1 controls of the same value, as
// Windows maps them.
constexpr WCHAR kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

WCHAR AnsiToUnicode(UCHAR c)
{
    if (c >= 0x80 && c < 0xA0)
        return kHighControls[c - 0x80];
    return c;
}

CHAR UnicodeToAnsi(WCHAR c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<CHAR>(c);
    for (unsigned i = 0; i < 32; ++i) {
        if (kHighControls[i] == c)
            return static_cast<CHAR>(0x80 + i);
    }
    return '?';
}

WCHAR Upcase(WCHAR c)
{
    if (c >= u'a' && c <= u'z')
        return static_cast<WCHAR>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<WCHAR>(c - 0x20);
    switch (c) {
    case 0xFF:
        return 0x178;
    case 0x153:
        return 0x152;
    case 0x161:
        return 0x160;
    case 0x17E:
        return 0x17D;
    default:
        return c;
    }
}

}  // namespace winsim::nls
