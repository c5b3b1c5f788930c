#pragma once
// The framing of an instrument command inside a box request: the first two bytes hold the
// frame's whole length n (high byte first), two filler bytes follow, then the instrument's
// own bytes up to n.

#include <cstdint>
#include <span>

namespace velk::boxsim {

inline constexpr int CommandHeaderSize = 4;

// The instrument's bytes of a command payload, or an empty span with ok = false when the
// length bytes do not describe the payload.
struct TCommandBody {
    bool Ok = false;
    std::span<const std::uint8_t> Bytes;
};

inline TCommandBody CommandBody(const std::uint8_t* Payload, int Len) {
    if (Len < CommandHeaderSize) return {};
    const int length = Payload[0] << 8 | Payload[1];
    if (length < CommandHeaderSize || length > Len) return {};
    return {true,
            {Payload + CommandHeaderSize, static_cast<std::size_t>(length - CommandHeaderSize)}};
}

} // namespace velk::boxsim
