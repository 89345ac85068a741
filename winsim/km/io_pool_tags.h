// Pool tags of the I/O and object managers' own allocations, so that what a
// driver leaks through them (an IRP never freed, a work item, a name) shows
// in the pool accounting under a name.
#pragma once

#include "verifier/pool.h"

namespace winsim::io {

// The first five are the ones the pool counts as the system's own
// (TagFilter::ExceptSystem).
inline constexpr ULONG kTagIrp = winsim::PoolTag("Irp ");
inline constexpr ULONG kTagMdl = winsim::PoolTag("Mdl ");
inline constexpr ULONG kTagDevice = winsim::PoolTag("Devi");
inline constexpr ULONG kTagWorkItem = winsim::PoolTag("IoWk");
inline constexpr ULONG kTagFile = winsim::PoolTag("File");
inline constexpr ULONG kTagDriver = winsim::PoolTag("Driv");
inline constexpr ULONG kTagEvent = winsim::PoolTag("Even");
// Buffered I/O copies (IRP system buffers).
inline constexpr ULONG kTagSystemBuffer = winsim::PoolTag("IoSB");
// Names handed to drivers (interface symbolic links, registry paths): the
// driver frees what it is given, so these count as its own.
inline constexpr ULONG kTagName = winsim::PoolTag("IoNm");
// Contexts of IoSetCompletionRoutineEx.
inline constexpr ULONG kTagCompletionContext = winsim::PoolTag("IoCo");
// The power manager's record of a PoRequestPowerIrp.
inline constexpr ULONG kTagPowerRequest = winsim::PoolTag("PoRq");
// URBs the USBD library builds for its caller, who frees them.
inline constexpr ULONG kTagUsbd = winsim::PoolTag("USBD");

}  // namespace winsim::io
