// The main dialog's port tests: the four ports' CSerialTest, starting a
// test on a port and stopping it, and the statistics tick. A stop asks the
// worker to end and finishes when the worker has ended, so the dialog keeps
// working meanwhile; stops finish one after the other, in the order asked.
#pragma once

#include <deque>

#include "assistant/app/table_counts.h"
#include "assistant/diag/serial_test.h"

class CAssistantDlg;

class CPortTests {
public:
    explicit CPortTests(CAssistantDlg& owner) : owner(owner) {}

    // 1 when the test runs, 0 when it could not start.
    int StartPortTest(int port);
    // Does nothing for a port that is not under test or is being stopped already.
    void StopPortTest(int port);
    // The worker of port has left its function.
    void OnWorkerEnded(int port);
    // Finishes every stop asked for, waiting for the workers (the dialog is closing).
    void FinishStops();
    void OnStatisticsTick();

private:
    int StartFailed();
    // The first steps of the stop at the head of the queue.
    void BeginStop();
    // The rest of it, once its worker has ended.
    void CompleteStop();
    // Stops at the head of the queue whose workers have ended are completed.
    void AdvanceStops();

    CAssistantDlg& owner;
    CSerialTest tests[assistant::kPorts];
    bool underTest[assistant::kPorts] = {};
    // Its worker's end message has come: everything it posted before has been handled.
    bool workerEnded[assistant::kPorts] = {};
    std::deque<int> stops;
    bool stopBegun = false;
};
