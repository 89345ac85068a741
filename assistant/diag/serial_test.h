// The port test of one COM port: the port opened and configured like any
// application would, and a worker thread that writes a numbered pattern in
// chunks and, in the loopback modes, reads it back and compares it. The
// worker reaches the dialog only through posted messages.
#pragma once

#include <atomic>
#include <string>

#include "common/win32_user.h"

namespace assistant {

enum TestMode : int { kTxOnly = 0, kExternalLoopback = 1, kInternalLoopback = 2 };

inline constexpr DWORD kMaxChunk = 63;

}  // namespace assistant

class CSerialTest {
public:
    CSerialTest() = default;
    ~CSerialTest();
    CSerialTest(const CSerialTest&) = delete;
    CSerialTest& operator=(const CSerialTest&) = delete;

    // Port operations; results as the test's callers expect them.
    int Open(int comNumber);  // 1 opened, 0 not
    // 0, or -1 reading the state failed, -2 setting it, -3 reading the time-outs, -4 setting them.
    int Configure(DWORD baud, BYTE parity, BYTE stopBits, BYTE dataBits, bool handshake);
    // Bytes written, or -1 no port, -2 no event, -3 the write failed.
    int Write(const BYTE* buffer, DWORD count);
    // Bytes read, or -1 no port, -2 no event or the read ended in failure, -3 the wait failed, -4 the read failed at once.
    int Read(BYTE* buffer, DWORD count);
    // Reads single bytes until none comes; the bytes thrown away.
    int Flush();
    // Puts the saved time-outs back and closes the port.
    void Close();

    // Starts the worker thread; false when no thread could be made.
    bool StartWorker(int testMode, bool quickTest, HWND ownerWindow, int adapter, int port);
    // Asks the worker to end after its current transfer; it posts its end.
    void RequestStop() { stopRequested = 1; }
    // True once a started worker has left its function.
    bool WorkerFinished() const { return workerStarted != 0 && activeWorkers == 0; }
    // Waits for the finished worker's thread and lets it go.
    void ReleaseWorker();
    bool WorkerStarted() const { return workerStarted != 0; }

    DWORD Chunk() const { return chunk; }
    DWORD BytesWritten() const { return bytesWritten; }
    DWORD BytesRead() const { return bytesRead; }
    int AdapterIndex() const { return adapterIndex; }
    void SetDebugLogging(bool on) { debugLogging = on ? 1 : 0; }

private:
    static DWORD WINAPI WorkerMain(LPVOID self);
    void RunWorker();
    // One round's write and read phases; false when the test must end now.
    bool WritePhase(const BYTE* pattern, DWORD& toWrite, DWORD& sent, int& retries);
    // The read phase and the compare; true when the round failed.
    bool ReadPhaseFailed(BYTE* received, DWORD toWrite, DWORD& toRead, int& retries);
    void Log(const std::string& text) const;
    void PostStatus(const char* text) const;

    HANDLE portHandle = nullptr;
    DWORD chunk = assistant::kMaxChunk;
    COMMTIMEOUTS testTimeouts{};
    COMMTIMEOUTS savedTimeouts{};
    int timeoutsChanged = 0;

    HANDLE workerThread = nullptr;
    DWORD workerThreadId = 0;
    std::atomic<BYTE> stopRequested{0};
    BYTE workerStarted = 0;
    HWND owner = nullptr;
    std::atomic<LONG> activeWorkers{0};
    int mode = assistant::kTxOnly;
    int quick = 1;
    int portIndex = 0;
    int adapterIndex = 0;
    int debugLogging = 0;
    LONG writeFailed = 0;
    LONG readFailed = 0;
    // Written by the worker, read by the statistics tick.
    std::atomic<DWORD> bytesWritten{0};
    std::atomic<DWORD> bytesRead{0};
};
