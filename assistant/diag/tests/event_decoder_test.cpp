// The event catalogue: every row's line as a support engineer reads it,
// the time prefix and its base.
#include <gtest/gtest.h>

#include <string>

#include "assistant/diag/event_decoder.h"

namespace {

struct Fields {
    ULONG code;
    ULONG unit = 1;
    ULONG port = 2;
    LONG p0 = 0, p1 = 0, p2 = 0, p3 = 0, p4 = 0, p5 = 0;
};

EventRecord Record(const Fields& f, ULONGLONG time = 5000, ULONG seq = 3)
{
    EventRecord record{};
    record.entry = {f.code, f.unit, f.port, f.p0, f.p1, f.p2, f.p3, f.p4, f.p5, 0, time, seq};
    return record;
}

// The row's text after a prefix at time 0 of a fresh base: "7 (3 0.000.000):".
std::string Row(const Fields& f)
{
    diag::EventDecoder decoder;
    const std::string line = decoder.Decode(7, Record(f));
    const std::string prefix = "7 (3 0.000.000):";
    EXPECT_EQ(line.substr(0, prefix.size()), prefix);
    return line.substr(prefix.size());
}

LONG Bits(ULONG value)
{
    return static_cast<LONG>(value);
}

TEST(EventCatalogue, PortOpenAndClose)
{
    EXPECT_EQ(Row({.code = 1, .unit = 0xFFFFFFFF, .p0 = 1, .p3 = 0x1F, .p4 = 5, .p5 = -5}),
              " open (-1/2)  r/w 1  ret -5  flags 1f  count 5");
    EXPECT_EQ(Row({.code = 1, .p0 = 0, .p3 = 0x1F, .p4 = 5, .p5 = 0}), " open (1/2)  r/w 0  ret 0");
    EXPECT_EQ(Row({.code = 2, .p0 = 1, .p5 = 259}), " close (1/2)  r/w 1  ret 259");
}

TEST(EventCatalogue, StatusRequests)
{
    // The In half is an arithmetic shift: a negative word keeps its sign.
    EXPECT_EQ(Row({.code = 4, .p0 = 2, .p1 = 64, .p2 = Bits(0xFFFE0010)}), " serdGetBuf (1/2)  len 64  In -2  Out 16");
    EXPECT_EQ(Row({.code = 4, .p0 = 2, .p1 = 64, .p2 = 0x00030004}), " serdGetBuf (1/2)  len 64  In 3  Out 4");
    EXPECT_EQ(Row({.code = 4, .p0 = 8, .p1 = 0xB0, .p4 = 0x0A}), " serdStatus (1/2)  MSR b0  cumErrs 0a");
    EXPECT_EQ(Row({.code = 4, .p0 = 5}), " status (1/2): 5");
}

TEST(EventCatalogue, ReadCompleteShowsAsManyWordsAsTheLengthNeeds)
{
    EXPECT_EQ(Row({.code = 5, .p0 = 0, .p1 = 4, .p2 = 0x11223344}), " read/complete (1/2) len 4 (11223344)");
    EXPECT_EQ(Row({.code = 5, .p0 = 0, .p1 = -1, .p2 = 0x0A}), " read/complete (1/2) len -1 (0000000a)");
    EXPECT_EQ(Row({.code = 5, .p0 = 0, .p1 = 8, .p2 = 1, .p3 = 2}), " read/complete (1/2) len 8 (00000001 00000002)");
    EXPECT_EQ(Row({.code = 5, .p0 = 0, .p1 = 12, .p2 = 1, .p3 = 2, .p4 = 3}),
              " read/complete (1/2) len 12 (00000001 00000002 00000003)");
    EXPECT_EQ(Row({.code = 5, .p0 = 0, .p1 = 5000, .p2 = 1, .p3 = 2, .p4 = 3, .p5 = -1}),
              " read/complete (1/2) len 5000 (00000001 00000002 00000003 ffffffff)");
    EXPECT_EQ(Row({.code = 5, .p0 = 2, .p1 = 13, .p2 = 1, .p3 = 2, .p4 = 3, .p5 = -1}),
              " read/complete (1/2) len 13 (00000001 00000002 00000003 ffffffff)  wrap");
}

TEST(EventCatalogue, ReadPartialAndUnknownReads)
{
    EXPECT_EQ(Row({.code = 5, .p0 = 1, .p1 = 10, .p2 = 6, .p3 = 0x1234}), " read/partial (1/2) req 10  act 6 (1234)");
    EXPECT_EQ(Row({.code = 5, .p0 = 3, .p1 = 10, .p2 = 6, .p3 = 0x1234}),
              " read/partial (1/2) req 10  act 6 (1234)  wrap");
    EXPECT_EQ(Row({.code = 5, .p0 = 4, .p1 = 1, .p2 = 2, .p3 = 3}), " read/unknown (1/2) code 4  len 1  p1 2  p2 3");
}

TEST(EventCatalogue, WritesShowThePrintableByteAsALetter)
{
    EXPECT_EQ(Row({.code = 6, .p0 = 1, .p1 = 10, .p2 = 9, .p3 = 7, .p4 = 0x41, .p5 = 0}),
              " write-cont (1/2)  req 10  act 9  ret 0  dur 7  (41 A)");
    EXPECT_EQ(Row({.code = 6, .p0 = 1, .p1 = 10, .p2 = 9, .p3 = 7, .p4 = 0x1F, .p5 = 0}),
              " write-cont (1/2)  req 10  act 9  ret 0  dur 7  (1f)");
    EXPECT_EQ(Row({.code = 6, .p0 = 2}), " TBE, no ioPB (1/2)");
    EXPECT_EQ(Row({.code = 6, .p0 = 3, .p1 = 10, .p4 = 0x0D}), " write/wait (1/2)  req 10  (0d)");
    EXPECT_EQ(Row({.code = 6, .p0 = 0, .p1 = 10, .p4 = 0x7E, .p5 = -1}), " write (1/2)  req 10  ret -1  (7e ~)");
    EXPECT_EQ(Row({.code = 6, .p0 = 0, .p1 = 10, .p4 = 0x20, .p5 = -1}), " write (1/2)  req 10  ret -1  (20  )");
    EXPECT_EQ(Row({.code = 6, .p0 = 0, .p1 = 10, .p4 = 0x7F, .p5 = -1}), " write (1/2)  req 10  ret -1  (7f)");
    EXPECT_EQ(Row({.code = 6, .p0 = 9, .p1 = 10, .p4 = 0x1F, .p5 = -1}), " write (1/2)  req 10  ret -1  (1f)");
}

TEST(EventCatalogue, ReceiveAndWriteCompletion)
{
    EXPECT_EQ(Row({.code = 7, .p0 = 3, .p1 = 100, .p2 = 1, .p3 = 512, .p4 = 0x41424344}),
              " RX data (1/2)  avl 100  dir 1  buf 512  data 41424344  C 3");
    EXPECT_EQ(Row({.code = 8, .p0 = 1}), " RX read flowCtrl done (1/2)");
    EXPECT_EQ(Row({.code = 8, .p0 = 0}), " RX read flowCtrl cont (1/2)");
    EXPECT_EQ(Row({.code = 9, .p0 = 0, .p1 = 5}), " writeCompl - no pb! (1/2) ack len 5");
    EXPECT_EQ(Row({.code = 9, .p0 = 1, .p1 = 5}), " writeCompl (1/2) ack len 5");
    EXPECT_EQ(Row({.code = 9, .p0 = 2, .p1 = 5}), " writeCompl (1/2) - not complete!");
    EXPECT_EQ(Row({.code = 9, .p0 = 6, .p1 = 5}), " writeCompl (1/2) - unknown 6");
}

TEST(EventCatalogue, PortInitialisation)
{
    EXPECT_EQ(Row({.code = 10, .p0 = 7, .p2 = 33, .p3 = 0xFF, .p4 = 2, .p5 = 0}),
              " Initialize (1/2)  refnum 33  ret 0  flags ff  count 2");
    EXPECT_EQ(Row({.code = 10, .p0 = 8, .p2 = 33}), " Finalize (1/2)  refnum 33");
    EXPECT_EQ(Row({.code = 10, .p0 = 9, .p2 = 33, .p3 = 0xFF, .p4 = 2}), " Replace (1/2)  refnum 33  flags ff  count 2");
    EXPECT_EQ(Row({.code = 10, .p0 = 10, .p2 = 33}), " Superseded (1/2)  refnum 33");
    EXPECT_EQ(Row({.code = 10, .p0 = 11, .p2 = 33}), " evtInit (1/2)  unknown code 11  refnum 33");
}

TEST(EventCatalogue, AdapterMessages)
{
    EXPECT_EQ(Row({.code = 11, .p0 = 0x1E, .p2 = 0x41}), " charErr (1/2)  LSR 1e  ch 41");
    EXPECT_EQ(Row({.code = 12, .p0 = 0x30, .p1 = 0x0101, .p2 = 64, .p3 = 0x0200, .p4 = 1}),
              " StatusMsg (1/2)  0x30  cts 1 dcd 1 txC 64  dLost 2  rBrk 0  CLOSING");
    EXPECT_EQ(Row({.code = 12, .p0 = 0x30, .p1 = 0x0101, .p2 = 64, .p3 = 0x0200, .p4 = 0}),
              " StatusMsg (1/2)  0x30  cts 1 dcd 1 txC 64  dLost 2  rBrk 0");
    EXPECT_EQ(Row({.code = 13, .p0 = 1, .p2 = 3, .p3 = 4, .p5 = 0}), " sendConfig (1/2)  pending 1  ret 0  rD 3  p2 4");
    EXPECT_EQ(Row({.code = 14, .p1 = 62, .p2 = 3, .p3 = 100, .p5 = 0}),
              " sendData (1/2)  len 62  txC 3  Out 100  ret 0");
    EXPECT_EQ(Row({.code = 15, .p3 = 100, .p5 = -2}), " sendDataCompl (1/2)  Out 100  ret -2");
    EXPECT_EQ(Row({.code = 16, .p0 = 9, .p2 = 40}), " inDataCompl (1/2)  seq 9  level 40");
    EXPECT_EQ(Row({.code = 19, .p5 = 0}), " sendConfigCompl (1/2)  ret 0");
    EXPECT_EQ(Row({.code = 20, .p0 = 0x11}), " SendXchar (1/2) 0x11");
    EXPECT_EQ(Row({.code = 21, .p0 = 0xC1, .p2 = 5, .p3 = 0xAB}), " INTR (1/2)  ISR c1  count 5  ab");
}

TEST(EventCatalogue, LoaderAndGlobalEvents)
{
    EXPECT_EQ(Row({.code = 17, .p0 = 0, .p2 = 4}), " evtLoader port (1/2) HighestUnitNumber 4");
    EXPECT_EQ(Row({.code = 17, .p0 = 1, .p2 = 4}), " evtLoader port (1/2) unitTblFullErr");
    EXPECT_EQ(Row({.code = 17, .p0 = 2, .p2 = 4}), " evtLoader port (1/2) unknown code 2");
    EXPECT_EQ(Row({.code = 18, .p0 = 7, .p5 = -3}), " evtLoadError (1/2)  err -3  at 7");
    EXPECT_EQ(Row({.code = 22, .unit = 0x10, .port = 0x20}), " globDebug (n = 0x10  b = 0x20)");
    EXPECT_EQ(Row({.code = 23, .unit = 5, .port = 8, .p0 = 2}), " lengthError  act 5  req 8  (2)");
    EXPECT_EQ(Row({.code = 33, .unit = 0xA, .port = 0xB, .p0 = 0xC, .p2 = 13}),
              " globStatus (p a  sendGlobalStatus b  resetStatusCount c  p1 13)");
}

TEST(EventCatalogue, PortControlShowsEveryByteUnsigned)
{
    EXPECT_EQ(Row({.code = 24, .p2 = Bits(0x80C20001), .p3 = 0x01000100}),
              "   thePortCtrl baud (128 194 0) par 1 cts 1 xon 0 rts 1 dtr 0");
}

TEST(EventCatalogue, TimersEndpointsAndPipes)
{
    EXPECT_EQ(Row({.code = 26, .p0 = 3, .p2 = 100, .p3 = 2, .p5 = 0}),
              " evtPostTimeFunc (1/2)  err 0  func 3  delta 100  n 2");
    EXPECT_EQ(Row({.code = 27, .p0 = 3, .p3 = 2, .p4 = 50, .p5 = 0}),
              " evtCheckTimeFunc (1/2)  err 0  func 3  n 2  left 50");
    EXPECT_EQ(Row({.code = 28, .p2 = 1, .p3 = 2, .p5 = 0}), " OpenEndpoints (1/2)  ret 0  at 1  with 2");
    EXPECT_EQ(Row({.code = 29, .p2 = 4, .p5 = -1}), " CloseEndpoints (1/2)  ret -1  at 4");
    EXPECT_EQ(Row({.code = 30, .p2 = 4, .p5 = -1}), " inDataComplErr (1/2)  ret -1  at 4");
    EXPECT_EQ(Row({.code = 31, .p0 = 5, .p2 = 4, .p5 = -1}), " inTxAckComplErr (1/2)  ret -1  at 5  (4)");
    EXPECT_EQ(Row({.code = 32, .p2 = 4, .p5 = -1}), " inStatusComplErr (1/2)  ret -1  at 4");
    EXPECT_EQ(Row({.code = 36, .p2 = 4, .p5 = 3}), " USBNotify 1 (2 3 4)");
    EXPECT_EQ(Row({.code = 37, .unit = 3, .p0 = -1}), " AbortPipe 3  ret -1");
    EXPECT_EQ(Row({.code = 38, .p0 = 9, .p5 = 0}), " USBDevReq (1/2) code 9  ret 0");
    EXPECT_EQ(Row({.code = 39, .p0 = 2, .p5 = -7}), " evtPipeReadImmedError (1/2)  err -7  at 2");
    EXPECT_EQ(Row({.code = 40, .p0 = 0}), " openComplete (1/2)  0");
    EXPECT_EQ(Row({.code = 41, .p0 = 1}), " closeComplete (1/2)  1");
}

TEST(EventCatalogue, CodesWithoutARowShowTheRawFields)
{
    for (const ULONG code : {25u, 34u, 35u, 0u, 42u, 1000u}) {
        EXPECT_EQ(Row({.code = code, .p0 = 1, .p1 = 2, .p2 = 3}),
                  " unknown " + std::to_string(code) + "  port (1/2)  code 1  len 2  p1 3");
    }
    EXPECT_EQ(Row({.code = 0xFFFFFFFF, .p0 = 1, .p1 = 2, .p2 = 3}), " unknown -1  port (1/2)  code 1  len 2  p1 3");
}

TEST(EventControlTable, KindsWithTheirOwnText)
{
    EXPECT_EQ(Row({.code = 3, .p0 = 1, .p1 = 1, .p2 = 2, .p3 = 1}), " killIO (1/2)  readpend 1  writepend 2  r/w 1");
    // Divisor code 10 (9600 baud) and the fields 1, 2 and 3 in the word's upper half.
    EXPECT_EQ(Row({.code = 3, .p0 = 8, .p1 = Bits(0xE40A0000), .p3 = 4, .p5 = 0}),
              " Ctrl (1/2)  serdReset 9600/1/2/3  kind 4  ret 0");
    EXPECT_EQ(Row({.code = 3, .p0 = 8, .p1 = 0, .p3 = 4, .p5 = 0}), " Ctrl (1/2)  serdReset 57600/0/0/0  kind 4  ret 0");
    EXPECT_EQ(Row({.code = 3, .p0 = 9, .p3 = 4, .p5 = 0}), " Ctrl (1/2)  serdSetBuf  kind 4  ret 0");
    EXPECT_EQ(Row({.code = 3, .p0 = 13, .p1 = 0x25800000, .p3 = 4, .p5 = 0}),
              " Ctrl (1/2)  serdSetBaud   9600  kind 4  ret 0");
    EXPECT_EQ(Row({.code = 3, .p0 = 13, .p1 = Bits(0xFFFF1234), .p3 = 4, .p5 = 0}),
              " Ctrl (1/2)  serdSetBaud   -1  kind 4  ret 0");
    EXPECT_EQ(Row({.code = 3, .p0 = 1001, .p3 = 0x10, .p4 = 3, .p5 = 0}),
              " usbSerialConfig (1/2)  ret 0  flags 10  count 3");
}

TEST(EventControlTable, NamedKindsShareOneText)
{
    const struct {
        LONG kind;
        const char* name;
    } named[] = {
        {10, "serdHShake"},      {11, "serdClrBrk"},         {12, "serdSetBrk"},
        {14, "serdHShakeDTR"},   {15, "serdSetMIDI"},        {16, "serdSetMisc"},
        {17, "serdSetDTR"},      {18, "serdClrDTR"},         {19, "serdSetPEChar"},
        {20, "serdSetPECharAlternate"}, {21, "serdSetXOff"}, {22, "serdClrXOff"},
        {23, "serdSendXOnConditional"}, {24, "serdSendXOn"}, {25, "serdSendXOffConditional"},
        {26, "serdSendXOff"},    {27, "serdChannelReset"},   {230, "serdSet230KBaud"},
    };
    for (const auto& n : named) {
        EXPECT_EQ(Row({.code = 3, .p0 = n.kind, .p1 = 0xA, .p2 = 0xB, .p3 = 4, .p5 = -1}),
                  std::string(" Ctrl (1/2)  ") + n.name + "   a  b  kind 4  ret -1");
    }
}

TEST(EventControlTable, KindsWithoutANameShowTheirNumber)
{
    for (const LONG kind : {2, 7, 231, -1}) {
        EXPECT_EQ(Row({.code = 3, .p0 = kind, .p1 = 0xA, .p2 = 0xB, .p3 = 4, .p5 = 0}),
                  " Ctrl (1/2)  " + std::to_string(kind) + "  [a b]  kind 4  ret 0");
    }
}

TEST(EventTimePrefix, CountsFromTheFirstRecordAfterAReset)
{
    diag::EventDecoder decoder;
    const ULONGLONG base = 131000000000000000ull;
    EXPECT_EQ(std::string(decoder.Decode(0, Record({.code = 40}, base, 17))), "0 (17 0.000.000): openComplete (1/2)  0");
    EXPECT_EQ(std::string(decoder.Decode(1, Record({.code = 40}, base + 15000000, 18))),
              "1 (18 1.500.000): openComplete (1/2)  0");
    EXPECT_EQ(std::string(decoder.Decode(2, Record({.code = 40}, base + 12345678, 19))),
              "2 (19 1.234.567): openComplete (1/2)  0");
    decoder.ResetTimeBase();
    EXPECT_EQ(std::string(decoder.Decode(0, Record({.code = 40}, base + 99999999, 20))),
              "0 (20 0.000.000): openComplete (1/2)  0");
}

TEST(EventTimePrefix, ARecordOlderThanTheBaseIsNotClamped)
{
    diag::EventDecoder decoder;
    decoder.Decode(0, Record({.code = 40}, 1000, 0));
    // 2^64 - 10 ticks, each part cut to 32 bits.
    EXPECT_EQ(std::string(decoder.Decode(1, Record({.code = 40}, 990, 1))),
              "1 (1 2133437386.955.160): openComplete (1/2)  0");
}

TEST(EventTimePrefix, NumbersPrintSigned)
{
    diag::EventDecoder decoder;
    EXPECT_EQ(std::string(decoder.Decode(0xFFFFFFFF, Record({.code = 40}, 0, 0x80000000))),
              "-1 (-2147483648 0.000.000): openComplete (1/2)  0");
}

TEST(EventDecoderBuffer, TheLongestLinesFitAndTheBufferIsReused)
{
    diag::EventDecoder decoder;
    const LONG most = -2147483647 - 1;
    const EventRecord wide = Record({.code = 6, .unit = 0x80000000, .port = 0x80000000, .p0 = 1, .p1 = most,
                                     .p2 = most, .p3 = most, .p4 = 0x41, .p5 = most},
                                    0, 0x80000000);
    const char* first = decoder.Decode(0x80000000, wide);
    EXPECT_EQ(std::string(first),
              "-2147483648 (-2147483648 0.000.000): write-cont (-2147483648/-2147483648)  req -2147483648  "
              "act -2147483648  ret -2147483648  dur -2147483648  (41 A)");
    const char* second = decoder.Decode(1, Record({.code = 40}, 0, 0));
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::string(second), "1 (0 0.000.000): openComplete (1/2)  0");
}

}  // namespace
