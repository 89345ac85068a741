// Hostile registry contents for the two registry scans: the library's scan
// of "portname" values under Enum (platforms outside the NT family) and the
// Assistant's COM port scan of the Ports class. Whatever values (any type,
// any length) and however deep the keys, both finish, stay inside their
// buffers and free what they took.
//
// One machine serves every input; its registry goes back to the booted
// machine's after each. The scans run in a windowed program, the Assistant,
// as they do on Windows: what the library prints there reaches no console.
//
// The input is a series of records:
//   byte 0: bits 0-1 the tree (0, 1: under Enum for the legacy scan; 2, 3: a
//           Ports-class instance under Enum\ROOT\PORTS), bits 2-7 the depth
//           below it (0 to 62, each level named by one more input byte, 0
//           naming "Device Parameters"; 63: a chain of 300 keys);
//   byte 1: bits 0-2 the value name, bits 3-5 its type;
//   bytes 2-3: the data's length (little-endian, at most 1024), then the data.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cl84prreg64.h"
#include "km/io_strings.h"
#include "machine/machine.h"
#include "port_name_list.h"
#include "registry/registry_store.h"
#include "um/platform_version.h"
#include "um/um_process.h"

namespace {

constexpr size_t kMaxRecords = 64;
constexpr size_t kMaxData = 1024;
constexpr size_t kDeepChain = 300;
const char16_t* const kNames[] = {u"portname", u"PortName", u"FriendlyName", u"ClassGUID",
                                  u"HardwareID", u"Driver", u"", u"Other"};
constexpr ULONG kTypes[] = {REG_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_NONE, REG_EXPAND_SZ, REG_SZ, 11};

struct Reader {
    const uint8_t* data;
    size_t size;
    bool Take(void* out, size_t bytes)
    {
        if (size < bytes) return false;
        if (bytes != 0) std::memcpy(out, data, bytes);
        data += bytes;
        size -= bytes;
        return true;
    }
};

std::u16string Component(uint8_t byte)
{
    if (byte == 0) return u"Device Parameters";
    char text[8];
    std::snprintf(text, sizeof text, "k%02x", byte);
    return winsim::io::FromAscii(text);
}

bool ApplyRecord(Reader& reader)
{
    uint8_t selector = 0;
    uint8_t value = 0;
    uint16_t length = 0;
    if (!reader.Take(&selector, 1)) return false;
    const bool ports = (selector & 2) != 0;
    std::u16string path = u"\\Registry\\Machine\\";
    if (ports) {
        path += u"System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\" + Component(selector & 1);
        winsim::registry::Store::Instance().SetString(path, u"ClassGUID",
                                                      u"{4D36E978-E325-11CE-BFC1-08002BE10318}");
    } else {
        path += u"Enum\\F" + Component(selector & 1);
    }
    const bool chain = (selector >> 2) == 63;
    const size_t depth = chain ? kDeepChain : selector >> 2;
    for (size_t level = 0; level < depth; ++level) {
        uint8_t name = 1;
        if (!chain && !reader.Take(&name, 1)) return false;
        path += u"\\" + Component(name);
    }
    if (!reader.Take(&value, 1) || !reader.Take(&length, 2)) return false;
    length = static_cast<uint16_t>(length % (kMaxData + 1));
    std::vector<UCHAR> data(length);
    if (!reader.Take(data.data(), data.size())) return false;
    winsim::registry::Store::Instance().SetValue(path, kNames[value & 7], kTypes[(value >> 3) & 7], data);
    return true;
}

// The Assistant's process, ended before the machine stops, which waits for
// every program. It is current only while an input's scans run: a thread's
// current process must not outlive the thread's own storage at exit.
class AssistantProcess {
public:
    AssistantProcess()
        : process_(winsim::um::CreateProcessRecord("qtr84px1asst64", nullptr,
                                                   "C:\\Program Files\\qtr84px1asst64.exe"))
    {
    }
    ~AssistantProcess() { process_->End(0); }
    AssistantProcess(const AssistantProcess&) = delete;
    AssistantProcess& operator=(const AssistantProcess&) = delete;

    void Enter() { winsim::um::SetCurrentProcess(process_); }
    static void Leave() { winsim::um::SetCurrentProcess(nullptr); }

private:
    std::shared_ptr<winsim::um::Process> process_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65536) return 0;
    static winsim::Machine machine;
    static AssistantProcess assistant;
    static const winsim::registry::KeyRef booted = winsim::registry::Store::Instance().Snapshot();
    Reader reader{data, size};
    for (size_t n = 0; n < kMaxRecords && ApplyRecord(reader); ++n) {
    }

    assistant.Enter();
    winsim::um::SetPlatformVersion(winsim::um::PlatformVersion::kWin9x);
    std::vector<BYTE> ports(256, 0xAA);
    if (fnGetPortsInUse(ports.data(), static_cast<unsigned>(ports.size())) > 100) __builtin_trap();
    for (size_t i = 100; i < ports.size(); ++i) {
        if (ports[i] != 0) __builtin_trap();  // beyond COM99: never marked
    }

    winsim::um::SetPlatformVersion(winsim::um::PlatformVersion::kNt61);
    PortNameList* list = BuildPortNameList();
    if (list == nullptr) __builtin_trap();
    for (int i = 0; i < list->count; ++i) {
        const PortNameEntry& entry = list->entries[i];
        if (strnlen(entry.portName, sizeof entry.portName) == sizeof entry.portName) __builtin_trap();
        if (strnlen(entry.description, sizeof entry.description) == sizeof entry.description) __builtin_trap();
    }
    FreePortNameList(list);
    if (winsim::um::CurrentProcess().LocalBlocks() != 0) __builtin_trap();
    AssistantProcess::Leave();
    winsim::registry::Store::Instance().Restore(booted);
    return 0;
}
