#include "tools/boxsim/BoxSimulator.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "devices/LinkProtocol.h"
#include "devices/ReorderBuffer.h"

namespace velk::boxsim {

namespace {

// The host keeps frames up to this many numbers ahead of its oldest undelivered one.
constexpr int MaxFramesAhead = TReorderBuffer::AckWindow - 1;

} // namespace

TBoxSimulator::TBoxSimulator(const TBoxOptions& Options, TInstrumentSide& Instruments)
    : Options_(Options), Instruments_(Instruments), Random_(Options.Seed),
      NextSequence_(link::FirstBoxSequence) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(link::BoxPort);
    if (::inet_pton(AF_INET, Options_.Address.c_str(), &local.sin_addr) != 1)
        throw std::runtime_error("not an IPv4 address: " + Options_.Address);
    Socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, IPPROTO_UDP);
    if (Socket_ < 0)
        throw std::runtime_error(std::string("no UDP socket: ") + std::strerror(errno));
    // The host's link binds the same port on all addresses, with the same option.
    const int yes = 1;
    ::setsockopt(Socket_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(Socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        ::close(Socket_);
        throw std::runtime_error("cannot bind UDP port " + std::to_string(link::BoxPort) + " on " +
                                 Options_.Address + ": " + std::strerror(error) +
                                 " (run it inside scripts/netns.sh, or give it "
                                 "cap_net_bind_service)");
    }
}

TBoxSimulator::~TBoxSimulator() {
    ::close(Socket_);
}

