// The two instrument drivers over the real link, against a scripted box on loopback: bytes on
// the wire, retries, votes, time-outs, refusals, and the messages callers see.

#include <atomic>
#include <deque>
#include <thread>

#include "devices/ADAM4017Interface.h"
#include "devices/CN7600Interface.h"
#include "tests/devices/LinkFixture.h"

using namespace velk;
using velk::test::MessageOf;
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
    void Script(std::initializer_list<TReply> replies) {
        std::lock_guard guard(lock_);
        replies_.insert(replies_.end(), replies);
    }
    std::vector<QByteArray> Sent() {
        std::lock_guard guard(lock_);
        return sent_;
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

TEST_F(DriverTest, ReadsPutTheExactFramesOnTheWireAndDecodeAfterTheVote) {
    Script({Controller("00011805xx"), Controller("00011805xx"), Module("+05.000"),
            Module("+05.000"), Controller("FF025012"), Controller("FF025012"),
            Controller("000045xx"), Controller("000045xx"), Controller("FF198000"),
            Controller("FF198000")});
    EXPECT_FLOAT_EQ(cn_.ReadPV(1), -180.5f);
    adam_.ReadVacuum(1);
    EXPECT_FLOAT_EQ(cn_.ReadSP1(2), -25.0f);
    EXPECT_FLOAT_EQ(cn_.ReadPOV(1), 45.0f);
    EXPECT_FLOAT_EQ(cn_.ReadAlLo(2), -198.0f);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 10u);
    EXPECT_EQ(sent[0], QByteArray("\x00\x0B\x02L0100C1\x03\x00\x00", 13));
    EXPECT_EQ(sent[1], sent[0]);
    EXPECT_EQ(sent[2], QByteArray("\x00\x07#011\r\x00\x00", 9));
    EXPECT_EQ(sent[4].mid(4, 2), "02"); // the second controller's address
}

TEST_F(DriverTest, AWrongLengthReplyIsRetriedOnce) {
    Script({Controller("000101230"), Controller("0001012300"), Controller("0001012300")});
    EXPECT_FLOAT_EQ(cn_.ReadPV(1), -12.3f);
    EXPECT_EQ(Sent().size(), 3u);
    Script({Controller("0001"), Controller("000101")}); // both attempts of the first read fail
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn_.ReadPV(1); }),
              "Bad received response (Command: PV)!");
    EXPECT_EQ(Sent().size(), 5u);
}

TEST_F(DriverTest, SilenceTimesOutAfterOneRetry) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MessageOf<EADAM4017Connection>([&] { adam_.ReadPumpStatus(1); }),
              "Command failure (time out  1000 ms)");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2000ms);
    EXPECT_EQ(Sent().size(), 2u);
    // A short frame is no reply either; the driver stays usable.
    Script({{"\x02L0\x06"}, {"\x02L0\x06"}, Controller("000045xx"), Controller("000045xx")});
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn_.ReadPOV(1); }), "Bad received response !");
    EXPECT_FLOAT_EQ(cn_.ReadPOV(1), 45.0f);
}

TEST_F(DriverTest, OversizedCommandsAreRefusedByTheDriverOrTheLink) {
    struct Case {
        int size;
        bool module;
        const char* message;
    };
    for (const Case& c : {Case{190, false, "Command to large !"},
                          Case{104, false, "The size of the packet is to high !"},
                          Case{196, true, "Command to large !"}}) {
        const QByteArray command(c.size, '0');
        EXPECT_EQ(c.module ? MessageOf<EADAM4017Connection>([&] { adam_.ExecuteCommand(command); })
                           : MessageOf<ECN7600connection>([&] { cn_.ExecuteCommand(1, command); }),
                  c.message)
            << c.size;
    }
    EXPECT_TRUE(Sent().empty());
    Script({Controller("Y0000000")});
    EXPECT_EQ(cn_.ExecuteCommand(1, QByteArray(103, '0')), "Y0000000");
}

TEST_F(DriverTest, WritesAreLimitedSignedAndRefusalsRaiseTheCode) {
    Script({Controller("Y0000000"), Controller("N0000712")});
    cn_.WriteSP1(1, 300.0f);
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn_.WriteAlLo(2, -5.0f); }),
              "Error message:  code 07");
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u); // one attempt each, no vote
    EXPECT_EQ(sent[0].mid(4, 12), "010200273000");
    EXPECT_EQ(sent[1].mid(4, 12), "0202040050FF");
}

TEST_F(DriverTest, ModuleReadsConvertTheUnsignedVoltage) {
    Script({Module("+02.500"), Module("+02.500"), Module("+02.499"), Module("+02.499"),
            Module("-03.000"), Module("-03.000"), Module("+04.250"), Module("+04.260"),
            Module("+10.500"), Module("+10.500"), Module("+06.800"), Module("+06.800"),
            Module("+00.400"), Module("+00.400")});
    EXPECT_TRUE(adam_.ReadPumpStatus(1));
    EXPECT_FALSE(adam_.ReadValveStatus(1));
    EXPECT_TRUE(adam_.ReadPumpStatus(1)); // the sign is not part of the reading
    EXPECT_FLOAT_EQ(adam_.ReadLN2Level(1), 42.5f); // within 2 %: no third read
    EXPECT_FLOAT_EQ(adam_.ReadLN2Level(1), 100.0f);
    EXPECT_NEAR(adam_.ReadVacuum(1), 1.013f, 0.002f);
    EXPECT_FLOAT_EQ(adam_.ReadVacuum(1), -1.0f);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 14u);
    EXPECT_EQ(sent[0].mid(2, 4), "#015");
    EXPECT_EQ(sent[2].mid(2, 4), "#016");
    EXPECT_EQ(sent[6].mid(2, 4), "#010");
}

TEST_F(DriverTest, BadModuleTextsNameTheCommandAndTheText) {
    Script({Module("+0?.500"), Module("+0?.500")});
    adam_.Detach();
    EXPECT_EQ(MessageOf<EADAM4017Connection>([&] { adam_.ReadValveStatus(1); }),
              "Connection not initialised !");
    adam_.Attach(&link_);
    EXPECT_EQ(MessageOf<EADAM4017Connection>([&] { adam_.ReadValveStatus(1); }),
              "Bad received response (Command: RD VALVE STATUS, bad format->0?.500)!");
    // No read agrees with another, and the further read is no number either.
    Script({Module("+04.000"), Module("+04.0x0"), Module("+0.0.0"), Module("+0.0.0")});
    EXPECT_EQ(MessageOf<EADAM4017Connection>([&] { adam_.ReadLN2Level(1); }),
              "Bad received response (Command: RD LN2 Level, bad format->0.0.0)!");
}

} // namespace
