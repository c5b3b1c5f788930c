#pragma once
// A UDP socket standing where the interface box would be, so that a test scripts the box's
// datagrams one by one and sees exactly what the link sends.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::test {

using TBytes = std::vector<std::uint8_t>;

// A command payload as the drivers frame it: the frame's length (high byte first), two
// filler bytes, then Body.
TBytes CommandPayload(const std::string& Body);

class TScriptedPeer {
public:
    // Binds Address:Port (with SO_REUSEADDR, as the link does).
    explicit TScriptedPeer(const std::string& Address = "127.0.0.2", std::uint16_t Port = 192);
    ~TScriptedPeer();
    TScriptedPeer(const TScriptedPeer&) = delete;
    TScriptedPeer& operator=(const TScriptedPeer&) = delete;

    // The next datagram sent to this socket, or nothing within the time-out.
    std::optional<TBytes> Receive(std::chrono::milliseconds Timeout = std::chrono::seconds(5));
    // Sends to the link (127.0.0.1:192, where the link's socket bound on all addresses gets it).
    void Send(const TBytes& Datagram);

private:
    int Socket_ = -1;
};

} // namespace velk::test
