#pragma once
// The interface box's side of the link protocol, for tests and the demo: acknowledges the
// host's requests, hands commands to the instrument side once each, and sends the replies as
// numbered data frames again and again until the host acknowledges them. Faults (loss,
// duplication, reordering, late acknowledgements) can be injected.

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <netinet/in.h>

#include "tools/boxsim/Instruments.h"

namespace velk::boxsim {

using TClock = std::chrono::steady_clock;

struct TFaults {
    double Loss = 0;      // share of datagrams lost, in each direction
    double Duplicate = 0; // share of sent datagrams sent twice
    double Reorder = 0;   // share of sent datagrams held back so that later ones overtake them
    double LateAck = 0;   // share of request acknowledgements sent late
    std::chrono::milliseconds ReorderDelay{30};
    std::chrono::milliseconds LateAckDelay{200};
};

struct TBoxOptions {
    std::string Address = "127.0.0.2";
    std::chrono::milliseconds Resend{60}; // period of a data frame until it is acknowledged
    TFaults Faults;
    unsigned Seed = 1;
    bool Verbose = false;
};

class TBoxSimulator {
public:
    // Binds the box's UDP port on Options.Address; throws std::runtime_error with a readable
    // reason when it cannot.
    TBoxSimulator(const TBoxOptions& Options, TInstrumentSide& Instruments);
    ~TBoxSimulator();
    TBoxSimulator(const TBoxSimulator&) = delete;
    TBoxSimulator& operator=(const TBoxSimulator&) = delete;

    // Serves the host until StopFd becomes readable (a signalfd in the program).
    void Run(int StopFd);

private:
    using TDatagram = std::vector<std::uint8_t>;
    struct TFrame {
        TDatagram Datagram;
        bool Acknowledged = false;
        TClock::time_point NextSend{};
    };

    void Receive(TClock::time_point Now);
    void Handle(const std::uint8_t* Buffer, int Len, const sockaddr_in& From,
                TClock::time_point Now);
    void QueueReply(const TReplyPieces& Pieces);
    void SendDueFrames(TClock::time_point Now);
    void SendDelayed(TClock::time_point Now);
    TClock::time_point NextWakeUp() const;
    // Sends through the fault injection; LateAck marks an acknowledgement of a request.
    void Emit(const TDatagram& Datagram, bool LateAck, TClock::time_point Now);
    void SendRaw(const TDatagram& Datagram);
    bool Chance(double Share);
    void Log(const char* Direction, const std::uint8_t* Buffer, int Len) const;

    TBoxOptions Options_;
    TInstrumentSide& Instruments_;
    int Socket_ = -1;
    std::mt19937 Random_;
    sockaddr_in Host_{};
    bool HaveHost_ = false;
    int LastRequest_ = -1; // sequence number of the last request executed
    std::uint8_t NextSequence_;
    std::deque<TFrame> Frames_; // oldest unacknowledged first, consecutive numbers
    std::multimap<TClock::time_point, TDatagram> Delayed_;
};

} // namespace velk::boxsim
