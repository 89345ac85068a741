// winsim kernel headers: what a WDM driver sees through <wdm.h>.
#pragma once

#include "ntdef.h"
#include "km_dbg.h"
#include "km_sal.h"
#include "km_ex.h"
#include "km_io.h"
#include "km_ke.h"
#include "km_po.h"
#include "km_rtl.h"
#include "km_zw.h"

#define PAGED_CODE() WinsimAssertPagedCode(__func__)
// Where a pageable C++ routine goes: the PAGE section on Windows; the host
// has no paging, and PAGED_CODE() checks the IRQL instead.
#define PAGED_CODE_SEG
#define INIT_CODE_SEG

extern "C" VOID WinsimAssertPagedCode(PCSTR Function);
