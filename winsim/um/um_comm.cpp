// kernel32's communications functions: each one or more serial control
// requests, waited for here whether or not the handle is overlapped.
#include <ntddser.h>
#include <windows.h>

namespace {

BOOL SerialControl(HANDLE handle, DWORD code, const void* input, DWORD inputLength, void* output = nullptr,
                   DWORD outputLength = 0)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return FALSE;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event;
    DWORD bytes = 0;
    BOOL done = DeviceIoControl(handle, code, const_cast<void*>(input), inputLength, output, outputLength, &bytes,
                                &overlapped);
    if (!done && GetLastError() == ERROR_IO_PENDING) done = GetOverlappedResult(handle, &overlapped, &bytes, TRUE);
    const DWORD error = GetLastError();
    CloseHandle(event);
    SetLastError(error);
    return done;
}

template <typename T>
BOOL Get(HANDLE handle, DWORD code, T* value)
{
    return SerialControl(handle, code, nullptr, 0, value, sizeof(T));
}

template <typename T>
BOOL Set(HANDLE handle, DWORD code, const T& value)
{
    return SerialControl(handle, code, &value, sizeof(T));
}

}  // namespace

extern "C" {

BOOL WINAPI GetCommState(HANDLE hFile, LPDCB lpDCB)
{
    if (lpDCB == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SERIAL_BAUD_RATE baud;
    SERIAL_LINE_CONTROL line;
    SERIAL_CHARS chars;
    SERIAL_HANDFLOW handflow;
    if (!Get(hFile, IOCTL_SERIAL_GET_BAUD_RATE, &baud) || !Get(hFile, IOCTL_SERIAL_GET_LINE_CONTROL, &line) ||
        !Get(hFile, IOCTL_SERIAL_GET_CHARS, &chars) || !Get(hFile, IOCTL_SERIAL_GET_HANDFLOW, &handflow)) {
        return FALSE;
    }
    *lpDCB = DCB{};
    lpDCB->DCBlength = sizeof(DCB);
    lpDCB->BaudRate = baud.BaudRate;
    lpDCB->fBinary = 1;
    lpDCB->fParity = line.Parity != NO_PARITY ? 1 : 0;
    const ULONG control = handflow.ControlHandShake;
    const ULONG replace = handflow.FlowReplace;
    lpDCB->fOutxCtsFlow = (control & SERIAL_CTS_HANDSHAKE) != 0;
    lpDCB->fOutxDsrFlow = (control & SERIAL_DSR_HANDSHAKE) != 0;
    lpDCB->fDtrControl = (control & SERIAL_DTR_HANDSHAKE) != 0 ? DTR_CONTROL_HANDSHAKE
                         : (control & SERIAL_DTR_CONTROL) != 0 ? DTR_CONTROL_ENABLE
                                                               : DTR_CONTROL_DISABLE;
    lpDCB->fDsrSensitivity = (control & SERIAL_DSR_SENSITIVITY) != 0;
    lpDCB->fAbortOnError = (control & SERIAL_ERROR_ABORT) != 0;
    lpDCB->fTXContinueOnXoff = (replace & SERIAL_XOFF_CONTINUE) != 0;
    lpDCB->fOutX = (replace & SERIAL_AUTO_TRANSMIT) != 0;
    lpDCB->fInX = (replace & SERIAL_AUTO_RECEIVE) != 0;
    lpDCB->fErrorChar = (replace & SERIAL_ERROR_CHAR) != 0;
    lpDCB->fNull = (replace & SERIAL_NULL_STRIPPING) != 0;
    switch (replace & SERIAL_RTS_MASK) {
    case SERIAL_RTS_CONTROL: lpDCB->fRtsControl = RTS_CONTROL_ENABLE; break;
    case SERIAL_RTS_HANDSHAKE: lpDCB->fRtsControl = RTS_CONTROL_HANDSHAKE; break;
    case SERIAL_TRANSMIT_TOGGLE: lpDCB->fRtsControl = RTS_CONTROL_TOGGLE; break;
    default: lpDCB->fRtsControl = RTS_CONTROL_DISABLE; break;
    }
    lpDCB->XonLim = static_cast<WORD>(handflow.XonLimit);
    lpDCB->XoffLim = static_cast<WORD>(handflow.XoffLimit);
    lpDCB->ByteSize = line.WordLength;
    lpDCB->Parity = line.Parity;
    lpDCB->StopBits = line.StopBits;
    lpDCB->XonChar = static_cast<char>(chars.XonChar);
    lpDCB->XoffChar = static_cast<char>(chars.XoffChar);
    lpDCB->ErrorChar = static_cast<char>(chars.ErrorChar);
    lpDCB->EofChar = static_cast<char>(chars.EofChar);
    lpDCB->EvtChar = static_cast<char>(chars.EventChar);
    return TRUE;
}

}  // extern "C"

namespace {

// The DCB's settings, one serial request after another; stops at the first
// the driver refuses.
BOOL SendDcb(HANDLE hFile, const DCB& dcb)
{
    SERIAL_BAUD_RATE baud = {dcb.BaudRate};
    SERIAL_LINE_CONTROL line = {dcb.StopBits, dcb.Parity, dcb.ByteSize};
    SERIAL_CHARS chars = {static_cast<UCHAR>(dcb.EofChar), static_cast<UCHAR>(dcb.ErrorChar), 0,
                          static_cast<UCHAR>(dcb.EvtChar), static_cast<UCHAR>(dcb.XonChar),
                          static_cast<UCHAR>(dcb.XoffChar)};
    SERIAL_HANDFLOW handflow = {};
    if (dcb.fOutxCtsFlow) handflow.ControlHandShake |= SERIAL_CTS_HANDSHAKE;
    if (dcb.fOutxDsrFlow) handflow.ControlHandShake |= SERIAL_DSR_HANDSHAKE;
    if (dcb.fDsrSensitivity) handflow.ControlHandShake |= SERIAL_DSR_SENSITIVITY;
    if (dcb.fAbortOnError) handflow.ControlHandShake |= SERIAL_ERROR_ABORT;
    if (dcb.fDtrControl == DTR_CONTROL_ENABLE) handflow.ControlHandShake |= SERIAL_DTR_CONTROL;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) handflow.ControlHandShake |= SERIAL_DTR_HANDSHAKE;
    if (dcb.fOutX) handflow.FlowReplace |= SERIAL_AUTO_TRANSMIT;
    if (dcb.fInX) handflow.FlowReplace |= SERIAL_AUTO_RECEIVE;
    if (dcb.fErrorChar) handflow.FlowReplace |= SERIAL_ERROR_CHAR;
    if (dcb.fNull) handflow.FlowReplace |= SERIAL_NULL_STRIPPING;
    if (dcb.fTXContinueOnXoff) handflow.FlowReplace |= SERIAL_XOFF_CONTINUE;
    switch (dcb.fRtsControl) {
    case RTS_CONTROL_ENABLE: handflow.FlowReplace |= SERIAL_RTS_CONTROL; break;
    case RTS_CONTROL_HANDSHAKE: handflow.FlowReplace |= SERIAL_RTS_HANDSHAKE; break;
    case RTS_CONTROL_TOGGLE: handflow.FlowReplace |= SERIAL_TRANSMIT_TOGGLE; break;
    default: break;
    }
    handflow.XonLimit = dcb.XonLim;
    handflow.XoffLimit = dcb.XoffLim;
    if (!Set(hFile, IOCTL_SERIAL_SET_BAUD_RATE, baud) || !Set(hFile, IOCTL_SERIAL_SET_LINE_CONTROL, line) ||
        !Set(hFile, IOCTL_SERIAL_SET_CHARS, chars) || !Set(hFile, IOCTL_SERIAL_SET_HANDFLOW, handflow)) {
        return FALSE;
    }
    // The lines that are not under handshake control follow the DCB.
    if (dcb.fDtrControl == DTR_CONTROL_ENABLE || dcb.fDtrControl == DTR_CONTROL_DISABLE) {
        const DWORD code = dcb.fDtrControl == DTR_CONTROL_ENABLE ? IOCTL_SERIAL_SET_DTR : IOCTL_SERIAL_CLR_DTR;
        if (!SerialControl(hFile, code, nullptr, 0)) return FALSE;
    }
    if (dcb.fRtsControl == RTS_CONTROL_ENABLE || dcb.fRtsControl == RTS_CONTROL_DISABLE) {
        const DWORD code = dcb.fRtsControl == RTS_CONTROL_ENABLE ? IOCTL_SERIAL_SET_RTS : IOCTL_SERIAL_CLR_RTS;
        if (!SerialControl(hFile, code, nullptr, 0)) return FALSE;
    }
    return TRUE;
}

}  // namespace

