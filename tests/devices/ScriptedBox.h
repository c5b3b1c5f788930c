#pragma once
// A scripted interface box on 127.0.0.2, UDP port 192, for the driver tests: it acknowledges
// every request, records each instrument command and answers it with the data frames the
// test's script returns. Nothing is lost or repeated: faults are the script's business.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <netinet/in.h>

#include <QByteArray>

namespace velk::test {

class ScriptedBox {
public:
    // Gets the command payload (length bytes, frame, fillers); returns the reply pieces, each
    // sent as one data frame (none: the instrument stays silent).
    using Script = std::function<std::vector<QByteArray>(const QByteArray& command)>;

    explicit ScriptedBox(Script script);
    ~ScriptedBox();
    ScriptedBox(const ScriptedBox&) = delete;
    ScriptedBox& operator=(const ScriptedBox&) = delete;

    std::vector<QByteArray> Commands() const;
    int CommandCount() const;

private:
    void Serve();
    void Send(const QByteArray& datagram);

    Script script_;
    int socket_ = -1;
    int stopFd_ = -1;
    mutable std::mutex lock_;
    std::vector<QByteArray> commands_;
    std::uint8_t nextSequence_ = 1;
    sockaddr_in host_{}; // where the requests come from
    std::thread thread_;
};

} // namespace velk::test
