// winsim kernel headers: <ntddk.h> is <wdm.h> plus a few services.
#pragma once

#include "wdm.h"
