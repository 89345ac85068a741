#include "core/port_config.h"

#include "common/message_wire.h"
#include "common/port_registers.h"
#include "core/adapter_messages.h"
#include "core/message_reads.h"
#include "core/one_pass_at_a_time.h"
#include "core/transmit_pump.h"

namespace {

constexpr ULONG kInitialBaudRate = 9600;
constexpr ULONG kPortInitAttempts = 10;
constexpr LONGLONG kPortInitWait = -10 * 10'000;  // 10 ms, relative

ConfigurationPayload BuildPayload(const PortRecord& record, ULONG port)
{
    const PortRegisters& registers = record.registers;
    ConfigurationPayload payload;
    RtlZeroMemory(&payload, sizeof(payload));
    payload.portIndex = static_cast<UCHAR>(port);
    payload.parity = registers.lineControl & kLcrParityMask;
    payload.stopBits = registers.lineControl & kLcrStopBits;
    payload.wordLength = registers.lineControl & kLcrWordLengthMask;
    // The port driver sets it while a pass runs; its apply then asks for
    // another pass, which reads the new rate.
    payload.baudRate = ReadULongNoFence(&record.baudRate);
    payload.ctsFlow = registers.ctsFlow;
    payload.dsrFlow = registers.dsrFlow;
    payload.xonXoffFlow = registers.xonXoffFlow;
    payload.xonChar = registers.xonChar;
    payload.xoffChar = registers.xoffChar;
    payload.receiveFifo = record.receiveFifo;
    payload.open = registers.open;
    return payload;
}

NTSTATUS SendModemLines(AdapterExtension* extension, ULONG port, UCHAR mask, UCHAR values)
{
    ModemControlPayload control = {mask, values};
    return SendAdapterMessage(extension, kMsgModemControl, port, reinterpret_cast<const UCHAR*>(&control),
                              sizeof(control));
}

// The port is initialised: its pump may send again, unless a power-down
// began meanwhile. That one set ioHeld before transmitHeld, so either its
// transmitHeld comes after ours or we see its ioHeld.
VOID ReleaseTransmit(AdapterExtension* extension, PortRecord& record)
{
    InterlockedExchange(&record.transmitHeld, 0);
    if (InterlockedCompareExchange(&extension->ioHeld, 0, 0) != 0) InterlockedExchange(&record.transmitHeld, 1);
}

NTSTATUS ApplyConfigurationPass(AdapterExtension* extension, ULONG port)
{
    PortRecord& record = extension->ports[port];
    PortRegisters& registers = record.registers;

    UCHAR mask = kModemControlMaskLines;
    UCHAR values = registers.modemControl;
    if ((registers.lineControl & kLcrBreakRequest) != 0) {
        registers.lineControl = static_cast<UCHAR>(registers.lineControl & ~kLcrBreakRequest);
        values |= kMcrBreak;
        mask = kModemControlMaskWithBreak;
    }

    bool controlSent = false;
    NTSTATUS controlStatus = STATUS_SUCCESS;
    if (values != record.lastLines || (values & kMcrBreak) != 0) {
        controlSent = true;
        controlStatus = SendModemLines(extension, port, mask, values);
        if (NT_SUCCESS(controlStatus)) record.lastLines = values & kModemControlMaskLines;
    }

    ConfigurationPayload payload = BuildPayload(record, port);
    const bool open = registers.open != 0;
    bool configSent = false;
    NTSTATUS configStatus = STATUS_SUCCESS;
    if (!RtlEqualMemory(&payload, record.lastConfig, sizeof(payload))) {
        configSent = true;
        configStatus = SendAdapterMessage(extension, kMsgConfigure, port, reinterpret_cast<const UCHAR*>(&payload),
                                          sizeof(payload));
        if (NT_SUCCESS(configStatus)) {
            RtlCopyMemory(record.lastConfig, &payload, sizeof(payload));
            // A new configuration resets the lines on the adapter: send them
            // again. Unsent, they are down there until the next attempt.
            if (open) {
                NTSTATUS linesStatus = SendModemLines(extension, port, kModemControlMaskLines, record.lastLines);
                if (!NT_SUCCESS(linesStatus)) record.lastLines = 0;
                return linesStatus;
            }
        }
    }
    if (!open) {
        // Closed: nothing waiting survives, and the next opening sends the
        // whole configuration again.
        TransmitPumpDiscard(extension, port);
        ByteRingDiscard(record.receiveRing);
        RtlZeroMemory(record.lastConfig, sizeof(record.lastConfig));
    }
    if (configSent) return configStatus;
    return controlSent ? controlStatus : STATUS_SUCCESS;
}

}  // namespace

// The port driver's applies and the driver's own (port initialisation after
// D0) compare with and update what was sent last: one pass at a time. A
// caller whose apply the running pass takes over sees success.
NTSTATUS ApplyConfiguration(AdapterExtension* extension, ULONG port)
{
    NTSTATUS status = STATUS_SUCCESS;
    RunOnePassAtATime(&extension->ports[port].applyRequests,
                      [&] { status = ApplyConfigurationPass(extension, port); });
    return status;
}

PAGED_CODE_SEG
NTSTATUS InitializePorts(AdapterExtension* extension, bool keepOpenPorts)
{
    PAGED_CODE();
    // Back from a low power state, fewer reads than wanted for want of
    // memory still carry the credits: the ports are initialised all the
    // same, and the failure is reported after. A start fails at once.
    const NTSTATUS readStatus = ReplenishMessageReads(extension);
    if (!NT_SUCCESS(readStatus) && (readStatus != STATUS_INSUFFICIENT_RESOURCES || !keepOpenPorts)) {
        return readStatus;
    }
    NTSTATUS status = STATUS_SUCCESS;
    for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
        for (ULONG attempt = 0; attempt < kPortInitAttempts; ++attempt) {
            status = SendAdapterMessage(extension, kMsgPortInit, port, nullptr, 0);
            if (!NT_SUCCESS(status)) continue;
            LARGE_INTEGER wait;
            wait.QuadPart = kPortInitWait;
            KeDelayExecutionThread(KernelMode, FALSE, &wait);
            if (CreditsOf(extension, port) > 0) break;
        }
        PortRecord& record = extension->ports[port];
        if (keepOpenPorts && record.registers.open != 0) {
            // Back from a low power state: the adapter forgot the port's
            // settings, the port driver did not. Send them all again; what
            // the rings hold stays and follows them.
            // The port driver does not know to repeat them: try again while
            // memory is short.
            RtlZeroMemory(record.lastConfig, sizeof(record.lastConfig));
            for (ULONG attempt = 0; attempt < kPortInitAttempts; ++attempt) {
                if (ApplyConfiguration(extension, port) != STATUS_INSUFFICIENT_RESOURCES) break;
                LARGE_INTEGER wait;
                wait.QuadPart = kPortInitWait;
                KeDelayExecutionThread(KernelMode, FALSE, &wait);
            }
            ReleaseTransmit(extension, record);
            TransmitPumpRun(extension, port);
            continue;
        }
        record.registers.open = 0;
        record.registers.lineControl = kLcrWordLength8;
        record.registers.lineStatus = kLsrInitial;
        WriteULongNoFence(&record.baudRate, kInitialBaudRate);
        ApplyConfiguration(extension, port);
        ReleaseTransmit(extension, record);
    }
    return NT_SUCCESS(readStatus) ? status : readStatus;
}
