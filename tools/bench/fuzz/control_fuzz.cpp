// Control requests from anyone: with one adapter plugged, the input is a
// series of requests (code, lengths, input bytes) sent to \\.\QTR84PR0.
// Whatever they hold, the driver answers each one without crashing,
// leaking or tripping the verifier.
//
// One bench machine serves every input, and the adapter stays plugged
// between inputs: after an input its handle is closed, the monitor stopped
// and emptied, the event log and the debug log drained and loopback turned
// off, so the next input meets the adapter as the first one did; nothing
// the input made may then be left in the pool. An input that applied a
// configuration table (registry written, adapter restarted), or after which
// the adapter no longer answers, gets the adapter unplugged instead, is
// checked for leaks then, and the registry goes back to what it was before
// the first plug before the adapter is plugged again.
//
// Each request: one selector byte (high bit set: a raw 32-bit code follows;
// else the low bits pick one of the adapter's codes 0xB10..0xB1D), the input
// and output lengths (16 bits each, little-endian), then up to the input
// length of bytes for the input buffer (the rest is zero).
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/control_codes.h"
#include "km/debug_log.h"
#include "reused_session.h"
#include "tools/fuzz/shared_machine_flags.h"
#include "verifier/pool.h"

namespace {

constexpr size_t kMaxRequests = 16;
constexpr uint32_t kMaxBuffer = 4096;

struct Reader {
    const uint8_t* data;
    size_t size;

    bool Take(void* out, size_t bytes)
    {
        if (size < bytes) return false;
        std::memcpy(out, data, bytes);
        data += bytes;
        size -= bytes;
        return true;
    }
};

class ControlBench {
public:
    ControlBench()
    {
        // The first plug programs the adapter's flash and makes what the
        // driver keeps for its life; an input's leak check starts after it.
        Plug();
        CloseHandle(Open());
        Unplug();
        Plug();
        if (!BringBack(Open())) __builtin_trap();
    }

    // The device for an input, and where its leak check starts.
    HANDLE BeginInput()
    {
        mark_ = winsim::Pool::Mark();
        restarts_ = Adapter().Restarts();
        return Open();
    }

    void Wait() { reused_.Bench().RunLine("wait 1ms"); }

    // Ends an input: the adapter as the input found it or, when it restarted
    // (an applied configuration table restarts it, having written the
    // registry) or does not answer, unplugged. Traps when anything the input
    // made is left in the pool. Closes the device.
    void EndInput(HANDLE device)
    {
        reused_.Bench().Machine().RunUntilQuiet();
        const bool restarted = Adapter().Restarts() != restarts_;
        const bool back = !restarted && BringBack(device);
        if (restarted) CloseHandle(device);
        if (!back) Unplug();
        if (!winsim::Pool::LeaksSince(mark_).empty()) __builtin_trap();
        if (!back) {
            Plug();
            if (!BringBack(Open())) __builtin_trap();
        }
    }

private:
    HANDLE Open() const
    {
        HANDLE device = CreateFileA(QTR_CONTROL_DEVICE_PATH_PREFIX "0", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE) __builtin_trap();  // the adapter must be there to be tested
        return device;
    }

    winsim::hw::Microcontroller& Adapter() { return *reused_.Bench().Machine().Adapters().at("A1").microcontroller; }

    void Plug() { reused_.Bench().RunLine("plug A1"); }

    void Unplug()
    {
        reused_.Bench().RunLine("unplug A1");
        reused_.Bench().Machine().Sim().Pnp().ForgetDeletedNodes();
        reused_.Reset();
    }

    // Monitor off and empty, event log drained, loopback off, the device
    // closed. False when the adapter did not answer all of it.
    bool BringBack(HANDLE device)
    {
        const LoopbackRequest loopbackOff{0, 0, 0};
        const bool answered =
            Send(device, IOCTL_TMAN_APP_STOP_MONITOR, nullptr, 0) &&
            Send(device, IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK, &loopbackOff, sizeof(loopbackOff)) &&
            Drain(device, IOCTL_TMAN_APP_GET_NEXT_MONITOR) && Drain(device, IOCTL_TMAN_APP_GET_NEXT_EVENT);
        CloseHandle(device);
        reused_.Bench().Machine().RunUntilQuiet();
        winsim::TakeDebugLog();
        return answered;
    }

    bool Send(HANDLE device, DWORD code, const void* input, DWORD inputLength, DWORD* bytes = nullptr)
    {
        DWORD returned = 0;
        const BOOL ok = DeviceIoControl(device, code, const_cast<void*>(input), inputLength, drain_.data(),
                                        static_cast<DWORD>(drain_.size()), &returned, nullptr);
        if (bytes != nullptr) *bytes = returned;
        return ok != FALSE;
    }

    // Fetches until nothing is left; each fetch consumes what it returns.
    bool Drain(HANDLE device, DWORD code)
    {
        DWORD bytes = 0;
        do {
            if (!Send(device, code, nullptr, 0, &bytes)) return false;
        } while (bytes != 0);
        return true;
    }

    bench::ReusedSession reused_;
    winsim::PoolMark mark_;
    ULONG restarts_ = 0;
    std::vector<uint8_t> drain_ = std::vector<uint8_t>(kMaxBuffer);
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qtr_fuzz::UseSharedMachineFlags(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 16384) return 0;
    static ControlBench bench;
    HANDLE device = bench.BeginInput();

    Reader reader{data, size};
    std::vector<uint8_t> input(kMaxBuffer);
    std::vector<uint8_t> output(kMaxBuffer);
    for (size_t n = 0; n < kMaxRequests; ++n) {
        uint8_t selector = 0;
        uint16_t inputLength = 0;
        uint16_t outputLength = 0;
        uint32_t code = 0;
        if (!reader.Take(&selector, 1)) break;
        if ((selector & 0x80) != 0) {
            if (!reader.Take(&code, sizeof(code))) break;
        } else {
            code = MakeAdapterControlCode(0xB10 + selector % 14);
        }
        if (!reader.Take(&inputLength, sizeof(inputLength)) || !reader.Take(&outputLength, sizeof(outputLength))) {
            break;
        }
        inputLength = static_cast<uint16_t>(inputLength % (kMaxBuffer + 1));
        outputLength = static_cast<uint16_t>(outputLength % (kMaxBuffer + 1));
        std::fill(input.begin(), input.end(), 0);
        const size_t given = std::min<size_t>(inputLength, reader.size);
        reader.Take(input.data(), given);
        DWORD bytes = 0;
        const BOOL ok = DeviceIoControl(device, code, input.data(), inputLength, output.data(), outputLength, &bytes,
                                        nullptr);
        // Nothing beyond the caller's buffer is ever claimed as returned.
        if (ok && outputLength != 0 && bytes > outputLength) __builtin_trap();
        bench.Wait();
    }
    bench.EndInput(device);
    return 0;
}
