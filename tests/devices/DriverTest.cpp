// The two instrument drivers over the real link, against a scripted box on loopback: bytes on
// the wire, retries, votes, time-outs, refusals, and the messages callers see.

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>

#include <gtest/gtest.h>

#include "devices/ADAM4017Interface.h"
#include "devices/CN7600Interface.h"
#include "devices/EthernetDispatcher.h"
#include "tests/TestSupport.h"
#include "tests/devices/DeviceTestSupport.h"
#include "tests/devices/ScriptedBox.h"

using namespace velk;
using velk::test::Bytes;
using velk::test::MessageOf;
using namespace std::chrono_literals;

namespace {

// A controller reply frame around a reply text, cut in two data frames.
std::vector<QByteArray> Controller(const QByteArray& text) {
    return {"\x02L0", "1" + text + "\x06"};
}
// A module answer as it arrives: ">", the signed reading, CR.
std::vector<QByteArray> Module(const QByteArray& answer) {
    return {">" + answer + "\r"};
}

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CanBindPort192())
            GTEST_SKIP() << "needs UDP port 192 (run inside scripts/netns.sh)";
        box_ = std::make_unique<test::ScriptedBox>([this](const QByteArray&) {
            std::lock_guard guard(lock_);
            if (replies_.empty()) return std::vector<QByteArray>{};
            auto next = replies_.front();
            replies_.pop_front();
            return next;
        });
        link_ = std::make_unique<TEthernetLinkShared>();
        link_->SetPort(192);
        link_->SetReceiveBufferSize(4096);
        link_->SetAddrB1(127);
        link_->SetAddrB4(2);
        link_->SetActive(true);
        link_->ResetLink();
        cn_.Attach(link_.get());
        adam_.Attach(link_.get());
    }
    void TearDown() override {
        cn_.Detach();
        adam_.Detach();
        link_.reset();
        box_.reset();
    }
    // Replies for the coming commands, in order; a command without one gets no answer.
    void Script(std::initializer_list<std::vector<QByteArray>> replies) {
        std::lock_guard guard(lock_);
        replies_.insert(replies_.end(), replies);
    }
    int Commands() const { return box_->CommandCount(); }

    TCN7600connection cn_;
    TADAM4017Connection adam_;
    std::mutex lock_;
    std::deque<std::vector<QByteArray>> replies_;
    std::unique_ptr<test::ScriptedBox> box_;
    std::unique_ptr<TEthernetLinkShared> link_; // destroyed before the drivers it calls
};

TEST_F(DriverTest, ReadsPutTheExactFramesOnTheWire) {
    Script({Controller("00011805xx"), Controller("00011805xx")});
    EXPECT_FLOAT_EQ(cn_.ReadPV(1), -180.5f);
    Script({Module("+05.000"), Module("+05.000")});
    adam_.ReadVacuum(1);
    const auto sent = box_->Commands();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0],
              Bytes({0x00, 0x0B, 0x02, 0x4C, 0x30, 0x31, 0x30, 0x30, 0x43, 0x31, 0x03, 0, 0}));
    EXPECT_EQ(sent[1], sent[0]);
    EXPECT_EQ(sent[2], Bytes({0x00, 0x07, 0x23, 0x30, 0x31, 0x31, 0x0D, 0, 0}));
}

TEST_F(DriverTest, ControllerReadsDecodeAfterTheVote) {
    Script({Controller("FF025012"), Controller("FF025012"), Controller("00025012"),
            Controller("00025012"), Controller("000045xx"), Controller("000045xx"),
            Controller("FF198000"), Controller("FF198000")});
    EXPECT_FLOAT_EQ(cn_.ReadSP1(1), -25.0f);
    EXPECT_FLOAT_EQ(cn_.ReadSP1(2), 25.0f);
    EXPECT_FLOAT_EQ(cn_.ReadPOV(1), 45.0f);
    EXPECT_FLOAT_EQ(cn_.ReadAlLo(2), -198.0f);
    EXPECT_EQ(box_->Commands()[2].mid(4, 2), "02"); // the second controller's address
}

TEST_F(DriverTest, AWrongLengthReplyIsRetriedOnce) {
    Script({Controller("000101230"), Controller("0001012300"), Controller("0001012300")});
    EXPECT_FLOAT_EQ(cn_.ReadPV(1), -12.3f);
    EXPECT_EQ(Commands(), 3);
    Script({Controller("0001"), Controller("000101")}); // both attempts of the first read fail
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn_.ReadPV(1); }),
              "Bad received response (Command: PV)!");
    EXPECT_EQ(Commands(), 5);
}

TEST_F(DriverTest, TwoDifferingReadsAndAThirdEqualToNeitherGiveTheSecond) {
    Script({Controller("0000011100"), Controller("0000022200"), Controller("0000033300")});
    EXPECT_FLOAT_EQ(cn_.ReadPV(1), 22.2f);
    Script({Controller("0000011100"), Controller("0000022200"), Controller("0000011100")});
    EXPECT_FLOAT_EQ(cn_.ReadPV(1), 11.1f);
}

