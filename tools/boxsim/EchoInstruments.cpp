#include "tools/boxsim/EchoInstruments.h"

#include <algorithm>

#include "tools/boxsim/CommandFrame.h"

namespace velk::boxsim {

TReplyPieces TEchoInstruments::Execute(const std::uint8_t* Payload, int Len) {
    const TCommandBody body = CommandBody(Payload, Len);
    TReplyPieces pieces;
    if (!body.Ok) return pieces;
    for (std::size_t at = 0; at < body.Bytes.size(); at += static_cast<std::size_t>(PieceSize_)) {
        const auto end = std::min(body.Bytes.size(), at + static_cast<std::size_t>(PieceSize_));
        pieces.emplace_back(body.Bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            body.Bytes.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return pieces;
}

} // namespace velk::boxsim
