// The two instrument drivers over the real link, against a scripted box on loopback: bytes on
// the wire, retries, votes, time-outs, refusals, and the messages callers see.

#include <atomic>
#include <deque>
#include <functional>
#include <thread>

#include "devices/ADAM4017Interface.h"
#include "devices/CN7600Interface.h"
#include "tests/devices/LinkFixture.h"

using namespace velk;
using namespace std::chrono_literals;

namespace {

using TReply = std::vector<QByteArray>; // data frames answering one command; none: silence

// A controller reply frame around a reply text, cut in two data frames.
TReply Controller(const QByteArray& text) {
    return {"\x02L0", "1" + text + "\x06"};
}
TReply Module(const QByteArray& answer) {
    return {">" + answer + "\r"};
}
template <class... R> std::vector<TReply> Replies(R... replies) {
    return {replies...};
}

// Plays the box: acknowledges every request, records each instrument command once and answers
// it with the next scripted reply. Nothing is lost or repeated.
class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        VELK_NEEDS_PORT_192();
        box_ = std::make_unique<test::TScriptedPeer>();
        thread_ = std::thread([this] { Serve(); });
        test::OpenLink(link_);
        link_.ResetLink();
        cn_.Attach(&link_);
        adam_.Attach(&link_);
    }
    void TearDown() override {
        link_.SetActive(false);
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    void Serve() {
        std::uint8_t next = 1;
        int lastCommand = -1;
        while (!stop_) {
            const auto datagram = box_->Receive(50ms);
            if (!datagram || datagram->size() < 2 || (*datagram)[1] == link::FrameBoxData) continue;
            const std::uint8_t sequence = (*datagram)[0], type = (*datagram)[1];
            box_->Send({sequence, link::FrameAckLow});
            if (type == link::FrameReset) next = 1;
            if (type != link::FrameCommand || sequence == lastCommand) continue;
            lastCommand = sequence;
            TReply reply;
            {
                std::lock_guard guard(lock_);
                sent_.emplace_back(reinterpret_cast<const char*>(datagram->data()) + 2,
                                   qsizetype(datagram->size() - 2));
                if (!replies_.empty()) reply = replies_.front(), replies_.pop_front();
            }
            for (const QByteArray& piece : reply)
                box_->Send(test::BoxData(next++, piece.toStdString()));
        }
    }

    std::mutex lock_;
    std::deque<TReply> replies_;
    std::vector<QByteArray> sent_;
    std::atomic<bool> stop_{false};
    std::unique_ptr<test::TScriptedPeer> box_;
    std::thread thread_;
    TCN7600connection cn_;
    TADAM4017Connection adam_;
    TEthernetLinkShared link_; // destroyed before the drivers it calls
};

QString N(double value) {
    return QString::number(value, 'g', 4);
}

