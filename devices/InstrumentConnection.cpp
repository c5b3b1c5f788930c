#include "devices/InstrumentConnection.h"

#include <algorithm>
#include <cstring>

#include "devices/EthernetDispatcher.h"
#include "devices/InstrumentFrame.h"

namespace velk {

namespace {

// Leaves the link with no handler on every exit: bytes arriving between transactions are
// dropped by the link instead of reaching a driver that may no longer exist.
class HandlerGuard {
public:
    HandlerGuard(TEthernetLinkShared& link, TSocketReceiveEvent* handler) : link_(link) {
        link_.SetOnReceive(handler);
    }
    ~HandlerGuard() { link_.SetOnReceive(nullptr); }
    HandlerGuard(const HandlerGuard&) = delete;
    HandlerGuard& operator=(const HandlerGuard&) = delete;

private:
    TEthernetLinkShared& link_;
};

} // namespace

TInstrumentConnection::TInstrumentConnection(std::uint8_t frameStart, std::uint8_t frameEnd,
                                             int minReplyLength, int textOffset)
    : assembler_(frameStart, frameEnd, this), minReplyLength_(minReplyLength),
      textOffset_(textOffset) {}

void TInstrumentConnection::OnReceive(const void* /*Sender*/, const std::uint8_t* Buffer,
                                      int NbByteReceived) {
    {
        std::lock_guard lock(replyLock_);
        replyLength_ = std::clamp(NbByteReceived, 0, TFrameAssembler::kCapacity);
        std::memcpy(reply_, Buffer, static_cast<std::size_t>(replyLength_));
    }
    ResponseEvent.Set();
    // Last: a requester watching the flag detaches this handler at once, and must not find the
    // link still inside this delivery (it would have to sleep until the delivery ends).
    replied_.store(true);
}

bool TInstrumentConnection::WaitReply() {
    // The flag is watched; the event, set first, stands for it while the flag is on its way.
    return WatchThenWait([this] { return replied_.load() || ResponseEvent.IsSet(); }, ResponseEvent,
                         kReplyWatch, kReplyTimeout);
}

QString TInstrumentConnection::Transact(const QByteArray& request) {
    if (!link_) throw Exception(std::string("Connection not initialised !"));
    std::lock_guard transaction(link_->Lock);
    if (request.size() > kMaxInstrumentRequest) throw Exception(std::string("Command to large !"));
    ResponseEvent.Reset();
    replied_.store(false);
    HandlerGuard handler(*link_, &assembler_);
    link_->SendCommand(reinterpret_cast<const std::uint8_t*>(request.constData()),
                       static_cast<int>(request.size()));
    if (!WaitReply())
        throw Exception(QStringLiteral("Command failure (time out  %1 ms)")
                            .arg(static_cast<long long>(kReplyTimeout.count())));
    std::lock_guard lock(replyLock_);
    if (replyLength_ < minReplyLength_) throw Exception(std::string("Bad received response !"));
    return QString::fromLatin1(reinterpret_cast<const char*>(reply_) + textOffset_,
                               replyLength_ - textOffset_);
}

} // namespace velk
