#include "tools/boxsim/Instruments.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "devices/ADAM4017Protocol.h"
#include "devices/CN7600Protocol.h"

namespace velk::boxsim {

namespace {

constexpr int kLengthBytes = 2;
constexpr int kFillerBytes = 2;
constexpr int kRefusedUnknownCommand = 1;

// The instrument frame of a command payload: the length bytes count themselves and the frame;
// the two filler bytes behind it are not part of it.
std::optional<std::string> InstrumentFrame(const std::uint8_t* Payload, int Len) {
    if (Len < kLengthBytes) return std::nullopt;
    const int n = Payload[0] << 8 | Payload[1];
    if (n <= kLengthBytes || n + kFillerBytes > Len) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(Payload) + kLengthBytes,
                       static_cast<std::size_t>(n - kLengthBytes));
}

std::optional<int> Hex(const std::string& Digits) {
    int value = 0;
    for (char c : Digits) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + digit;
    }
    return Digits.empty() ? std::nullopt : std::optional<int>(value);
}

std::string Format(const char* Pattern, double Value) {
    char text[32];
    std::snprintf(text, sizeof text, Pattern, Value);
    return text;
}

// A controller's reply text ends with two checksum digits over the text before them.
std::string WithChecksum(const std::string& Text) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X",
                  cn7600::Checksum(QByteArray(), QByteArray::fromStdString(Text)));
    return Text + digits;
}

// Sign digit and four digits of tenths, as the process value carries them.
std::string Tenths(double Degrees) {
    return Format("%04.0f", std::min(9999.0, std::round(std::fabs(Degrees) * 10.0)));
}

} // namespace

TInstruments::TInstruments(const TInstrumentOptions& Options)
    : Options_(Options), Model_(Options.Seed), Random_(Options.Seed + 1) {
    for (const auto& [quantity, value] : Options_.Forced)
        Model_.Force(quantity, value);
    Model_.SetSpeed(Options_.Speed);
}

TReplyPieces TInstruments::Execute(const std::uint8_t* Payload, int Len) {
    const auto frame = InstrumentFrame(Payload, Len);
    if (!frame) return {};
    Model_.Advance(TColdSourceModel::TClock::now());
    const std::string& f = *frame;

    if (f.size() >= 9 && f.front() == static_cast<char>(cn7600::kSTX) && f[1] == 'L' &&
        f.back() == static_cast<char>(cn7600::kETX)) {
        // STX "L" address(2) command checksum(2) ETX; a frame with a wrong checksum is ignored.
        const std::string digits = f.substr(2, 2);
        const std::string command = f.substr(4, f.size() - 7);
        const auto address = Hex(digits);
        const auto checksum = Hex(f.substr(f.size() - 3, 2));
        if (!address || !checksum ||
            *checksum != cn7600::Checksum(QByteArray::fromStdString(digits),
                                          QByteArray::fromStdString(command)))
            return {};
        const auto text = ControllerText(*address, command);
        if (!text) return {};
        TBytes reply{cn7600::kSTX, 'L'};
        const std::string content = digits + Corrupted(*text);
        reply.insert(reply.end(), content.begin(), content.end());
        reply.push_back(cn7600::kACK);
        return Pieces(std::move(reply));
    }
    if (f.size() == 5 && f.front() == '#' && f.back() == static_cast<char>(adam4017::kCR)) {
        const auto address = Hex(f.substr(1, 2));
        const auto channel = Hex(f.substr(3, 1));
        if (!address || !channel) return {};
        const auto text = ModuleText(*address, *channel);
        if (!text) return {};
        TBytes reply{adam4017::kFrameStart};
        const std::string content = Corrupted(*text);
        reply.insert(reply.end(), content.begin(), content.end());
        reply.push_back(adam4017::kCR);
        return Pieces(std::move(reply));
    }
    return {};
}

