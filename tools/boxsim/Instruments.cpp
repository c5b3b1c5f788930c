#include "tools/boxsim/Instruments.h"

#include <string_view>

#include "tools/boxsim/CommandFrame.h"

namespace velk::boxsim {

namespace {

constexpr std::uint8_t Stx = 0x02;
constexpr std::uint8_t Ack = 0x06;

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

} // namespace

TReplyPieces TInstruments::Execute(const std::uint8_t* Payload, int Len) {
    const TCommandBody body = CommandBody(Payload, Len);
    if (!body.Ok || body.Bytes.empty()) return {};
    const auto frame = body.Bytes;
    if (frame[0] == Stx && frame.size() >= 4) {
        // Controller: STX, "L", its two address digits, a reply text of zeros, ACK.
        std::vector<std::uint8_t> reply{Stx, 'L', frame[2], frame[3]};
        const auto text = Bytes("00000000");
        reply.insert(reply.end(), text.begin(), text.end());
        reply.push_back(Ack);
        return {reply};
    }
    if (frame[0] == '#')
        // Analog module: the reply crosses two data frames, as a real box may cut it.
        return {Bytes(">+05."), Bytes("000\r")};
    return {};
}

} // namespace velk::boxsim
