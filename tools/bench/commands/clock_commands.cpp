#include "commands/clock_commands.h"

#include <cstdio>

#include "script_values.h"
#include "um/local_clock.h"

namespace bench {

winsim::um::FileTimeValue ParseLocalTime(const std::string& date, const std::string& time, bool withSeconds)
{
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int used = 0;
    const bool dateRead = std::sscanf(date.c_str(), "%4u-%2u-%2u%n", &year, &month, &day, &used) == 3 &&
                          used == static_cast<int>(date.size()) && date.size() == 10;
    const bool timeRead =
        withSeconds ? std::sscanf(time.c_str(), "%2u:%2u:%2u%n", &hour, &minute, &second, &used) == 3
                    : std::sscanf(time.c_str(), "%2u:%2u%n", &hour, &minute, &used) == 2;
    if (!dateRead || !timeRead || used != static_cast<int>(time.size()) || time.size() != (withSeconds ? 8u : 5u)) {
        throw CommandError("a time is YYYY-MM-DD HH:MM" + std::string(withSeconds ? ":SS" : "") + ", not " + date +
                           " " + time);
    }
    const SYSTEMTIME local{static_cast<WORD>(year),   static_cast<WORD>(month),  0, static_cast<WORD>(day),
                           static_cast<WORD>(hour),   static_cast<WORD>(minute), static_cast<WORD>(second), 0};
    winsim::um::FileTimeValue value;
    if (!winsim::um::ValueOfDate(local, &value)) throw CommandError("no such time: " + date + " " + time);
    return value;
}

void RunClock(Session& session, const Args& args)
{
    (void)session;
    if (args.size() != 3 || args[0] != "set") throw CommandError("usage: clock set YYYY-MM-DD HH:MM:SS");
    winsim::um::SetLocalNow(ParseLocalTime(args[1], args[2], true));
}

}  // namespace bench
