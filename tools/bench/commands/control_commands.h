// Commands that send the control device's requests, as the Assistant does.
#pragma once

#include "bench_session.h"
#include "common/device_tables.h"

namespace bench {

// The device info table from the first control device that opens; count 0
// when none does.
DeviceInfoTable ReadDeviceInfoTable();
// info: the device info table from the first control device that opens.
void RunInfo(Session& session, const Args& args);
// config: the configuration table.
void RunConfig(Session& session, const Args& args);
// setconfig K J FIELD=VALUE...: changes one port (or, with J "-", the
// adapter) of record K and sends the table back with the record marked.
void RunSetConfig(Session& session, const Args& args);
// fwversion [N]: the firmware text of adapter N.
void RunFirmwareVersion(Session& session, const Args& args);
// loopback SLOT on|off
void RunLoopback(Session& session, const Args& args);
// monitor start|stop|fetch
void RunMonitor(Session& session, const Args& args);
// events: one fetch of the driver's event log.
void RunEvents(Session& session, const Args& args);
// ioctl N CODE INLEN OUTLEN: any request with zeroed buffers.
void RunIoctl(Session& session, const Args& args);

}  // namespace bench
