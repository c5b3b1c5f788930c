#pragma once
// Wire constants of the interface box's request/acknowledge protocol, shared by the link
// and the box simulator so that both ends read them from one place.

#include <chrono>
#include <cstdint>

namespace velk::link {

// Both ends use this UDP port.
inline constexpr std::uint16_t BoxPort = 192;

// Every datagram starts with [sequence number, frame type].
inline constexpr int HeaderSize = 2;
// Longest payload of a host request, and so the request buffer of HeaderSize + 114 bytes.
inline constexpr int MaxRequestPayload = 114;

// Frame types. Host to box: reset, data for the box, instrument command. Box to host: an
// acknowledgement is type 0 or 1, a piece of the instruments' reply stream type 2 (which the
// host acknowledges with the same type).
inline constexpr std::uint8_t FrameReset = 0;
inline constexpr std::uint8_t FrameAckLow = 0;
inline constexpr std::uint8_t FrameAckHigh = 1;
inline constexpr std::uint8_t FrameData = 1;
inline constexpr std::uint8_t FrameBoxData = 2;
inline constexpr std::uint8_t FrameCommand = 3;

// A request is sent at most this many times, waiting this long for its acknowledgement each
// time, before the box is reported as not responding.
inline constexpr int MaxSends = 99;
inline constexpr std::chrono::milliseconds AckTimeout{150};

// The box numbers its data frames from this value after a reset.
inline constexpr int FirstBoxSequence = 1;

// Bytes kept per box data frame in the host's reorder window.
inline constexpr int SlotSize = 1700;

// Largest datagram the receive thread reads.
inline constexpr int MaxDatagram = 16384;

} // namespace velk::link
