#pragma once
// The reference both device benchmarks compare with: a bare UDP request/reply round trip
// between two loopback sockets, with no protocol on top.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace velk::bench {

// Two UDP sockets on loopback and a thread that echoes every datagram: the cheapest request
// and answer the machine can do, without any protocol on top.
class BarePingPong {
public:
    BarePingPong() : echo_(Bound("127.0.0.3")), client_(Bound("127.0.0.1")) {
        sockaddr_in to = Address("127.0.0.3");
        socklen_t size = sizeof to;
        ::getsockname(echo_, reinterpret_cast<sockaddr*>(&to), &size);
        ::connect(client_, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        thread_ = std::thread([this] {
            char buffer[64];
            sockaddr_in from{};
            for (;;) {
                socklen_t fromSize = sizeof from;
                const ssize_t n = ::recvfrom(echo_, buffer, sizeof buffer, 0,
                                             reinterpret_cast<sockaddr*>(&from), &fromSize);
                if (n <= 0 || buffer[0] == 'q') return;
                ::sendto(echo_, buffer, static_cast<std::size_t>(n), 0,
                         reinterpret_cast<const sockaddr*>(&from), fromSize);
            }
        });
    }
    ~BarePingPong() {
        ::send(client_, "q", 1, 0);
        thread_.join();
        ::close(client_);
        ::close(echo_);
    }
    void RoundTrip() {
        // The size of a typical instrument command request.
        char buffer[16] = {1, 3};
        if (::send(client_, buffer, sizeof buffer, 0) != sizeof buffer ||
            ::recv(client_, buffer, sizeof buffer, 0) <= 0)
            throw std::runtime_error("ping-pong failed");
    }

private:
    static sockaddr_in Address(const char* dotted) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        inet_pton(AF_INET, dotted, &a.sin_addr);
        return a;
    }
    static int Bound(const char* dotted) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const sockaddr_in a = Address(dotted);
        if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
            throw std::runtime_error("cannot bind a loopback socket");
        return fd;
    }
    int echo_;
    int client_;
    std::thread thread_;
};

} // namespace velk::bench
