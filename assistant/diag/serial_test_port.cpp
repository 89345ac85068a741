// The port test's COM port: open, configure, one overlapped transfer at a
// time, flush and close with the port's own time-outs put back.
#include <algorithm>
#include <cstdio>

#include "assistant/diag/serial_test.h"

namespace {

// A chunk carries 250 ms of the line at 10 bits a character.
DWORD ChunkFor(DWORD baud)
{
    const DWORD bytes = ((baud / 10) * 250) / 1000;
    return std::clamp<DWORD>(bytes, 1, assistant::kMaxChunk);
}

// Milliseconds a character takes, at least 1.
DWORD MillisecondsPerByte(DWORD baud)
{
    return std::max<DWORD>(10000 / std::max<DWORD>(baud, 1), 1);
}

// The transfer's outcome once its event is set.
enum class Wait { kDone, kWaitFailed, kFailed };

Wait WaitForTransfer(HANDLE port, OVERLAPPED& overlapped, DWORD& done)
{
    if (WaitForSingleObject(overlapped.hEvent, INFINITE) != WAIT_OBJECT_0) {
        // The transfer is still the driver's and ends at its time-out; the
        // OVERLAPPED must outlive it.
        GetOverlappedResult(port, &overlapped, &done, TRUE);
        return Wait::kWaitFailed;
    }
    return GetOverlappedResult(port, &overlapped, &done, FALSE) ? Wait::kDone : Wait::kFailed;
}

}  // namespace

int CSerialTest::Open(int comNumber)
{
    Close();
    char name[32];
    std::snprintf(name, sizeof(name), "\\\\.\\COM%d", comNumber);
    HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return 0;
    }
    portHandle = handle;
    return 1;
}

int CSerialTest::Configure(DWORD baud, BYTE parity, BYTE stopBits, BYTE dataBits, bool handshake)
{
    DCB state{};
    state.DCBlength = sizeof(state);
    if (!GetCommState(portHandle, &state)) {
        return -1;
    }
    state.BaudRate = baud;
    state.ByteSize = dataBits;
    state.Parity = parity;
    state.StopBits = stopBits;
    state.fTXContinueOnXoff = 1;
    state.fOutX = 0;
    state.fInX = 0;
    state.fDsrSensitivity = 0;
    state.fAbortOnError = 0;
    state.fOutxCtsFlow = handshake ? 1 : 0;
    state.fOutxDsrFlow = handshake ? 1 : 0;
    state.fDtrControl = handshake ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    state.fRtsControl = handshake ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    if (!SetCommState(portHandle, &state)) {
        return -2;
    }
    chunk = ChunkFor(baud);
    if (!GetCommTimeouts(portHandle, &savedTimeouts)) {
        return -3;
    }
    const DWORD perByte = MillisecondsPerByte(baud);
    testTimeouts = {};
    testTimeouts.ReadIntervalTimeout = 0;
    testTimeouts.ReadTotalTimeoutMultiplier = perByte;
    testTimeouts.ReadTotalTimeoutConstant = 1000;
    testTimeouts.WriteTotalTimeoutMultiplier = perByte;
    testTimeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(portHandle, &testTimeouts)) {
        return -4;
    }
    timeoutsChanged = 1;
    return 0;
}

int CSerialTest::Write(const BYTE* buffer, DWORD count)
{
    if (portHandle == nullptr) {
        return -1;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
        return -2;
    }
    DWORD done = 0;
    int result = -3;
    if (WriteFile(portHandle, buffer, count, &done, &overlapped) ||
        (GetLastError() == ERROR_IO_PENDING && WaitForTransfer(portHandle, overlapped, done) == Wait::kDone)) {
        result = static_cast<int>(done);
    }
    CloseHandle(overlapped.hEvent);
    return result;
}

int CSerialTest::Read(BYTE* buffer, DWORD count)
{
    if (portHandle == nullptr) {
        return -1;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
        return -2;
    }
    DWORD done = 0;
    int result = 0;
    if (ReadFile(portHandle, buffer, count, &done, &overlapped)) {
        result = static_cast<int>(done);
    } else if (GetLastError() != ERROR_IO_PENDING) {
        result = -4;
    } else {
        switch (WaitForTransfer(portHandle, overlapped, done)) {
        case Wait::kDone:
            result = static_cast<int>(done);
            break;
        case Wait::kWaitFailed:
            result = -3;
            break;
        case Wait::kFailed:
            result = -2;
            break;
        }
    }
    CloseHandle(overlapped.hEvent);
    return result;
}

int CSerialTest::Flush()
{
    int discarded = 0;
    BYTE byte = 0;
    while (Read(&byte, 1) > 0) {
        ++discarded;
    }
    return discarded;
}

void CSerialTest::Close()
{
    if (portHandle == nullptr) {
        return;
    }
    if (timeoutsChanged != 0) {
        SetCommTimeouts(portHandle, &savedTimeouts);
        timeoutsChanged = 0;
    }
    CloseHandle(portHandle);
    portHandle = nullptr;
}
