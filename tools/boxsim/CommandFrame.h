#pragma once
// The framing of an instrument command inside a box request: the first two bytes hold the
// length n of the length bytes plus the instrument's own bytes (high byte first), the
// instrument's bytes follow up to n, and two filler bytes close the request.

#include <cstdint>
#include <span>

namespace velk::boxsim {

inline constexpr int CommandLengthBytes = 2;

// The instrument's bytes of a command payload, or an empty span with ok = false when the
// length bytes do not describe the payload.
struct TCommandBody {
    bool Ok = false;
    std::span<const std::uint8_t> Bytes;
};

inline TCommandBody CommandBody(const std::uint8_t* Payload, int Len) {
    if (Len < CommandLengthBytes) return {};
    const int length = Payload[0] << 8 | Payload[1];
    if (length < CommandLengthBytes || length > Len) return {};
    return {true, {Payload + CommandLengthBytes, static_cast<std::size_t>(length - CommandLengthBytes)}};
}

} // namespace velk::boxsim
