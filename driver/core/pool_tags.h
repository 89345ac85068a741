// Pool tags of the driver's allocations, as they read in a pool dump.
#pragma once

#include "kernel.h"

constexpr ULONG MakePoolTag(const char (&text)[5])
{
    return static_cast<ULONG>(static_cast<unsigned char>(text[0])) |
           static_cast<ULONG>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<ULONG>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<ULONG>(static_cast<unsigned char>(text[3])) << 24;
}

constexpr ULONG kDriverPoolTag = MakePoolTag("BulK");  // everything but the rings
constexpr ULONG kRingPoolTag = MakePoolTag("CBFR");    // per-port byte rings
