// The application image the driver carries for the adapter, with its
// version text beside it (the image holds the same text).
#pragma once

#include "common/firmware_protocol.h"
#include "kernel.h"

constexpr ULONG kFirmwareImageBytes = kFirmwareImageLength;

extern const UCHAR FirmwareImage[kFirmwareImageBytes];