extern "C" {

BOOL WINAPI SetCommState(HANDLE hFile, LPDCB lpDCB)
{
    if (lpDCB == nullptr || lpDCB->XonChar == lpDCB->XoffChar) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The settings go to the driver one request at a time. When one is
    // refused, the ones before it are taken back, so a failed call leaves
    // the port as it was.
    DCB previous;
    if (!GetCommState(hFile, &previous)) return FALSE;
    if (SendDcb(hFile, *lpDCB)) return TRUE;
    const DWORD error = GetLastError();
    SendDcb(hFile, previous);
    SetLastError(error);
    return FALSE;
}

BOOL WINAPI GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts)
{
    static_assert(sizeof(COMMTIMEOUTS) == sizeof(SERIAL_TIMEOUTS), "same five values");
    return SerialControl(hFile, IOCTL_SERIAL_GET_TIMEOUTS, nullptr, 0, lpCommTimeouts, sizeof(COMMTIMEOUTS));
}

BOOL WINAPI SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts)
{
    return SerialControl(hFile, IOCTL_SERIAL_SET_TIMEOUTS, lpCommTimeouts, sizeof(COMMTIMEOUTS));
}

BOOL WINAPI EscapeCommFunction(HANDLE hFile, DWORD dwFunc)
{
    DWORD code;
    switch (dwFunc) {
    case SETRTS: code = IOCTL_SERIAL_SET_RTS; break;
    case CLRRTS: code = IOCTL_SERIAL_CLR_RTS; break;
    case SETDTR: code = IOCTL_SERIAL_SET_DTR; break;
    case CLRDTR: code = IOCTL_SERIAL_CLR_DTR; break;
    case SETBREAK: code = IOCTL_SERIAL_SET_BREAK_ON; break;
    case CLRBREAK: code = IOCTL_SERIAL_SET_BREAK_OFF; break;
    case SETXOFF: code = SERIAL_CTL(14); break;
    case SETXON: code = SERIAL_CTL(15); break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
    return SerialControl(hFile, code, nullptr, 0);
}

BOOL WINAPI PurgeComm(HANDLE hFile, DWORD dwFlags)
{
    return Set(hFile, IOCTL_SERIAL_PURGE, static_cast<ULONG>(dwFlags));
}

BOOL WINAPI GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat)
{
    ULONG status = 0;
    if (lpModemStat == nullptr || !Get(hFile, IOCTL_SERIAL_GET_MODEMSTATUS, &status)) return FALSE;
    *lpModemStat = status & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
    return TRUE;
}

