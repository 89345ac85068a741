#include "commands/test_aid_commands.h"

#include "common/event_records.h"
#include "script_values.h"
#include "services/event_log.h"

namespace bench {

namespace {

// The event log has no producer in the product; this posts through the
// driver's own producer function, which stamps time and sequence number.
void PostEvents(const Args& args)
{
    if (args.size() != 10 && args.size() != 11) {
        throw CommandError("usage: testaid postevent CODE UNIT PORT P0 P1 P2 P3 P4 P5 [COUNT]");
    }
    EventEntry event = {};
    event.code = static_cast<uint32_t>(ParseNumber(args[1], 0xFFFFFFFFULL));
    event.unit = static_cast<uint32_t>(ParseNumber(args[2], 0xFFFFFFFFULL));
    event.port = static_cast<uint32_t>(ParseNumber(args[3], 0xFFFFFFFFULL));
    int32_t* params[] = {&event.param0, &event.param1, &event.param2, &event.param3, &event.param4, &event.param5};
    for (size_t i = 0; i < 6; ++i) {
        // Parameters are 32-bit fields: 0xFFFFFFFF is -1.
        *params[i] = static_cast<int32_t>(static_cast<uint32_t>(ParseNumber(args[4 + i], 0xFFFFFFFFULL)));
    }
    if (event.code == 0) throw CommandError("testaid postevent: code 0 marks a free slot");
    const uint64_t count = args.size() == 11 ? ParseNumber(args[10], 100000) : 1;
    for (uint64_t i = 0; i < count; ++i) EventLogPost(event);
}

}  // namespace

void RunTestAid(Session& session, const Args& args)
{
    if (!args.empty() && args[0] == "postevent") {
        PostEvents(args);
        return;
    }
    throw CommandError("usage: testaid postevent CODE UNIT PORT P0 P1 P2 P3 P4 P5 [COUNT]");
}

}  // namespace bench
