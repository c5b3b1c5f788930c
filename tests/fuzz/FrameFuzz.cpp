// The instrument side of the reply stream: bytes as the link delivers them, cut into pieces of
// a size the input chooses, through the controller's or the module's frame assembler, then
// every decoder of that instrument on each reply text. Checks what the assembler hands on and
// that every decoded value lies in the range its text can stand for.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "devices/ADAM4017Protocol.h"
#include "devices/CN7600Protocol.h"
#include "devices/FrameAssembler.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace velk;

namespace {

// Four digits of tenths, possibly with a sign in place of the first digit.
void CheckTemperature(float value) {
    FUZZ_CHECK(std::isfinite(value) && std::fabs(value) <= 999.9f + 1e-3f);
}

// As the driver does: a text is decoded by the read whose reply length it has.
void DecodeControllerText(const QString& text) {
    try {
        if (text.size() == cn7600::kReadPV.ReplyLength) CheckTemperature(cn7600::DecodePV(text));
        if (text.size() == cn7600::kReadSP1.ReplyLength) {
            CheckTemperature(cn7600::DecodeSetPoint(cn7600::kReadSP1, text));
            const float power = cn7600::DecodePOV(text);
            FUZZ_CHECK(power >= -99.0f && power <= 999.0f);
        }
    } catch (const ECN7600connection&) {
    }
    try {
        cn7600::CheckWriteReply(text);
    } catch (const ECN7600connection&) {
    }
}

void DecodeModuleText(const QString& text) {
    try {
        FUZZ_CHECK(std::isfinite(adam4017::VoltsOrRaise(adam4017::kReadVacuum, text)));
    } catch (const EADAM4017Connection&) {
    }
    const auto volts = adam4017::Volts(text);
    if (!volts) return;
    FUZZ_CHECK(std::isfinite(*volts));
    const float vacuum = adam4017::VacuumFromVolts(static_cast<float>(*volts));
    FUZZ_CHECK(vacuum == -1.0f || (vacuum >= std::pow(10.0f, 1.667f * 0.5f - 11.33f) * 0.999f &&
                                   vacuum <= std::pow(10.0f, 1.667f * 9.5f - 11.33f) * 1.001f));
    const float level = adam4017::LevelFromVolts(*volts);
    FUZZ_CHECK(level >= 0.0f && level <= 100.0f);
    adam4017::StatusFromVolts(*volts);
}

// Stands where the driver's reply-complete handler stands: takes each frame's content.
class ReplyTexts final : public TSocketReceiveEvent {
public:
    ReplyTexts(bool controller, std::uint8_t start, std::uint8_t end)
        : controller_(controller), start_(start), end_(end) {}

    void OnReceive(const void* /*Sender*/, const std::uint8_t* Buffer,
                   int NbByteReceived) override {
        FUZZ_CHECK(NbByteReceived >= 1 && NbByteReceived <= TFrameAssembler::kCapacity);
        for (int i = 0; i < NbByteReceived; ++i)
            FUZZ_CHECK(Buffer[i] != start_ && Buffer[i] != end_);
        // The drivers refuse shorter frames and take the text behind the offset.
        const int minLength = controller_ ? cn7600::kMinReplyLength : adam4017::kMinReplyLength;
        const int offset = controller_ ? cn7600::kReplyTextOffset : adam4017::kReplyTextOffset;
        if (NbByteReceived < minLength) return;
        const QString text = QString::fromLatin1(reinterpret_cast<const char*>(Buffer) + offset,
                                                 NbByteReceived - offset);
        controller_ ? DecodeControllerText(text) : DecodeModuleText(text);
    }

private:
    const bool controller_;
    const std::uint8_t start_;
    const std::uint8_t end_;
};

} // namespace

// Byte 0: bit 0 picks the module instead of a controller, the rest the piece size; then the
// stream itself.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 1) return 0;
    const bool controller = (Data[0] & 1) == 0;
    const int piece = 1 + (Data[0] >> 1);
    const std::uint8_t start = controller ? cn7600::kSTX : adam4017::kFrameStart;
    const std::uint8_t end = controller ? cn7600::kACK : adam4017::kCR;
    ReplyTexts texts(controller, start, end);
    TFrameAssembler assembler(start, end, &texts);
    const int size = static_cast<int>(Size) - 1;
    for (int at = 0; at < size; at += piece) {
        assembler.OnReceive(nullptr, Data + 1 + at, std::min(piece, size - at));
        const int count = assembler.Count();
        FUZZ_CHECK(count == TFrameAssembler::kWaiting || count == TFrameAssembler::kDiscarding ||
                   (count >= 0 && count <= TFrameAssembler::kCapacity));
    }
    return 0;
}
