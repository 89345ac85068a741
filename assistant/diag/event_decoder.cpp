#include "assistant/diag/event_decoder.h"

#include <stdarg.h>
#include <stdio.h>

namespace diag {

namespace {

// Where a row's printed value comes from.
enum class Arg : unsigned char {
    Code,
    Unit,
    Port,
    P0,
    P1,
    P2,
    P3,
    P4,
    P5,
    P1Shr8,
    P1Low8,
    P2Shr16,
    P2Low16,
    P3Shr8,
    P3Low8,
    P2B3,
    P2B2,
    P2B1,
    P2B0,
    P3B3,
    P3B2,
    P3B1,
    P3B0,
    ResetBaud,
    ResetField26,
    ResetField28,
    ResetField30,
    P1High16,
};

// What else a row asks of the record besides its code and sub-code.
enum class When : unsigned char { Always, UnitAllOnes, P4Printable, P4NonZero };

constexpr int kAnySub = -0x7FFFFFFF - 1;
constexpr int kMaxArgs = 8;

struct Row {
    ULONG code;
    int sub;  // param0, or kAnySub
    When when;
    const char* format;
    Arg args[kMaxArgs];
};


// Rows of one code are tried in order; the first that matches is printed.
// Codes 3 (control kinds) and 5 with sub-codes 0 and 2 (data words) are
// decoded by their own functions below.
const Row kRows[] = {
    {1, kAnySub, When::UnitAllOnes, " open (%d/%d)  r/w %d  ret %d  flags %x  count %d",
     {Arg::Unit, Arg::Port, Arg::P0, Arg::P5, Arg::P3, Arg::P4}},
    {1, kAnySub, When::Always, " open (%d/%d)  r/w %d  ret %d", {Arg::Unit, Arg::Port, Arg::P0, Arg::P5}},
    {2, kAnySub, When::Always, " close (%d/%d)  r/w %d  ret %d", {Arg::Unit, Arg::Port, Arg::P0, Arg::P5}},
    {4, 2, When::Always, " serdGetBuf (%d/%d)  len %d  In %d  Out %d",
     {Arg::Unit, Arg::Port, Arg::P1, Arg::P2Shr16, Arg::P2Low16}},
    {4, 8, When::Always, " serdStatus (%d/%d)  MSR %02x  cumErrs %02x", {Arg::Unit, Arg::Port, Arg::P1, Arg::P4}},
    {4, kAnySub, When::Always, " status (%d/%d): %d", {Arg::Unit, Arg::Port, Arg::P0}},
    {5, 1, When::Always, " read/partial (%d/%d) req %d  act %d (%x)",
     {Arg::Unit, Arg::Port, Arg::P1, Arg::P2, Arg::P3}},
    {5, 3, When::Always, " read/partial (%d/%d) req %d  act %d (%x)  wrap",
     {Arg::Unit, Arg::Port, Arg::P1, Arg::P2, Arg::P3}},
    {5, kAnySub, When::Always, " read/unknown (%d/%d) code %d  len %d  p1 %d  p2 %d",
     {Arg::Unit, Arg::Port, Arg::P0, Arg::P1, Arg::P2, Arg::P3}},
    {6, 1, When::P4Printable, " write-cont (%d/%d)  req %d  act %d  ret %d  dur %d  (%02x %c)",
     {Arg::Unit, Arg::Port, Arg::P1, Arg::P2, Arg::P5, Arg::P3, Arg::P4, Arg::P4}},
    {6, 1, When::Always, " write-cont (%d/%d)  req %d  act %d  ret %d  dur %d  (%02x)",
     {Arg::Unit, Arg::Port, Arg::P1, Arg::P2, Arg::P5, Arg::P3, Arg::P4}},
    {6, 2, When::Always, " TBE, no ioPB (%d/%d)", {Arg::Unit, Arg::Port}},
    {6, 3, When::Always, " write/wait (%d/%d)  req %d  (%02x)", {Arg::Unit, Arg::Port, Arg::P1, Arg::P4}},
    {6, kAnySub, When::P4Printable, " write (%d/%d)  req %d  ret %d  (%02x %c)",
     {Arg::Unit, Arg::Port, Arg::P1, Arg::P5, Arg::P4, Arg::P4}},
    {6, kAnySub, When::Always, " write (%d/%d)  req %d  ret %d  (%02x)",
     {Arg::Unit, Arg::Port, Arg::P1, Arg::P5, Arg::P4}},
    {7, kAnySub, When::Always, " RX data (%d/%d)  avl %d  dir %d  buf %d  data %08x  C %d",
     {Arg::Unit, Arg::Port, Arg::P1, Arg::P2, Arg::P3, Arg::P4, Arg::P0}},
    {8, 1, When::Always, " RX read flowCtrl done (%d/%d)", {Arg::Unit, Arg::Port}},
    {8, kAnySub, When::Always, " RX read flowCtrl cont (%d/%d)", {Arg::Unit, Arg::Port}},
    {9, 0, When::Always, " writeCompl - no pb! (%d/%d) ack len %d", {Arg::Unit, Arg::Port, Arg::P1}},
    {9, 1, When::Always, " writeCompl (%d/%d) ack len %d", {Arg::Unit, Arg::Port, Arg::P1}},
    {9, 2, When::Always, " writeCompl (%d/%d) - not complete!", {Arg::Unit, Arg::Port}},
    {9, kAnySub, When::Always, " writeCompl (%d/%d) - unknown %d", {Arg::Unit, Arg::Port, Arg::P0}},
    {10, 7, When::Always, " Initialize (%d/%d)  refnum %d  ret %d  flags %x  count %d",
     {Arg::Unit, Arg::Port, Arg::P2, Arg::P5, Arg::P3, Arg::P4}},
    {10, 8, When::Always, " Finalize (%d/%d)  refnum %d", {Arg::Unit, Arg::Port, Arg::P2}},
    {10, 9, When::Always, " Replace (%d/%d)  refnum %d  flags %x  count %d",
     {Arg::Unit, Arg::Port, Arg::P2, Arg::P3, Arg::P4}},
    {10, 10, When::Always, " Superseded (%d/%d)  refnum %d", {Arg::Unit, Arg::Port, Arg::P2}},
    {10, kAnySub, When::Always, " evtInit (%d/%d)  unknown code %d  refnum %d",
     {Arg::Unit, Arg::Port, Arg::P0, Arg::P2}},
    {11, kAnySub, When::Always, " charErr (%d/%d)  LSR %02x  ch %02x", {Arg::Unit, Arg::Port, Arg::P0, Arg::P2}},
    {12, kAnySub, When::P4NonZero,
     " StatusMsg (%d/%d)  0x%02x  cts %d dcd %d txC %d  dLost %d  rBrk %d  CLOSING",
     {Arg::Unit, Arg::Port, Arg::P0, Arg::P1Shr8, Arg::P1Low8, Arg::P2, Arg::P3Shr8, Arg::P3Low8}},
    {12, kAnySub, When::Always, " StatusMsg (%d/%d)  0x%02x  cts %d dcd %d txC %d  dLost %d  rBrk %d",
     {Arg::Unit, Arg::Port, Arg::P0, Arg::P1Shr8, Arg::P1Low8, Arg::P2, Arg::P3Shr8, Arg::P3Low8}},
    {13, kAnySub, When::Always, " sendConfig (%d/%d)  pending %d  ret %d  rD %d  p2 %d",
     {Arg::Unit, Arg::Port, Arg::P0, Arg::P5, Arg::P2, Arg::P3}},
    {14, kAnySub, When::Always, " sendData (%d/%d)  len %d  txC %d  Out %d  ret %d",
     {Arg::Unit, Arg::Port, Arg::P1, Arg::P2, Arg::P3, Arg::P5}},
    {15, kAnySub, When::Always, " sendDataCompl (%d/%d)  Out %d  ret %d", {Arg::Unit, Arg::Port, Arg::P3, Arg::P5}},
    {16, kAnySub, When::Always, " inDataCompl (%d/%d)  seq %d  level %d", {Arg::Unit, Arg::Port, Arg::P0, Arg::P2}},
    {17, 0, When::Always, " evtLoader port (%d/%d) HighestUnitNumber %d", {Arg::Unit, Arg::Port, Arg::P2}},
    {17, 1, When::Always, " evtLoader port (%d/%d) unitTblFullErr", {Arg::Unit, Arg::Port}},
    {17, kAnySub, When::Always, " evtLoader port (%d/%d) unknown code %d", {Arg::Unit, Arg::Port, Arg::P0}},
    {18, kAnySub, When::Always, " evtLoadError (%d/%d)  err %d  at %d", {Arg::Unit, Arg::Port, Arg::P5, Arg::P0}},
    {19, kAnySub, When::Always, " sendConfigCompl (%d/%d)  ret %d", {Arg::Unit, Arg::Port, Arg::P5}},
    {20, kAnySub, When::Always, " SendXchar (%d/%d) 0x%02x", {Arg::Unit, Arg::Port, Arg::P0}},
    {21, kAnySub, When::Always, " INTR (%d/%d)  ISR %x  count %d  %x", {Arg::Unit, Arg::Port, Arg::P0, Arg::P2, Arg::P3}},
    {22, kAnySub, When::Always, " globDebug (n = 0x%x  b = 0x%x)", {Arg::Unit, Arg::Port}},
    {23, kAnySub, When::Always, " lengthError  act %d  req %d  (%d)", {Arg::Unit, Arg::Port, Arg::P0}},
    {24, kAnySub, When::Always, "   thePortCtrl baud (%d %d %d) par %d cts %d xon %d rts %d dtr %d",
     {Arg::P2B3, Arg::P2B2, Arg::P2B1, Arg::P2B0, Arg::P3B3, Arg::P3B2, Arg::P3B1, Arg::P3B0}},
    {26, kAnySub, When::Always, " evtPostTimeFunc (%d/%d)  err %d  func %d  delta %d  n %d",
     {Arg::Unit, Arg::Port, Arg::P5, Arg::P0, Arg::P2, Arg::P3}},
    {27, kAnySub, When::Always, " evtCheckTimeFunc (%d/%d)  err %d  func %d  n %d  left %d",
     {Arg::Unit, Arg::Port, Arg::P5, Arg::P0, Arg::P3, Arg::P4}},
    {28, kAnySub, When::Always, " OpenEndpoints (%d/%d)  ret %d  at %d  with %d",
     {Arg::Unit, Arg::Port, Arg::P5, Arg::P2, Arg::P3}},
    {29, kAnySub, When::Always, " CloseEndpoints (%d/%d)  ret %d  at %d", {Arg::Unit, Arg::Port, Arg::P5, Arg::P2}},
    {30, kAnySub, When::Always, " inDataComplErr (%d/%d)  ret %d  at %d", {Arg::Unit, Arg::Port, Arg::P5, Arg::P2}},
    {31, kAnySub, When::Always, " inTxAckComplErr (%d/%d)  ret %d  at %d  (%d)",
     {Arg::Unit, Arg::Port, Arg::P5, Arg::P0, Arg::P2}},
    {32, kAnySub, When::Always, " inStatusComplErr (%d/%d)  ret %d  at %d", {Arg::Unit, Arg::Port, Arg::P5, Arg::P2}},
    {33, kAnySub, When::Always, " globStatus (p %x  sendGlobalStatus %x  resetStatusCount %x  p1 %d)",
     {Arg::Unit, Arg::Port, Arg::P0, Arg::P2}},
    {36, kAnySub, When::Always, " USBNotify %d (%d %d %d)", {Arg::Unit, Arg::Port, Arg::P5, Arg::P2}},
    {37, kAnySub, When::Always, " AbortPipe %d  ret %d", {Arg::Unit, Arg::P0}},
    {38, kAnySub, When::Always, " USBDevReq (%d/%d) code %d  ret %d", {Arg::Unit, Arg::Port, Arg::P0, Arg::P5}},
    {39, kAnySub, When::Always, " evtPipeReadImmedError (%d/%d)  err %d  at %d",
     {Arg::Unit, Arg::Port, Arg::P5, Arg::P0}},
    {40, kAnySub, When::Always, " openComplete (%d/%d)  %d", {Arg::Unit, Arg::Port, Arg::P0}},
    {41, kAnySub, When::Always, " closeComplete (%d/%d)  %d", {Arg::Unit, Arg::Port, Arg::P0}},
};

const Row kUnknownRow = {0, kAnySub, When::Always, " unknown %d  port (%d/%d)  code %d  len %d  p1 %d",
                         {Arg::Code, Arg::Unit, Arg::Port, Arg::P0, Arg::P1, Arg::P2}};

// Control requests of the serial layer (code 3), by the control kind in param0.
const Row kControlRows[] = {
    {3, 1, When::Always, " killIO (%d/%d)  readpend %x  writepend %x  r/w %d",
     {Arg::Unit, Arg::Port, Arg::P3, Arg::P2, Arg::P1}},
    {3, 8, When::Always, " Ctrl (%d/%d)  serdReset %d/%d/%d/%d  kind %d  ret %d",
     {Arg::Unit, Arg::Port, Arg::ResetBaud, Arg::ResetField26, Arg::ResetField28, Arg::ResetField30, Arg::P3,
          Arg::P5}},
    {3, 9, When::Always, " Ctrl (%d/%d)  serdSetBuf  kind %d  ret %d", {Arg::Unit, Arg::Port, Arg::P3, Arg::P5}},
    {3, 13, When::Always, " Ctrl (%d/%d)  serdSetBaud   %d  kind %d  ret %d",
     {Arg::Unit, Arg::Port, Arg::P1High16, Arg::P3, Arg::P5}},
    {3, 1001, When::Always, " usbSerialConfig (%d/%d)  ret %d  flags %x  count %d",
     {Arg::Unit, Arg::Port, Arg::P5, Arg::P3, Arg::P4}},
    {3, kAnySub, When::Always, " Ctrl (%d/%d)  %d  [%x %x]  kind %d  ret %d",
     {Arg::Unit, Arg::Port, Arg::P0, Arg::P1, Arg::P2, Arg::P3, Arg::P5}},
};

struct NamedKind {
    int kind;
    const char* name;
};

const NamedKind kNamedKinds[] = {
    {10, "serdHShake"},
    {11, "serdClrBrk"},
    {12, "serdSetBrk"},
    {14, "serdHShakeDTR"},
    {15, "serdSetMIDI"},
    {16, "serdSetMisc"},
    {17, "serdSetDTR"},
    {18, "serdClrDTR"},
    {19, "serdSetPEChar"},
    {20, "serdSetPECharAlternate"},
    {21, "serdSetXOff"},
    {22, "serdClrXOff"},
    {23, "serdSendXOnConditional"},
    {24, "serdSendXOn"},
    {25, "serdSendXOffConditional"},
    {26, "serdSendXOff"},
    {27, "serdChannelReset"},
    {230, "serdSet230KBaud"},
};

int Byte(LONG value, int index)
{
    return static_cast<int>((static_cast<ULONG>(value) >> (8 * index)) & 0xFF);
}

int Value(Arg arg, const EventEntry& e)
{
    // The serdReset word is param1's upper half: divisor code and three 2-bit fields.
    const ULONG resetWord = static_cast<ULONG>(e.param1);
    switch (arg) {
    case Arg::Code: return static_cast<int>(e.code);
    case Arg::Unit: return static_cast<int>(e.unit);
    case Arg::Port: return static_cast<int>(e.port);
    case Arg::P0: return e.param0;
    case Arg::P1: return e.param1;
    case Arg::P2: return e.param2;
    case Arg::P3: return e.param3;
    case Arg::P4: return e.param4;
    case Arg::P5: return e.param5;
    case Arg::P1Shr8: return e.param1 >> 8;
    case Arg::P1Low8: return e.param1 & 0xFF;
    case Arg::P2Shr16: return e.param2 >> 16;
    case Arg::P2Low16: return e.param2 & 0xFFFF;
    case Arg::P3Shr8: return e.param3 >> 8;
    case Arg::P3Low8: return e.param3 & 0xFF;
    case Arg::P2B3: return Byte(e.param2, 3);
    case Arg::P2B2: return Byte(e.param2, 2);
    case Arg::P2B1: return Byte(e.param2, 1);
    case Arg::P2B0: return Byte(e.param2, 0);
    case Arg::P3B3: return Byte(e.param3, 3);
    case Arg::P3B2: return Byte(e.param3, 2);
    case Arg::P3B1: return Byte(e.param3, 1);
    case Arg::P3B0: return Byte(e.param3, 0);
    case Arg::ResetBaud: return 115200 / (static_cast<int>((resetWord >> 16) & 0x3FF) + 2);
    case Arg::ResetField26: return static_cast<int>((resetWord >> 26) & 3);
    case Arg::ResetField28: return static_cast<int>((resetWord >> 28) & 3);
    case Arg::ResetField30: return static_cast<int>(resetWord >> 30);
    case Arg::P1High16: return static_cast<SHORT>(resetWord >> 16);
    }
    return 0;
}

bool Matches(const Row& row, const EventEntry& e)
{
    if (row.sub != kAnySub && row.sub != e.param0) {
        return false;
    }
    switch (row.when) {
    case When::Always: return true;
    case When::UnitAllOnes: return e.unit == 0xFFFFFFFFu;
    case When::P4Printable: return e.param4 >= 32 && e.param4 <= 126;
    case When::P4NonZero: return e.param4 != 0;
    }
    return false;
}

// Appends at `used`; returns the new length, never past the buffer's end.
__attribute__((format(printf, 3, 4))) int Append(char* text, int used, const char* format, ...)
{
    const int room = kEventTextSize - used;
    if (room <= 1) {
        return used;
    }
    va_list args;
    va_start(args, format);
    const int written = vsnprintf(text + used, static_cast<size_t>(room), format, args);
    va_end(args);
    if (written < 0) {
        return used;
    }
    return written >= room ? kEventTextSize - 1 : used + written;
}

int AppendRow(char* text, int used, const Row& row, const EventEntry& e)
{
    int a[kMaxArgs];
    for (int i = 0; i < kMaxArgs; ++i) {
        a[i] = Value(row.args[i], e);
    }
    // printf ignores the values a row's format does not convert.
    return Append(text, used, row.format, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
}

int AppendControl(char* text, int used, const EventEntry& e)
{
    for (const NamedKind& named : kNamedKinds) {
        if (named.kind == e.param0) {
            return Append(text, used, " Ctrl (%d/%d)  %s   %x  %x  kind %d  ret %d", static_cast<int>(e.unit),
                          static_cast<int>(e.port), named.name, e.param1, e.param2, e.param3, e.param5);
        }
    }
    for (const Row& row : kControlRows) {
        if (Matches(row, e)) {
            return AppendRow(text, used, row, e);
        }
    }
    return used;
}

// Read complete (code 5, sub-codes 0 and 2): as many data words as the length needs.
int AppendReadComplete(char* text, int used, const EventEntry& e)
{
    const int len = e.param1;
    const int words = len <= 4 ? 1 : len <= 8 ? 2 : len <= 12 ? 3 : 4;
    const int data[4] = {e.param2, e.param3, e.param4, e.param5};
    used = Append(text, used, " read/complete (%d/%d) len %d (%08x", static_cast<int>(e.unit),
                  static_cast<int>(e.port), len, data[0]);
    for (int i = 1; i < words; ++i) {
        used = Append(text, used, " %08x", data[i]);
    }
    used = Append(text, used, ")");
    return e.param0 == 2 ? Append(text, used, "  wrap") : used;
}

}  // namespace

const char* EventDecoder::Decode(ULONG number, const EventRecord& record)
{
    const EventEntry& e = record.entry;
    if (timeBasePending != 0) {
        timeBase = e.time;
        timeBasePending = 0;
    }
    const ULONGLONG delta = e.time - timeBase;
    // Each part printed as a 32-bit value, however far the record is from the base.
    const int used = Append(text, 0, "%d (%d %d.%03d.%03d):", static_cast<int>(number), static_cast<int>(e.seq),
                            static_cast<int>(static_cast<ULONG>(delta / 10000000)),
                            static_cast<int>((delta / 10000) % 1000), static_cast<int>((delta / 10) % 1000));

    if (e.code == 3) {
        AppendControl(text, used, e);
        return text;
    }
    if (e.code == 5 && (e.param0 == 0 || e.param0 == 2)) {
        AppendReadComplete(text, used, e);
        return text;
    }
    for (const Row& row : kRows) {
        if (row.code == e.code && Matches(row, e)) {
            AppendRow(text, used, row, e);
            return text;
        }
    }
    AppendRow(text, used, kUnknownRow, e);
    return text;
}

}  // namespace diag