BOOL WINAPI ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat)
{
    SERIAL_STATUS status;
    if (!Get(hFile, IOCTL_SERIAL_GET_COMMSTATUS, &status)) return FALSE;
    if (lpErrors != nullptr) {
        *lpErrors = ((status.Errors & SERIAL_ERROR_QUEUEOVERRUN) != 0 ? CE_RXOVER : 0) |
                    ((status.Errors & SERIAL_ERROR_OVERRUN) != 0 ? CE_OVERRUN : 0) |
                    ((status.Errors & SERIAL_ERROR_PARITY) != 0 ? CE_RXPARITY : 0) |
                    ((status.Errors & SERIAL_ERROR_FRAMING) != 0 ? CE_FRAME : 0) |
                    ((status.Errors & SERIAL_ERROR_BREAK) != 0 ? CE_BREAK : 0);
    }
    if (lpStat != nullptr) {
        *lpStat = COMSTAT{};
        lpStat->fCtsHold = (status.HoldReasons & SERIAL_TX_WAITING_FOR_CTS) != 0 ? 1 : 0;
        lpStat->fDsrHold = (status.HoldReasons & SERIAL_TX_WAITING_FOR_DSR) != 0 ? 1 : 0;
        lpStat->fRlsdHold = (status.HoldReasons & SERIAL_TX_WAITING_FOR_DCD) != 0 ? 1 : 0;
        lpStat->fXoffHold = (status.HoldReasons & SERIAL_TX_WAITING_FOR_XON) != 0 ? 1 : 0;
        lpStat->fXoffSent = (status.HoldReasons & SERIAL_TX_WAITING_XOFF_SENT) != 0 ? 1 : 0;
        lpStat->fEof = status.EofReceived ? 1 : 0;
        lpStat->fTxim = status.WaitForImmediate ? 1 : 0;
        lpStat->cbInQue = status.AmountInInQueue;
        lpStat->cbOutQue = status.AmountInOutQueue;
    }
    return TRUE;
}

}  // extern "C"
