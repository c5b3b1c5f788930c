// The instruments' protocols against recorded byte strings: frames, assemblers, decoding, votes.

#include <deque>

#include <QByteArrayList>

#include "common/NumberFormat.h"
#include "devices/ADAM4017Protocol.h"
#include "devices/CN7600Protocol.h"
#include "devices/FrameAssembler.h"
#include "devices/ReadVote.h"
#include "tests/devices/LinkFixture.h"

using namespace velk;
using velk::test::MessageOf;

namespace {

TEST(RequestFrames, ChecksumCoversAddressAndCommandModulo256) {
    const QByteArray request = cn7600::BuildRequest(2, "0204005000");
    EXPECT_EQ(request, QByteArray("\x00\x13\x02L020204005000"
                                  "4D\x03\x00\x00",
                                  21));
    EXPECT_EQ(adam4017::CommandText(0x1A, 6), "#1A6");
}

TEST(WriteCommands, LimitTheMagnitudeAndWriteTheSign) {
    struct Case {
        float value;
        const char* command;
    } cases[] = {{-12.5f, "02000125FF"}, {300.0f, "0200273000"}, {-300.0f, "02002730FF"},
                 {0.7f, "0200000700"},   {-0.7f, "02000007FF"},  {0.0f, "0200000000"}};
    for (const Case& c : cases)
        EXPECT_EQ(cn7600::WriteCommand(cn7600::kWriteSP1, c.value), c.command) << c.value;
    EXPECT_EQ(cn7600::WriteCommand(cn7600::kWriteAlLo, 5.0f), "0204005000");
    EXPECT_EQ(MessageOf<ECN7600connection>(
                  [] { cn7600::WriteCommand(cn7600::kWriteAlLo, std::nanf("")); }),
              "Internal error (Command: WR AlLo)!");
    EXPECT_NO_THROW(cn7600::CheckWriteReply("Y0000000"));
}

TEST(ControllerDecoding, SignsTenthsAndGarbageNamingTheCommand) {
    EXPECT_FLOAT_EQ(cn7600::DecodePV("xxx30123yy"), -12.3f); // an odd sign digit: negative
    EXPECT_FLOAT_EQ(cn7600::DecodePV("xxx21805yy"), 180.5f);
    EXPECT_FLOAT_EQ(cn7600::DecodeSetPoint(cn7600::kReadSP1, "00025012"), 25.0f);
    EXPECT_FLOAT_EQ(cn7600::DecodeSetPoint(cn7600::kReadAlLo, "0F180000"), -180.0f);
    const auto bad = [](auto decode) { return MessageOf<ECN7600connection>(decode); };
    const QString format = "Bad received response (Command: %1, bad format)!";
    EXPECT_EQ(bad([] { cn7600::DecodePV("xxxA0123yy"); }), format.arg("PV"));
    EXPECT_EQ(bad([] { cn7600::DecodeSetPoint(cn7600::kReadSP1, "00zz5012"); }),
              format.arg("RD SP1"));
    EXPECT_EQ(bad([] { cn7600::DecodeSetPoint(cn7600::kReadAlLo, "00 ..012"); }),
              format.arg("RD AlLo"));
    EXPECT_EQ(bad([] { cn7600::DecodePOV("xxx0x5yy"); }), format.arg("RD POV"));
}

TEST(ModuleConversions, VacuumLawLevelLimitsAndStatusThreshold) {
    struct Case {
        float volts;
        float mbar;
    } cases[] = {{5.000f, 1.0116e-3f}, {6.800f, 1.013f}, {9.500f, 3.21e4f}, {0.500f, 3.188e-11f}};
    for (const Case& c : cases)
        EXPECT_NEAR(adam4017::VacuumFromVolts(c.volts) / c.mbar, 1.0, 2e-3) << c.volts;
    EXPECT_EQ(adam4017::VacuumFromVolts(0.400f), -1.0f);
    EXPECT_EQ(adam4017::VacuumFromVolts(9.501f), -1.0f);
    EXPECT_FLOAT_EQ(adam4017::LevelFromVolts(4.25), 42.5f);
    EXPECT_FLOAT_EQ(adam4017::LevelFromVolts(10.5), 100.0f);
    EXPECT_FLOAT_EQ(adam4017::LevelFromVolts(0.0), 0.0f);
    EXPECT_TRUE(adam4017::StatusFromVolts(2.500));
    EXPECT_FALSE(adam4017::StatusFromVolts(2.499));
    // Numbers are read with a point whatever separator the program shows.
    const QChar saved = DecimalSeparator();
    SetDecimalSeparator(QChar(','));
    EXPECT_EQ(adam4017::Volts("05.123"), 5.123);
    EXPECT_FALSE(adam4017::Volts("05,123").has_value());
    SetDecimalSeparator(saved);
}

// Each piece is fed in turn; every frame the assembler completes is handed on as one text.
QByteArrayList Frames(std::uint8_t start, std::uint8_t end, const QByteArrayList& pieces) {
    struct Sink : TSocketReceiveEvent {
        QByteArrayList frames;
        void OnReceive(const void*, const std::uint8_t* b, int n) override {
            frames.append(QByteArray(reinterpret_cast<const char*>(b), n));
        }
    } sink;
    TFrameAssembler a(start, end, &sink);
    for (const QByteArray& p : pieces)
        a.OnReceive(nullptr, reinterpret_cast<const std::uint8_t*>(p.constData()), int(p.size()));
    return sink.frames;
}

TEST(FrameAssembler, SplitFramesRestartsAndOverlongFramesDropped) {
    // A new start restarts collection; an empty frame is not handed on.
    EXPECT_EQ(Frames(cn7600::kSTX, cn7600::kACK,
                     {"\x02"
                      "ab",
                      "c\x06",
                      "\x02xy\x02"
                      "def\x06",
                      "\x02\x06"}),
              (QByteArrayList{"abc", "def"}));
    for (int extra : {0, 1, 50}) {
        const QByteArrayList expected{QByteArray(200, '7'), "+05.000"};
        EXPECT_EQ(
            Frames('>', 0x0D,
                   {">" + QByteArray(200, '7') + QByteArray(extra, '8') + "\r", ">+05.000\r"}),
            extra == 0 ? expected : expected.mid(1))
            << extra;
    }
}

// A scripted sequence of read results; an empty text stands for a read that raises.
struct ScriptedReads {
    std::deque<QString> script;
    int calls = 0;
    QString operator()() {
        ++calls;
        if (script.empty()) throw Exception(std::string("script exhausted"));
        QString next = script.front();
        script.pop_front();
        if (next.isEmpty()) throw Exception(std::string("read failed"));
        return next;
    }
};

TEST(Votes, OnlyConfirmedReadsWin) {
    const auto value = [](const QString& t) {
        const auto v = adam4017::Volts(t);
        if (!v) throw Exception(std::string("no number"));
        return *v;
    };
    struct Case {
        bool relative;
        std::deque<QString> script;
        std::optional<QString> result; // none: the reads disagree
        int calls;
    };
    for (const Case& c : std::vector<Case>{
             {false, {"A", "A"}, "A", 2},
             {false, {"A", "B", "A"}, "A", 3},
             {false, {"A", "B", "B"}, "B", 3},
             {false, {"A", "B", "C"}, std::nullopt, 3}, // three different reads: none confirmed
             {false, {"", "A", "A"}, "A", 3},           // a failed attempt is retried once
             {false, {"A", "", "B", "B"}, "B", 4},
             {true, {"05.000", "05.050"}, "05.000", 2},           // under 2 %: no third read
             {true, {"05.000", "05.200", "05.010"}, "05.000", 3}, // third agrees with the first
             {true, {"05.000", "05.200", "05.200"}, "05.200", 3}, // third agrees with the second
             {true, {"00.000", "00.000"}, "00.000", 2},           // equal values agree, zero too
             {true, {"05.000", "garbl", "05.100"}, "05.000", 3},
             // None agree: a further read is taken only when it agrees with an earlier one,
             // or to report its bad format.
             {true, {"05.000", "06.000", "07.000", "06.050"}, "06.050", 4},
             {true, {"05.000", "05.500", "", "", "04.990"}, "04.990", 5},
             {true, {"05.000", "garbl", "garbl", "x"}, "x", 4},
             {true, {"05.000", "06.000", "07.000", "08.000"}, std::nullopt, 4},
             {true, {"05.000", "05.500", "", "", "04.000"}, std::nullopt, 5}}) {
        ScriptedReads reads{c.script};
        EXPECT_EQ(c.relative ? RelativeVote(std::ref(reads), value) : ExactVote(std::ref(reads)),
                  c.result);
        EXPECT_EQ(reads.calls, c.calls);
    }
    ScriptedReads twice{{"", ""}};
    EXPECT_THROW(ExactVote(std::ref(twice)), Exception);
}

} // namespace