std::optional<std::string> TInstruments::ControllerText(int Address, const std::string& Command) {
    if (Address == 1   ? Silenced(Options_.SilentController1)
        : Address == 2 ? Silenced(Options_.SilentController2)
                       : true)
        return std::nullopt;
    const bool first = Address == 1;
    const auto value = [&](TQuantity one, TQuantity two) {
        return Model_.Value(first ? one : two);
    };
    const auto setPointText = [](double degrees) {
        return WithChecksum((degrees < 0 ? "FF" : "00") + Tenths(degrees));
    };

    if (Command == cn7600::kReadPV.Command) {
        const double pv = value(TQuantity::Temp1, TQuantity::Temp2);
        return WithChecksum(std::string("000") + (pv < 0 ? "1" : "0") + Tenths(pv));
    }
    if (Command == cn7600::kReadSP1.Command)
        return setPointText(value(TQuantity::SetPoint1, TQuantity::SetPoint2));
    if (Command == cn7600::kReadAlLo.Command)
        return setPointText(Model_.Value(TQuantity::AlarmLow));
    if (Command == cn7600::kReadPOV.Command) {
        // Only the cold plate's controller regulates; the other reports no output.
        const double power = first ? Model_.Value(TQuantity::Power) : 0.0;
        return WithChecksum("000" + Format("%03.0f", std::clamp(power, 0.0, 999.0)));
    }

    const std::string writeSP1 = cn7600::kWriteSP1.Prefix, writeAlLo = cn7600::kWriteAlLo.Prefix;
    const std::string prefix = Command.substr(0, 4);
    if (Command.size() == 10 && (prefix == writeSP1 || prefix == writeAlLo)) {
        if (Options_.RefuseWrites)
            return WithChecksum(
                Format("N000%02.0f", static_cast<double>(*Options_.RefuseWrites % 100)));
        int tenths = 0;
        for (char c : Command.substr(4, 4)) {
            if (c < '0' || c > '9') return WithChecksum("N00002");
            tenths = tenths * 10 + (c - '0');
        }
        const double degrees = tenths * (Command.substr(8, 2) == "00" ? 0.1 : -0.1);
        if (prefix == writeSP1)
            Model_.SetSetPoint(Address, degrees);
        else
            Model_.SetAlarmLow(degrees);
        return WithChecksum("Y00000");
    }
    return WithChecksum(Format("N000%02.0f", static_cast<double>(kRefusedUnknownCommand)));
}

std::optional<std::string> TInstruments::ModuleText(int Address, int Channel) {
    if (Address != 1 || Silenced(Options_.SilentModule)) return std::nullopt;
    double volts = 0; // unused inputs read as open
    if (Channel == adam4017::kReadLN2Level.Channel)
        volts = Model_.Value(TQuantity::Level) / 10.0;
    else if (Channel == adam4017::kReadVacuum.Channel)
        volts = (std::log10(std::max(Model_.Value(TQuantity::Vacuum), 1e-30)) + 11.33) / 1.667;
    else if (Channel == adam4017::kReadPumpStatus.Channel)
        volts = Model_.Value(TQuantity::PumpStopped) != 0 ? 5.0 : 0.0;
    else if (Channel == adam4017::kReadValveStatus.Channel)
        volts = Model_.Value(TQuantity::ValveClosed) != 0 ? 5.0 : 0.0;
    return Format("%+07.3f", volts);
}

std::string TInstruments::Corrupted(std::string Text) {
    std::uniform_real_distribution<double> share(0.0, 1.0);
    if (Text.empty() || share(Random_) >= Options_.Corrupt) return Text;
    std::uniform_int_distribution<std::size_t> at(0, Text.size() - 1);
    switch (std::uniform_int_distribution<int>(0, 2)(Random_)) {
    case 0: { // a digit read wrong
        char& c = Text[at(Random_)];
        c = c >= '0' && c <= '8' ? static_cast<char>(c + 1) : '0';
        break;
    }
    case 1: // a character lost
        Text.erase(at(Random_), 1);
        break;
    default: // noise on the line
        Text[at(Random_)] = '?';
        break;
    }
    return Text;
}

TReplyPieces TInstruments::Pieces(TBytes Reply) {
    // Some replies cross two data frames, as a real box may cut them.
    if (Reply.size() < 2 ||
        std::uniform_real_distribution<double>(0.0, 1.0)(Random_) >= Options_.Split)
        return {Reply};
    const auto cut = static_cast<std::ptrdiff_t>(
        std::uniform_int_distribution<std::size_t>(1, Reply.size() - 1)(Random_));
    return {TBytes(Reply.begin(), Reply.begin() + cut), TBytes(Reply.begin() + cut, Reply.end())};
}

} // namespace velk::boxsim