void TBoxSimulator::Run(int StopFd) {
    for (;;) {
        auto now = TClock::now();
        const auto wake = NextWakeUp();
        int timeout = -1;
        if (wake != TClock::time_point::max()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
            timeout = static_cast<int>(std::max<decltype(wait)>(0, wait));
        }
        pollfd fds[2] = {{Socket_, POLLIN, 0}, {StopFd, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            throw std::runtime_error(std::string("poll failed: ") + std::strerror(errno));
        if (fds[1].revents != 0) return;
        now = TClock::now();
        if (fds[0].revents & POLLIN) Receive(now);
        SendDelayed(now);
        SendDueFrames(now);
    }
}

void TBoxSimulator::Receive(TClock::time_point Now) {
    std::uint8_t buffer[link::MaxDatagram];
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t count = ::recvfrom(Socket_, buffer, sizeof buffer, 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (count < 0) return; // drained (EAGAIN) or a transient error
        if (Chance(Options_.Faults.Loss)) {
            Log("lost <-", buffer, static_cast<int>(count));
            continue;
        }
        Log("<-", buffer, static_cast<int>(count));
        Handle(buffer, static_cast<int>(count), from, Now);
    }
}

void TBoxSimulator::Handle(const std::uint8_t* Buffer, int Len, const sockaddr_in& From,
                           TClock::time_point Now) {
    if (Len < link::HeaderSize) return;
    const std::uint8_t sequence = Buffer[0];
    const std::uint8_t type = Buffer[1];

    if (type == link::FrameBoxData) {
        // The host acknowledges one of our data frames. Only frames already sent can be
        // meant: the queue behind them may hold the same number again after a wrap.
        const std::size_t sent = std::min<std::size_t>(Frames_.size(), MaxFramesAhead + 1);
        for (std::size_t i = 0; i < sent; ++i)
            if (Frames_[i].Datagram[0] == sequence) Frames_[i].Acknowledged = true;
        while (!Frames_.empty() && Frames_.front().Acknowledged)
            Frames_.pop_front();
        return;
    }
    if (type != link::FrameReset && type != link::FrameData && type != link::FrameCommand) return;

    // A request: answered wherever it came from, repeated or not.
    Host_ = From;
    HaveHost_ = true;
    Emit({sequence, link::FrameAckLow}, true, Now);

    if (type == link::FrameReset) {
        // Harmless when repeated: the host sends nothing else before it has the acknowledgement.
        NextSequence_ = link::FirstBoxSequence;
        Frames_.clear();
        // Data frames held back for reordering carry the old numbering: sent now, the host
        // would take them for the first frames after the reset.
        std::erase_if(Delayed_, [](const auto& held) {
            return held.second.size() >= link::HeaderSize && held.second[1] == link::FrameBoxData;
        });
        LastRequest_ = sequence;
        return;
    }
    if (sequence == LastRequest_) return; // sent again because our acknowledgement was late or lost
    LastRequest_ = sequence;
    if (type == link::FrameCommand)
        QueueReply(Instruments_.Execute(Buffer + link::HeaderSize, Len - link::HeaderSize));
}

void TBoxSimulator::QueueReply(const TReplyPieces& Pieces) {
    for (const auto& piece : Pieces) {
        TDatagram datagram{NextSequence_, link::FrameBoxData};
        datagram.insert(datagram.end(), piece.begin(), piece.end());
        Frames_.push_back({std::move(datagram), false, TClock::time_point{}});
        NextSequence_ = static_cast<std::uint8_t>(NextSequence_ + 1);
    }
}

void TBoxSimulator::SendDueFrames(TClock::time_point Now) {
    if (!HaveHost_) return;
    const std::size_t window = std::min<std::size_t>(Frames_.size(), MaxFramesAhead + 1);
    for (std::size_t i = 0; i < window; ++i) {
        TFrame& frame = Frames_[i];
        if (frame.Acknowledged || frame.NextSend > Now) continue;
        frame.NextSend = Now + Options_.Resend;
        Emit(frame.Datagram, false, Now);
    }
}

void TBoxSimulator::SendDelayed(TClock::time_point Now) {
    while (!Delayed_.empty() && Delayed_.begin()->first <= Now) {
        SendRaw(Delayed_.begin()->second);
        Delayed_.erase(Delayed_.begin());
    }
}

TClock::time_point TBoxSimulator::NextWakeUp() const {
    auto wake = Delayed_.empty() ? TClock::time_point::max() : Delayed_.begin()->first;
    if (!HaveHost_) return wake;
    const std::size_t window = std::min<std::size_t>(Frames_.size(), MaxFramesAhead + 1);
    for (std::size_t i = 0; i < window; ++i)
        if (!Frames_[i].Acknowledged) wake = std::min(wake, Frames_[i].NextSend);
    return wake;
}

void TBoxSimulator::Emit(const TDatagram& Datagram, bool LateAck, TClock::time_point Now) {
    const TFaults& faults = Options_.Faults;
    const int copies = Chance(faults.Duplicate) ? 2 : 1;
    for (int copy = 0; copy < copies; ++copy) {
        if (LateAck && Chance(faults.LateAck))
            Delayed_.emplace(Now + faults.LateAckDelay, Datagram);
        else if (Chance(faults.Reorder))
            Delayed_.emplace(Now + faults.ReorderDelay, Datagram);
        else
            SendRaw(Datagram);
    }
}

void TBoxSimulator::SendRaw(const TDatagram& Datagram) {
    const int len = static_cast<int>(Datagram.size());
    if (Chance(Options_.Faults.Loss)) {
        Log("lost ->", Datagram.data(), len);
        return;
    }
    Log("->", Datagram.data(), len);
    // A full socket buffer loses the datagram, as the network would.
    ::sendto(Socket_, Datagram.data(), Datagram.size(), 0,
             reinterpret_cast<const sockaddr*>(&Host_), sizeof Host_);
}

bool TBoxSimulator::Chance(double Share) {
    return Share > 0 && std::uniform_real_distribution<double>(0, 1)(Random_) < Share;
}

void TBoxSimulator::Log(const char* Direction, const std::uint8_t* Buffer, int Len) const {
    if (!Options_.Verbose) return;
    std::fprintf(stderr, "velk-boxsim: %-7s", Direction);
    for (int i = 0; i < Len && i < 24; ++i)
        std::fprintf(stderr, " %02x", Buffer[i]);
    std::fprintf(stderr, Len > 24 ? " ... (%d bytes)\n" : " (%d bytes)\n", Len);
}

} // namespace velk::boxsim
