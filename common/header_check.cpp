// Compiles every shared header together under the kernel's flags, so a
// header that drags in something the driver cannot use fails the build.
#include "common/control_codes.h"
#include "common/device_tables.h"
#include "common/event_records.h"
#include "common/firmware_protocol.h"
#include "common/guids.h"
#include "common/message_wire.h"
#include "common/monitor_record.h"
#include "common/port_registers.h"
#include "common/port_service_table.h"
#include "common/usb_ids.h"
