#include "devices/EthernetDispatcher.h"

namespace velk {

TEthernetLinkShared::~TEthernetLinkShared() {
    CloseSocket();
}

} // namespace velk
