#pragma once
// A transport check for the simulated box: every command's instrument bytes come back as
// the reply, cut into pieces of a chosen size, so that a test can verify the byte stream.

#include "tools/boxsim/Instruments.h"

namespace velk::boxsim {

class TEchoInstruments : public TInstrumentSide {
public:
    explicit TEchoInstruments(int PieceSize) : PieceSize_(PieceSize) {}
    TReplyPieces Execute(const std::uint8_t* Payload, int Len) override;

private:
    int PieceSize_;
};

} // namespace velk::boxsim
