// winsim kernel headers: what a WDM driver sees through <wdm.h>.
#pragma once

#include "ntdef.h"
#include "km_ex.h"
#include "km_io.h"
#include "km_ke.h"
#include "km_po.h"
#include "km_rtl.h"
#include "km_zw.h"

#define PAGED_CODE() WinsimAssertPagedCode(__func__)

extern "C" VOID WinsimAssertPagedCode(PCSTR Function);
