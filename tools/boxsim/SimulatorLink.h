#pragma once
// Opens a link to velk-boxsim at its default address as the connect command opens one to the
// box (port 192, a 4096-byte receive buffer, then the reset handshake): for the benchmarks
// and the soak, which run the simulator beside them.

#include "devices/EthernetDispatcher.h"
#include "devices/LinkProtocol.h"

namespace velk::boxsim {

inline void OpenSimulatorLink(TEthernetLinkShared& Link) {
    Link.SetPort(link::BoxPort);
    Link.SetReceiveBufferSize(4096);
    Link.SetAddrB1(127);
    Link.SetAddrB4(2);
    Link.SetActive(true);
    Link.ResetLink();
}

} // namespace velk::boxsim
