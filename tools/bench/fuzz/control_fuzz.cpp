// Control requests from anyone: with one adapter plugged, the input is a
// series of requests (code, lengths, input bytes) sent to \\.\QTR84PR0.
// Whatever they hold, the driver answers each one without crashing,
// leaking or tripping the verifier.
//
// One bench machine serves every input: the adapter is plugged for the
// input and unplugged after it, when nothing it made may be left in the
// pool; the registry then goes back to what it was before the first plug.
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
        CloseHandle(Plug());
        Unplug();
    }

    HANDLE Plug()
    {
        reused_.Bench().RunLine("plug A1");
        HANDLE device = CreateFileA(QTR_CONTROL_DEVICE_PATH_PREFIX "0", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE) __builtin_trap();  // the adapter must be there to be tested
        return device;
    }

    void Unplug()
    {
        reused_.Bench().RunLine("unplug A1");
        reused_.Bench().Machine().Sim().Pnp().ForgetDeletedNodes();
        reused_.Reset();
    }

    void Wait() { reused_.Bench().RunLine("wait 1ms"); }

private:
    bench::ReusedSession reused_;
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
    const winsim::PoolMark mark = winsim::Pool::Mark();
    HANDLE device = bench.Plug();

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
    CloseHandle(device);
    bench.Unplug();
    if (!winsim::Pool::LeaksSince(mark).empty()) __builtin_trap();
    return 0;
}
