// The functions of the port services table. The context is the adapter's
// FDO. Port functions return a one-byte boolean (nonzero: done) and refuse a
// port index of 4 or more without touching anything.
#pragma once

#include "common/port_service_table.h"
#include "core/adapter_extension.h"

_IRQL_requires_max_(DISPATCH_LEVEL)
VOID PortServiceReferenceFn(_In_ void* context);
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID PortServiceDereferenceFn(_In_ void* context);
_IRQL_requires_max_(DISPATCH_LEVEL)
uint8_t PortServiceWriteDataFn(_In_ void* context, _In_ uint32_t port,
                               _In_reads_bytes_(length) const uint8_t* data, _In_ uint32_t length);
_IRQL_requires_max_(DISPATCH_LEVEL)
_Success_(return != 0)
uint8_t PortServiceReadDataFn(_In_ void* context, _In_ uint32_t port,
                              _Out_writes_bytes_to_(*length, *length) uint8_t* buffer,
                              _Inout_ uint32_t* length);
_IRQL_requires_max_(DISPATCH_LEVEL)
uint8_t PortServiceApplyConfigFn(_In_ void* context, _In_ uint32_t port);
_IRQL_requires_max_(DISPATCH_LEVEL)
_Success_(return != 0)
uint8_t PortServiceGetRegistersFn(_In_ void* context, _In_ uint32_t port,
                                  _Outptr_ PortRegisters** registers);
_IRQL_requires_max_(DISPATCH_LEVEL)
uint8_t PortServiceSetNotifyFn(_In_ void* context, _In_ uint32_t port, _In_opt_ PortNotifyCallback callback,
                               _In_opt_ void* callbackContext);
_IRQL_requires_max_(DISPATCH_LEVEL)
_Success_(return != 0)
uint8_t PortServiceMapPortFn(_In_ void* context, _In_ uint32_t port, _Out_ uint32_t* mappedPort);
// PASSIVE_LEVEL: it may take a table slot and reads the port's registry key.
_IRQL_requires_max_(PASSIVE_LEVEL)
uint8_t PortServiceRegisterPortFn(_In_ void* context, _In_ uint32_t port,
                                  _In_ const PortRegistration* registration);
_IRQL_requires_max_(DISPATCH_LEVEL)
uint8_t PortServiceSetBaudRateFn(_In_ void* context, _In_ uint32_t port, _In_ uint32_t baudRate,
                                 _In_ uint8_t apply);
_IRQL_requires_max_(DISPATCH_LEVEL)
uint8_t PortServiceSetFlowControlFn(_In_ void* context, _In_ uint32_t port,
                                    _In_ const FlowSettings* settings);
