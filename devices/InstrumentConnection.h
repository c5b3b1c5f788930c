#pragma once
// The framed request/reply transaction both instrument drivers are built on: the request goes
// out as one command request of the shared link, the reply is collected by a frame assembler
// on the link's receive thread and handed over through ResponseEvent.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include <QByteArray>
#include <QString>

#include "common/Errors.h"
#include "common/SyncEvents.h"
#include "devices/FrameAssembler.h"
#include "devices/SocketReceiveEvent.h"

namespace velk {

class TEthernetLinkShared;

class TInstrumentConnection : private TSocketReceiveEvent {
public:
    static constexpr std::chrono::milliseconds kReplyTimeout{1000};

    TInstrumentConnection(const TInstrumentConnection&) = delete;
    TInstrumentConnection& operator=(const TInstrumentConnection&) = delete;

    // The link must be active and reset before the first command; it is never owned.
    void Attach(TEthernetLinkShared* Link) { link_ = Link; }
    void Detach() { link_ = nullptr; }
    bool Attached() const { return link_ != nullptr; }

protected:
    // `frameStart`/`frameEnd` delimit replies; a reply frame shorter than `minReplyLength` is
    // refused, and the reply text starts `textOffset` bytes into the frame content.
    TInstrumentConnection(std::uint8_t frameStart, std::uint8_t frameEnd, int minReplyLength,
                          int textOffset);
    ~TInstrumentConnection() override = default;

    // One transaction: sends `request` (length bytes, frame and fillers) and returns the reply
    // text. Failures, the link's included, raise velk::Exception with the message to show.
    QString Transact(const QByteArray& request);

    // Transact, with every failure beneath the driver raised again as the driver's own class
    // with its message unchanged.
    template <class EDriver> QString TransactAs(const QByteArray& request) {
        try {
            return Transact(request);
        } catch (const EDriver&) {
            throw;
        } catch (const Exception& e) {
            throw EDriver(e.Message());
        }
    }

private:
    static constexpr std::chrono::microseconds kReplyWatch{200};

    bool WaitReply();
    // Reply-complete: runs on the link's receive thread.
    void OnReceive(const void* Sender, const std::uint8_t* Buffer, int NbByteReceived) override;

    TFrameAssembler assembler_;
    TEthernetLinkShared* link_ = nullptr;
    ManualResetEvent ResponseEvent;
    std::atomic<bool> replied_{false}; // ResponseEvent's state, cheap to watch
    const int minReplyLength_;
    const int textOffset_;
    // A late or repeated reply may be written while the requester reads the previous one.
    std::mutex replyLock_;
    int replyLength_ = 0;
    std::uint8_t reply_[TFrameAssembler::kCapacity] = {};
};

} // namespace velk
