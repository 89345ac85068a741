// cl84prreg64: the support library's exports. Plain functions with integer
// results and caller-owned buffers; no state is kept between calls.
#pragma once

#include "common/win32_user.h"

#if defined(_WIN32) && !defined(CL84PRREG64_BUILD)
#define CL84PRREG64_API extern "C" __declspec(dllimport)
#else
#define CL84PRREG64_API extern "C"
#endif

// 1 when the COM number was claimed in the COM-port database, else 0.
CL84PRREG64_API int WINAPI fnClaimComPort(unsigned comNumber);
// Always nonzero.
CL84PRREG64_API int WINAPI fnReleaseComPort(unsigned comNumber);
// Byte i of buffer nonzero: COM i + 1 is in use. Returns the bytes filled.
CL84PRREG64_API unsigned WINAPI fnGetPortsInUse(BYTE* buffer, unsigned size);
// The COM mapping mode, 0 when not set.
CL84PRREG64_API void WINAPI fnGetDriverConfig(int* mode);
// 0 on success, else the registry's error.
CL84PRREG64_API int WINAPI fnSetDriverConfig(unsigned mode);
// Copy the package's INF files into the INF store; always 0.
CL84PRREG64_API int WINAPI fnCopyInfToSystem(void);
// Reinstall the drivers of the adapters present.
CL84PRREG64_API int WINAPI fnUpdateDriverPNP(void);
// Remove every Plug and Play record of the adapter's ports.
CL84PRREG64_API int WINAPI fnClqtrreg(void);
