#pragma once
// What stands behind the simulated box: something that gets one instrument command and
// answers with the reply bytes the box sends back as its numbered data frames.

#include <cstdint>
#include <vector>

namespace velk::boxsim {

// One reply, cut into the pieces the box sends as separate data frames (none: no reply).
using TReplyPieces = std::vector<std::vector<std::uint8_t>>;

class TInstrumentSide {
public:
    virtual ~TInstrumentSide() = default;
    // Payload: the command payload of a type-3 request (length bytes and filler included).
    virtual TReplyPieces Execute(const std::uint8_t* Payload, int Len) = 0;
};

// The two temperature controllers and the analog input module, answering with fixed
// replies of the right shape for now.
class TInstruments : public TInstrumentSide {
public:
    TReplyPieces Execute(const std::uint8_t* Payload, int Len) override;
};

} // namespace velk::boxsim
