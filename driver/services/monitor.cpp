#include "services/monitor.h"

VOID MonitorAdd(AdapterExtension* extension, ULONG port, ULONG kind, const UCHAR* payload, ULONG length)
{
    // The monitor ring arrives with the diagnostics services; until then
    // the data paths' records go nowhere.
    UNREFERENCED_PARAMETER(extension);
    UNREFERENCED_PARAMETER(port);
    UNREFERENCED_PARAMETER(kind);
    UNREFERENCED_PARAMETER(payload);
    UNREFERENCED_PARAMETER(length);
}
