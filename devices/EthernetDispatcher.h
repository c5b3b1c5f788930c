#pragma once
// The link shared by several instrument drivers: each driver holds Lock for a whole
// transaction (attach its handler, send, wait for the reply, detach).

#include <mutex>

#include "devices/EtherLinkUDP.h"

namespace velk {

class TEthernetLinkShared : public TEtherLinkUDP {
public:
    TEthernetLinkShared() = default;
    ~TEthernetLinkShared() override;

    // The link itself never takes it.
    std::recursive_mutex Lock;
};

} // namespace velk
