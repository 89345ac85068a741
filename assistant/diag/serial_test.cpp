// The port test's worker: rounds of one chunk written and, in the loopback
// modes, read back and compared, until a stop is asked for or a quick test
// has sent two chunks. Everything it tells the dialog is posted.
#include "assistant/diag/serial_test.h"

#include "assistant/app/app_messages.h"
#include "assistant/app/posted_text.h"
#include "assistant/res/resource.h"

CSerialTest::~CSerialTest()
{
    if (workerThread != nullptr) {
        RequestStop();
        WaitForSingleObject(workerThread, INFINITE);
        CloseHandle(workerThread);
    }
    Close();
}

bool CSerialTest::StartWorker(int testMode, bool quickTest, HWND ownerWindow, int adapter, int port)
{
    mode = testMode;
    quick = quickTest ? 1 : 0;
    owner = ownerWindow;
    adapterIndex = adapter;
    portIndex = port;
    stopRequested = 0;
    workerStarted = 1;
    // Counted before the thread runs, so a stop asked for at once waits for it.
    activeWorkers = 1;
    workerThread = CreateThread(nullptr, 0, &CSerialTest::WorkerMain, this, 0, &workerThreadId);
    if (workerThread == nullptr) {
        activeWorkers = 0;
        workerStarted = 0;
        return false;
    }
    return true;
}

void CSerialTest::ReleaseWorker()
{
    if (workerThread != nullptr) {
        // The worker has done its last work; this only waits for it to return.
        WaitForSingleObject(workerThread, INFINITE);
        CloseHandle(workerThread);
        workerThread = nullptr;
    }
    workerStarted = 0;
}

DWORD WINAPI CSerialTest::WorkerMain(LPVOID self)
{
    static_cast<CSerialTest*>(self)->RunWorker();
    return 0;
}

void CSerialTest::Log(const std::string& text) const
{
    assistant::PostText(owner, assistant::kStatusTextMessage, text);
}

void CSerialTest::PostStatus(const char* text) const
{
    assistant::PostText(owner, assistant::kTestStatusMessage, text);
}

bool CSerialTest::WritePhase(const BYTE* pattern, DWORD& toWrite, DWORD& sent, int& retries)
{
    while (toWrite > 0 && stopRequested == 0) {
        const int written = Write(pattern + (chunk - toWrite), toWrite);
        if (written < 0) {
            Log("*** Port Test Write Error");
            writeFailed = 1;
            stopRequested = 1;
            return false;
        }
        if (written == 0) {
            if (stopRequested != 0) {
                Log("*** Port Test Write Error: No TX Data");
                writeFailed = 1;
                return false;
            }
            if (++retries > 2) {
                Log("*** Port Test Write Error: No TX data sent after 2 retries");
                writeFailed = 1;
                stopRequested = 1;
                return false;
            }
            Log("*** Port Test Write: Zero bytes sent: Reposting");
            continue;
        }
        const DWORD count = static_cast<DWORD>(written);
        bytesWritten += count;
        sent += count;
        if (count < toWrite) {
            Log("*** Port Test Write: Partial send: Reposting");
        }
        toWrite -= count;
        retries = 0;
    }
    return true;
}

bool CSerialTest::ReadPhaseFailed(BYTE* received, DWORD toWrite, DWORD& toRead, int& retries)
{
    while (toRead > 0 && stopRequested == 0) {
        const int got = Read(received + (chunk - toRead), toRead);
        if (got < 0) {
            Log("*** Port Test Read Error");
            return true;
        }
        if (got == 0) {
            if (stopRequested != 0) {
                Log("*** Port Test Read Error: No RX Data");
                return true;
            }
            if (++retries > 2) {
                toRead = 0;
                Log("*** Port Test Read Error: No RX data after 2 retries");
                return true;
            }
            Log("*** Port Test Read Zero Bytes: Reposting read");
            continue;
        }
        const DWORD count = static_cast<DWORD>(got);
        bytesRead += count;
        if (count < toRead) {
            Log("*** Port Test Read Partial: Reposting Read");
        }
        toRead -= count;
        retries = 0;
    }
    if (writeFailed != 0 || readFailed != 0 || toWrite != 0 || toRead != 0) {
        return false;
    }
    for (DWORD k = 0; k < chunk; ++k) {
        if (received[k] != static_cast<BYTE>(k)) {
            Log("*** Port Test: Read Error: Compare");
            return true;
        }
    }
    return false;
}

void CSerialTest::RunWorker()
{
    writeFailed = readFailed = 0;
    bytesWritten = bytesRead = 0;
    DWORD sent = 0;
    DWORD failedRounds = 0;
    if (debugLogging != 0) {
        Log("SerialTestThread Start");
    }
    if (mode == assistant::kExternalLoopback) {
        Log("Serial Test Started in External Loopback Mode");
    } else if (mode == assistant::kInternalLoopback) {
        Log("Serial Test Started in Internal Loopback Mode");
    } else {
        Log("Serial Test Started in TX-Only Mode");
    }
    BYTE pattern[assistant::kMaxChunk];
    BYTE received[assistant::kMaxChunk] = {};
    for (DWORD k = 0; k < chunk; ++k) {
        pattern[k] = static_cast<BYTE>(k);
    }
    DWORD toWrite = 0;
    DWORD toRead = 0;
    while (stopRequested == 0) {
        if (toWrite == 0) {
            toWrite = chunk;
        }
        int retries = 0;
        writeFailed = 0;
        if (!WritePhase(pattern, toWrite, sent, retries)) {
            break;
        }
        bool roundFailed = false;
        if (mode != assistant::kTxOnly) {
            if (toRead == 0) {
                toRead = chunk;
            }
            retries = 0;
            readFailed = 0;
            roundFailed = ReadPhaseFailed(received, toWrite, toRead, retries);
        }
        if (roundFailed) {
            readFailed = 1;
            if (quick != 0) {
                stopRequested = 1;
                break;
            }
            PostMessageA(owner, assistant::kTestIconMessage, IDI_TEST_FAILED, 1);
            ++failedRounds;
        }
        if (quick != 0 && sent >= 2 * chunk) {
            stopRequested = 1;
        }
    }
    if (writeFailed == 0 && readFailed == 0 && failedRounds == 0) {
        PostMessageA(owner, assistant::kTestPassedMessage, static_cast<WPARAM>(portIndex), 0);
        Log("++++ Serial Test Completed With No Errors ++++");
        PostStatus("* PASSED *");
    } else {
        PostMessageA(owner, assistant::kTestFailedMessage, static_cast<WPARAM>(portIndex), 0);
        Log("#### Serial Test Completed With Errors ####");
        PostStatus("! SERIAL TEST FAILED !");
    }
    if (debugLogging != 0) {
        Log("SerialTestThread Exit");
    }
    const HWND notify = owner;
    const int port = portIndex;
    // From here on the dialog may release this worker: touch no member.
    --activeWorkers;
    PostMessageA(notify, assistant::kWorkerEndedMessage, static_cast<WPARAM>(port), 0);
}