TEST_F(DriverTest, CallsSendTheirCommandsVoteAndReportWhatCallersSee) {
    struct Case {
        std::function<QString()> call; // the result as text, or the message raised
        std::vector<TReply> replies;
        QString expected;
        QByteArray sent; // part of every command the box received
        std::size_t sends;
    };
    const QByteArray pv1("\x00\x0B\x02L0100C1\x03\x00\x00", 13); // length, frame, filler
    const QByteArray long103(103, '0'), long104(104, '0'), long190(190, '0'), long196(196, '0');
    const auto cn = [](const QByteArray& text) {
        return Replies(Controller(text), Controller(text));
    };
    const auto adam = [](const QByteArray& text) { return Replies(Module(text), Module(text)); };
    const Case cases[] = {
        {[&] { return N(cn_.ReadPV(1)); }, cn("00011805xx"), "-180.5", pv1, 2},
        {[&] { return N(cn_.ReadSP1(2)); }, cn("FF025012"), "-25", "L020100", 2},
        {[&] { return N(cn_.ReadPOV(1)); }, cn("000045xx"), "45", "L01011D", 2},
        {[&] { return N(cn_.ReadAlLo(2)); }, cn("FF198000"), "-198", "L020104", 2},
        // A reply of the wrong length, or too short for a frame, is retried once.
        {[&] { return N(cn_.ReadPV(1)); },
         Replies(Controller("000101230"), Controller("0001012300"), Controller("0001012300")),
         "-12.3", "L0100", 3},
        {[&] { return N(cn_.ReadPV(1)); }, Replies(Controller("0001"), Controller("000101")),
         "Bad received response (Command: PV)!", "L0100", 2},
        {[&] { return N(cn_.ReadPOV(1)); }, Replies(TReply{"\x02L0\x06"}, TReply{"\x02L0\x06"}),
         "Bad received response !", "L01011D", 2},
        {[&] { return N(adam_.ReadPumpStatus(1)); }, Replies(),
         "Command failure (time out  1000 ms)", "#015\r", 2},
        // Commands too long for the driver or for the link are refused before sending.
        {[&] { return cn_.ExecuteCommand(1, long190); }, Replies(), "Command to large !", "", 0},
        {[&] { return adam_.ExecuteCommand(long196); }, Replies(), "Command to large !", "", 0},
        {[&] { return cn_.ExecuteCommand(1, long104); }, Replies(),
         "The size of the packet is to high !", "", 0},
        {[&] { return cn_.ExecuteCommand(1, long103); }, Replies(Controller("Y0000000")),
         "Y0000000", long103, 1},
        // Writes: one attempt each, no vote; the magnitude is limited, the sign written.
        {[&] { return cn_.WriteSP1(1, 300.0f), QString(); }, Replies(Controller("Y0000000")), "",
         "L010200273000", 1},
        {[&] { return cn_.WriteAlLo(2, -5.0f), QString(); }, Replies(Controller("N0000712")),
         "Error message:  code 07", "L0202040050FF", 1},
        // The module: the channel per reading; the sign is not part of the voltage.
        {[&] { return N(adam_.ReadPumpStatus(1)); }, adam("+02.500"), "1", "#015\r", 2},
        {[&] { return N(adam_.ReadValveStatus(1)); }, adam("+02.499"), "0", "#016\r", 2},
        {[&] { return N(adam_.ReadPumpStatus(1)); }, adam("-03.000"), "1", "#015\r", 2},
        {[&] { return N(adam_.ReadLN2Level(1)); }, Replies(Module("+04.250"), Module("+04.260")),
         "42.5", "#010\r", 2}, // within 2 %: no third read
        {[&] { return N(adam_.ReadVacuum(1)); }, adam("+06.800"), "1.013", "#011\r", 2},
        {[&] { return N(adam_.ReadValveStatus(1)); }, adam("+0?.500"),
         "Bad received response (Command: RD VALVE STATUS, bad format->0?.500)!", "#016\r", 2},
        // No read agrees with another, and the further read is no number either.
        {[&] { return N(adam_.ReadLN2Level(1)); },
         Replies(Module("+04.000"), Module("+04.0x0"), Module("+0.0.0"), Module("+0.0.0")),
         "Bad received response (Command: RD LN2 Level, bad format->0.0.0)!", "#010\r", 4},
    };
    for (const Case& c : cases) {
        {
            std::lock_guard guard(lock_);
            replies_.assign(c.replies.begin(), c.replies.end());
            sent_.clear();
        }
        const auto start = std::chrono::steady_clock::now();
        QString outcome;
        if (const QString failure = test::MessageOf([&] { outcome = c.call(); });
            !failure.isEmpty())
            outcome = failure;
        EXPECT_EQ(outcome, c.expected);
        std::lock_guard guard(lock_);
        EXPECT_EQ(sent_.size(), c.sends) << outcome.toStdString();
        for (const QByteArray& command : sent_)
            EXPECT_TRUE(command.contains(c.sent)) << command.toStdString();
        const bool silence = c.replies.empty() && c.sends > 0; // two time-outs
        EXPECT_TRUE(!silence || std::chrono::steady_clock::now() - start >= 2000ms);
    }
    adam_.Detach();
    EXPECT_EQ(test::MessageOf<EADAM4017Connection>([&] { adam_.ReadValveStatus(1); }),
              "Connection not initialised !");
}

} // namespace
