// IRP allocation, reuse and release, and the table of IRP records.
#include <km_ex.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "km/io_irp_record.h"
#include "km/io_objects.h"
#include "km/io_pool_tags.h"
#include "km/io_verifier_rules.h"

namespace winsim::io {

namespace {

// Freed IRPs are remembered for a while so that a late completion is caught
// rather than touching freed memory.
constexpr size_t kRememberedFreedIrps = 1024;

struct IrpTable {
    ShortLock lock;
    std::unordered_map<const IRP*, IrpRecord> records;
    std::deque<const IRP*> freed;
    ULONG64 nextSerial = 1;
};

IrpTable& Table()
{
    static IrpTable table;
    return table;
}

void InitializeIrp(PIRP irp, CCHAR stackSize, UCHAR allocationFlags)
{
    std::memset(irp, 0, IoSizeOfIrp(stackSize));
    irp->Type = kIoTypeIrp;
    irp->Size = IoSizeOfIrp(stackSize);
    irp->StackCount = stackSize;
    irp->CurrentLocation = static_cast<CHAR>(stackSize + 1);
    irp->AllocationFlags = allocationFlags;
    irp->ThreadListEntry.Flink = irp->ThreadListEntry.Blink = &irp->ThreadListEntry;
    irp->Tail.Overlay.CurrentStackLocation = reinterpret_cast<PIO_STACK_LOCATION>(irp + 1) + stackSize;
}

// Keeps the record's vectors and their storage: an address the pool hands
// out again (most IRPs) then costs the record no allocation.
void ResetRecordLocked(IrpRecord& record, CCHAR stackSize)
{
    record.state = IrpState::kIdle;
    record.referencesFile = false;
    record.referencesEvent = false;
    record.outputLength = 0;
    const auto locations = static_cast<size_t>(stackSize);
    record.devices.assign(locations, nullptr);
    // Only locations up to the stack size are ever looked at.
    if (record.calls.size() < locations) record.calls.resize(locations);
    for (std::vector<DispatchCall>& calls : record.calls) calls.clear();
}

}  // namespace

ShortLock& IrpTableLock() { return Table().lock; }

void ReportIrpViolation(ViolationCode code, const char* rule, PIRP irp, PDEVICE_OBJECT device, const std::string& more)
{
    char text[48];
    std::snprintf(text, sizeof text, "IRP %p", static_cast<void*>(irp));
    std::string detail = text;
    if (device != nullptr) detail += " at " + DescribeDevice(device);
    if (!more.empty()) detail += ": " + more;
    Verifier::Violation(code, rule, detail.c_str());
}

std::string StatusText(NTSTATUS status)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(status));
    return text;
}

IrpRecord* FindIrpLocked(const IRP* irp)
{
    auto it = Table().records.find(irp);
    if (it == Table().records.end() || it->second.state == IrpState::kFreed) return nullptr;
    return &it->second;
}

bool WasFreedLocked(const IRP* irp)
{
    auto it = Table().records.find(irp);
    return it != Table().records.end() && it->second.state == IrpState::kFreed;
}

bool InFlightLocked(const IrpRecord& record)
{
    if (record.state == IrpState::kCompleting) return true;
    for (PDEVICE_OBJECT device : record.devices) {
        if (device != nullptr) return true;
    }
    return false;
}

PIRP AllocateIrp(CCHAR stackSize, bool mustSucceed)
{
    if (stackSize < 1) return nullptr;
    auto* irp = static_cast<PIRP>(
        ExAllocatePoolWithTag(mustSucceed ? NonPagedPoolMustSucceed : NonPagedPoolNx, IoSizeOfIrp(stackSize), kTagIrp));
    if (irp == nullptr) return nullptr;
    InitializeIrp(irp, stackSize, 0);
    IrpTable& table = Table();
    std::lock_guard lk(table.lock);
    IrpRecord& record = table.records[irp];
    record.serial = table.nextSerial++;
    record.generation = 0;
    ResetRecordLocked(record, stackSize);
    return irp;
}

void ReleaseIrp(PIRP irp)
{
    IrpTable& table = Table();
    {
        std::lock_guard lk(table.lock);
        auto it = table.records.find(irp);
        if (it != table.records.end()) {
            ResetRecordLocked(it->second, 0);
            it->second.serial = 0;
            it->second.generation = 0;
            it->second.state = IrpState::kFreed;
            table.freed.push_back(irp);
            if (table.freed.size() > kRememberedFreedIrps) {
                auto old = table.records.find(table.freed.front());
                if (old != table.records.end() && old->second.state == IrpState::kFreed) table.records.erase(old);
                table.freed.pop_front();
            }
        }
    }
    ExFreePoolWithTag(irp, kTagIrp);
}

}  // namespace winsim::io

using namespace winsim::io;

extern "C" {

USHORT IoSizeOfIrp(CCHAR stackSize)
{
    return static_cast<USHORT>(sizeof(IRP) + static_cast<size_t>(stackSize) * sizeof(IO_STACK_LOCATION));
}

PIRP IoAllocateIrp(CCHAR stackSize, BOOLEAN chargeQuota)
{
    UNREFERENCED_PARAMETER(chargeQuota);
    return AllocateIrp(stackSize);
}

VOID IoFreeIrp(PIRP irp)
{
    const char* broken = nullptr;
    {
        std::lock_guard lk(IrpTableLock());
        IrpRecord* record = FindIrpLocked(irp);
        if (record == nullptr) {
            broken = rule::kNotAnIrp;
        } else if (InFlightLocked(*record)) {
            broken = rule::kFreeInFlight;
        }
    }
    if (broken != nullptr) {
        ReportIrpViolation(winsim::ViolationCode::kIoManagerViolation, broken, irp, nullptr, "IoFreeIrp");
        return;
    }
    ReleaseIrp(irp);
}

VOID IoReuseIrp(PIRP irp, NTSTATUS ioStatus)
{
    const char* broken = nullptr;
    {
        std::lock_guard lk(IrpTableLock());
        IrpRecord* record = FindIrpLocked(irp);
        if (record == nullptr) {
            broken = rule::kNotAnIrp;
        } else if (InFlightLocked(*record)) {
            broken = rule::kReuseInFlight;
        } else {
            InitializeIrp(irp, irp->StackCount, irp->AllocationFlags);
            irp->IoStatus.Status = ioStatus;
            ResetRecordLocked(*record, irp->StackCount);
        }
    }
    if (broken != nullptr) ReportIrpViolation(winsim::ViolationCode::kIoManagerViolation, broken, irp, nullptr, "IoReuseIrp");
}

}  // extern "C"
