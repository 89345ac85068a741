// The functions of the port services table. The context is the adapter's
// FDO. Port functions return a one-byte boolean (nonzero: done) and refuse a
// port index of 4 or more without touching anything.
#pragma once

#include "common/port_service_table.h"
#include "core/adapter_extension.h"

VOID PortServiceReferenceFn(void* context);
VOID PortServiceDereferenceFn(void* context);
uint8_t PortServiceWriteDataFn(void* context, uint32_t port, const uint8_t* data, uint32_t length);
uint8_t PortServiceReadDataFn(void* context, uint32_t port, uint8_t* buffer, uint32_t* length);
uint8_t PortServiceApplyConfigFn(void* context, uint32_t port);
uint8_t PortServiceGetRegistersFn(void* context, uint32_t port, PortRegisters** registers);
uint8_t PortServiceSetNotifyFn(void* context, uint32_t port, PortNotifyCallback callback, void* callbackContext);
uint8_t PortServiceMapPortFn(void* context, uint32_t port, uint32_t* mappedPort);
// PASSIVE_LEVEL: it may take a table slot and reads the port's registry key.
uint8_t PortServiceRegisterPortFn(void* context, uint32_t port, const PortRegistration* registration);
uint8_t PortServiceSetBaudRateFn(void* context, uint32_t port, uint32_t baudRate, uint8_t apply);
uint8_t PortServiceSetFlowControlFn(void* context, uint32_t port, const FlowSettings* settings);
