#pragma once
// Shared by both device benchmarks: velk-boxsim beside the benchmark program, their common
// settings, loopback sockets, and the reference they compare with: a bare UDP request/reply
// round trip between two loopback sockets, with no protocol on top.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "tools/boxsim/BoxSimLauncher.h"

namespace velk::bench {

// velk-boxsim from the benchmark's own folder, or nothing (the benchmark skipped with the
// reason) when it does not start.
inline std::unique_ptr<boxsim::TBoxSimLauncher>
StartBoxSimulator(benchmark::State& State, const std::vector<std::string>& Arguments) {
    try {
        return std::make_unique<boxsim::TBoxSimLauncher>(
            (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velk-boxsim")
                .string(),
            Arguments);
    } catch (const std::exception& error) {
        State.SkipWithError(error.what());
        return nullptr;
    }
}

inline sockaddr_in LoopbackAddress(const char* Dotted, std::uint16_t Port = 0) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(Port);
    inet_pton(AF_INET, Dotted, &a.sin_addr);
    return a;
}

// A UDP socket bound to Dotted:Port, sharing the port as the link and the simulator do.
inline int BoundSocket(const char* Dotted, std::uint16_t Port = 0) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const int yes = 1;
    const sockaddr_in a = LoopbackAddress(Dotted, Port);
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
        throw std::runtime_error(std::string("cannot bind a socket on ") + Dotted);
    return fd;
}

// Two UDP sockets on loopback and a thread that echoes every datagram: the cheapest request
// and answer the machine can do.
class BarePingPong {
public:
    BarePingPong() : echo_(BoundSocket("127.0.0.3")), client_(BoundSocket("127.0.0.1")) {
        sockaddr_in to{};
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
    int echo_;
    int client_;
    std::thread thread_;
};

} // namespace velk::bench
