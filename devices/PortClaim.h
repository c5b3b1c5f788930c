#pragma once
// One active link per UDP port on this computer: the link holds an abstract Unix socket named
// after its port while it is active. The name lives in the network namespace and the kernel
// drops it with the socket, also when the process dies.

namespace velk {

class TPortClaim {
public:
    TPortClaim() = default;
    ~TPortClaim();
    TPortClaim(const TPortClaim&) = delete;
    TPortClaim& operator=(const TPortClaim&) = delete;

    // Raises ESocketUDPError naming the port when another link, in this process or another,
    // holds it. Taking it again keeps it.
    void Take(int Port);
    void Release();

private:
    int Socket_ = -1;
};

} // namespace velk
