#include "core/firmware_check.h"

#include "common/firmware_protocol.h"
#include "common/message_wire.h"
#include "core/adapter_messages.h"
#include "firmware/firmware_image.h"

namespace {

bool ContainsBootMarker(const UCHAR* text, ULONG capacity)
{
    const ULONG markerLength = sizeof(kBootLoaderMarker) - 1;
    for (ULONG i = 0; i + markerLength <= capacity && text[i] != 0; ++i) {
        if (RtlEqualMemory(text + i, kBootLoaderMarker, markerLength)) return true;
    }
    return false;
}

NTSTATUS WaitForReply(AdapterExtension* extension, LONGLONG timeout)
{
    LARGE_INTEGER wait;
    wait.QuadPart = -timeout;
    NTSTATUS status = KeWaitForSingleObject(&extension->replyEvent, Executive, KernelMode, FALSE, &wait);
    return status == STATUS_TIMEOUT ? STATUS_IO_TIMEOUT : STATUS_SUCCESS;
}

// Sends one firmware command and waits for the boot loader's acknowledgement.
NTSTATUS SendAndWait(AdapterExtension* extension, UCHAR code, const VOID* payload, ULONG length)
{
    KeClearEvent(&extension->replyEvent);
    NTSTATUS status = SendAdapterMessage(extension, code, 0, static_cast<const UCHAR*>(payload), length);
    if (!NT_SUCCESS(status)) return status;
    return WaitForReply(extension, kFirmwareAckTimeout);
}

NTSTATUS Download(AdapterExtension* extension, const FirmwareHeader& header)
{
    for (ULONG address = kFirmwareAppAddress; address < kFirmwareAppAddress + kFirmwareImageLength;
         address += kFlashPageSize) {
        FlashErasePayload erase = {address, kFlashPageSize};
        NTSTATUS status = SendAndWait(extension, kMsgFlashErase, &erase, sizeof(erase));
        if (!NT_SUCCESS(status)) return status;
    }

    ULONG address = kFirmwareAppAddress;
    const UCHAR* source = FirmwareImage;
    ULONG remaining = kFirmwareImageLength;
    while (remaining != 0) {
        const ULONG count = remaining < kFirmwareWritePiece ? remaining : kFirmwareWritePiece;
        FlashWritePayload write;
        RtlZeroMemory(&write, sizeof(write));
        write.address = address;
        write.count = count;
        RtlCopyMemory(write.data, source, count);
        NTSTATUS status = SendAndWait(extension, kMsgFlashWrite, &write, sizeof(write));
        if (!NT_SUCCESS(status)) return status;
        address += count;
        source += count;
        remaining -= count;
    }

    // The header makes the boot loader accept the image; its two messages'
    // failures are not reported (the restart then finds no valid image).
    FlashErasePayload headerErase = {kFirmwareHeaderAddress, sizeof(FirmwareHeader)};
    SendAndWait(extension, kMsgFlashErase, &headerErase, sizeof(headerErase));
    const FlashHeaderWritePayload headerWrite = {kFirmwareHeaderAddress, sizeof(FirmwareHeader), header};
    SendAndWait(extension, kMsgFlashWrite, &headerWrite, sizeof(headerWrite));

    // Unsent, the boot loader would wait on with a complete image: the
    // start fails instead, and the next plug finds the image.
    NTSTATUS status = SendAdapterMessage(extension, kMsgHeaderWritten, 0, nullptr, 0);
    const NTSTATUS restart = SendAdapterMessage(extension, kMsgRestart, 0, nullptr, 0);
    return NT_SUCCESS(status) ? restart : status;
}

}  // namespace

PAGED_CODE_SEG
NTSTATUS FirmwareCheck(AdapterExtension* extension)
{
    PAGED_CODE();
    // The header's CRC is computed at every check, download or not.
    const FirmwareHeader header = MakeFirmwareHeader(FirmwareImage, kFirmwareImageLength);

    RtlZeroMemory(extension->firmwareVersion, sizeof(extension->firmwareVersion));
    KeClearEvent(&extension->replyEvent);
    // A request that could not be sent proves nothing about the adapter.
    NTSTATUS status = SendAdapterMessage(extension, kMsgGetVersion, 0, nullptr, 0);
    if (!NT_SUCCESS(status)) return status;
    // A silent adapter leaves the version empty: nothing to do.
    WaitForReply(extension, kFirmwareVersionTimeout);

    const auto* text = reinterpret_cast<const char*>(extension->firmwareVersion);
    FirmwareBuild build = ParseFirmwareBuild(text, sizeof(extension->firmwareVersion));
    if (!build.found || build.number >= kFirmwareImageBuildNumber) return STATUS_SUCCESS;

    if (ContainsBootMarker(extension->firmwareVersion, sizeof(extension->firmwareVersion))) {
        return Download(extension, header);
    }
    // An older application: restart it into its boot loader; the next start
    // finds the boot loader.
    const UCHAR enterBootLoader = kEnterBootLoaderValue;
    status = SendAdapterMessage(extension, kMsgEnterBootLoader, 0, &enterBootLoader, sizeof(enterBootLoader));
    if (!NT_SUCCESS(status)) return status;
    return SendAdapterMessage(extension, kMsgRestart, 0, nullptr, 0);
}
