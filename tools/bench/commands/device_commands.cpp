#include "commands/device_commands.h"

#include <msports.h>

#include <ostream>
#include <string>
#include <vector>

#include "km/io_strings.h"
#include "pnp/com_database.h"
#include "pnp/device_installer.h"
#include "registry/registry_store.h"
#include "script_values.h"
#include "um/um_status.h"

namespace bench {

namespace {

using namespace std::string_view_literals;

// The database opened as msports' callers open it, closed on every way out.
class Database {
public:
    Database()
    {
        if (ComDBOpen(&handle_) != ERROR_SUCCESS) throw CommandError("the COM-port database did not open");
    }
    ~Database() { ComDBClose(handle_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    HCOMDB Get() const { return handle_; }

private:
    HCOMDB handle_ = HCOMDB_INVALID_HANDLE_VALUE;
};

void Check(LONG result, const std::string& what)
{
    if (result != ERROR_SUCCESS) throw CommandError(what + ": " + winsim::FormatWin32Error(static_cast<DWORD>(result)));
}

void PrintClaimed(std::ostream& out)
{
    Database db;
    DWORD size = 0;
    Check(ComDBGetCurrentPortUsage(db.Get(), nullptr, 0, CDB_REPORT_BYTES, &size), "comdb");
    std::vector<BYTE> usage(size);
    Check(ComDBGetCurrentPortUsage(db.Get(), usage.data(), size, CDB_REPORT_BYTES, &size), "comdb");
    std::string list;
    for (DWORD i = 0; i < size; ++i) {
        if (usage[i] != 0) list += (list.empty() ? "" : ",") + std::to_string(i + 1);
    }
    out << "comdb claimed " << (list.empty() ? "none" : list) << '\n';
}

ULONG ComNumberOf(const std::string& name)
{
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) throw CommandError("a port name is COMn, not " + name);
    return static_cast<ULONG>(ParseNumber(name.substr(3), COMDB_MAX_PORTS_ARBITRATED));
}

// A board's own serial port as the ACPI enumerator reports it, installed
// by the ports class installer with the COM name it asked for.
void AddSerialPort(const std::string& portName, const std::string& description)
{
    const ULONG number = ComNumberOf(portName);
    if (!winsim::pnp::ComDatabase::Claim(number)) throw CommandError(portName + " is claimed already");
    winsim::registry::Store& store = winsim::registry::Store::Instance();
    const std::u16string deviceKey = winsim::pnp::InstanceKeyPath(u"ACPI\\PNP0501");
    ULONG instance = 1;
    while (store.Exists(deviceKey + u"\\" + winsim::io::FromAscii(std::to_string(instance)))) ++instance;
    const std::u16string key = deviceKey + u"\\" + winsim::io::FromAscii(std::to_string(instance));
    const std::u16string_view ids = u"ACPI\\PNP0501\0*PNP0501\0\0"sv;
    const auto* bytes = reinterpret_cast<const UCHAR*>(ids.data());
    store.SetValue(key, u"HardwareID", REG_MULTI_SZ, std::vector<UCHAR>(bytes, bytes + ids.size() * 2));
    store.SetString(key, u"Service", u"Serial");
    store.SetString(key, u"Class", u"Ports");
    store.SetString(key, u"ClassGUID", winsim::pnp::kPortsClassGuid);
    store.SetString(key, u"FriendlyName", winsim::io::FromAscii(description));
    store.SetString(key + u"\\Device Parameters", u"PortName", winsim::io::FromAscii(portName));
}

}  // namespace

void RunComDb(Session& session, const Args& args)
{
    if (args.empty()) {
        PrintClaimed(session.Out());
        return;
    }
    if (args.size() != 2 || (args[0] != "claim" && args[0] != "release")) {
        throw CommandError("usage: comdb [claim|release N]");
    }
    const DWORD number = static_cast<DWORD>(ParseNumber(args[1], 0xFFFFFFFFu));
    Database db;
    if (args[0] == "claim") {
        Check(ComDBClaimPort(db.Get(), number, FALSE, nullptr), "comdb claim " + args[1]);
    } else {
        Check(ComDBReleasePort(db.Get(), number), "comdb release " + args[1]);
    }
}

void RunSerialPort(Session& session, const Args& args)
{
    (void)session;
    if (args.size() != 3 || args[0] != "add") throw CommandError("usage: serialport add COMn \"DESCRIPTION\"");
    AddSerialPort(args[1], Unquote(args[2]));
}

}  // namespace bench