TEST_F(DriverTest, SilenceTimesOutAfterOneRetry) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MessageOf<EADAM4017Connection>([&] { adam_.ReadPumpStatus(1); }),
              "Command failure (time out  1000 ms)");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2000ms);
    EXPECT_EQ(Commands(), 2);
    // A short frame is no reply either; the driver stays usable.
    Script({{"\x02L0\x06"}, {"\x02L0\x06"}});
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn_.ReadPOV(1); }), "Bad received response !");
    Script({Controller("000045xx"), Controller("000045xx")});
    EXPECT_FLOAT_EQ(cn_.ReadPOV(1), 45.0f);
}

TEST_F(DriverTest, OversizedCommandsAreRefusedByTheDriverOrTheLink) {
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn_.ExecuteCommand(1, QByteArray(190, '0')); }),
              "Command to large !");
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn_.ExecuteCommand(1, QByteArray(189, '0')); }),
              "The size of the packet is to high !");
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn_.ExecuteCommand(1, QByteArray(104, '0')); }),
              "The size of the packet is to high !");
    EXPECT_EQ(MessageOf<EADAM4017Connection>([&] { adam_.ExecuteCommand(QByteArray(196, '0')); }),
              "Command to large !");
    EXPECT_EQ(Commands(), 0);
    Script({Controller("Y0000000")});
    EXPECT_EQ(cn_.ExecuteCommand(1, QByteArray(103, '0')), "Y0000000");
}

TEST_F(DriverTest, WritesAreLimitedSignedAndRefusalsRaiseTheCode) {
    Script({Controller("Y0000000"), Controller("N0000712"), Controller("Y0000000")});
    cn_.WriteSP1(1, 300.0f);
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn_.WriteAlLo(2, 5.0f); }),
              "Error message:  code 07");
    cn_.WriteSP1(2, -12.5f);
    const auto sent = box_->Commands();
    ASSERT_EQ(sent.size(), 3u); // one attempt each, no vote
    EXPECT_EQ(sent[0].mid(6, 10), "0200273000");
    EXPECT_EQ(sent[1].mid(4, 12), "020204005000");
    EXPECT_EQ(sent[2].mid(4, 12), "0202000125FF");
}

TEST_F(DriverTest, ModuleReadsConvertTheUnsignedVoltage) {
    Script({Module("+02.500"), Module("+02.500"), Module("+02.499"), Module("+02.499"),
            Module("-03.000"), Module("-03.000"), Module("+04.250"), Module("+04.260"),
            Module("+10.500"), Module("+10.500"), Module("+06.800"), Module("+06.800"),
            Module("+00.400"), Module("+00.400")});
    EXPECT_TRUE(adam_.ReadPumpStatus(1));
    EXPECT_FALSE(adam_.ReadValveStatus(1));
    EXPECT_TRUE(adam_.ReadPumpStatus(1)); // the sign is not part of the reply text
    EXPECT_FLOAT_EQ(adam_.ReadLN2Level(1), 42.5f);
    EXPECT_FLOAT_EQ(adam_.ReadLN2Level(1), 100.0f);
    EXPECT_NEAR(adam_.ReadVacuum(1), 1.013f, 0.002f);
    EXPECT_FLOAT_EQ(adam_.ReadVacuum(1), -1.0f);
    const auto sent = box_->Commands();
    EXPECT_EQ(sent[0].mid(2, 4), "#015");
    EXPECT_EQ(sent[2].mid(2, 4), "#016");
    EXPECT_EQ(sent[6].mid(2, 4), "#010");
}

TEST_F(DriverTest, ZeroLevelsNeverAgreeSoTheThirdReadIsTaken) {
    Script({Module("+00.000"), Module("+00.000"), Module("+00.000")});
    EXPECT_FLOAT_EQ(adam_.ReadLN2Level(1), 0.0f);
    EXPECT_EQ(Commands(), 3);
    Script({Module("+05.000"), Module("+05.200"), Module("+05.300")});
    EXPECT_NEAR(adam_.ReadVacuum(1), adam4017::VacuumFromVolts(5.3f), 1e-6);
}

TEST_F(DriverTest, BadModuleTextsNameTheCommandAndTheText) {
    Script({Module("+0?.500"), Module("+0?.500")});
    EXPECT_EQ(MessageOf<EADAM4017Connection>([&] { adam_.ReadValveStatus(1); }),
              "Bad received response (Command: RD VALVE STATUS, bad format->0?.500)!");
    // The vote itself fails on a text that is no number: one further read decides.
    Script({Module("+04.000"), Module("+04.0x0"), Module("+0.0.0")});
    EXPECT_EQ(MessageOf<EADAM4017Connection>([&] { adam_.ReadLN2Level(1); }),
              "Bad received response (Command: RD LN2 Level, bad format->0.0.0)!");
}

TEST(DetachedDrivers, RefuseEveryOperation) {
    TCN7600connection cn;
    TADAM4017Connection adam;
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn.ReadPV(1); }), "Connection not initialised !");
    EXPECT_EQ(MessageOf<ECN7600connection>([&] { cn.WriteSP1(1, 1.0f); }),
              "Connection not initialised !");
    EXPECT_EQ(MessageOf<EADAM4017Connection>([&] { adam.ReadVacuum(1); }),
              "Connection not initialised !");
}

} // namespace
