#include "devices/ADAM4017Interface.h"

#include "devices/ReadVote.h"

namespace velk {

namespace {

// The voted text, or the operation's message when the reads disagree.
QString Agreed(const adam4017::TChannelOperation& Op, const std::optional<QString>& Text) {
    if (!Text) throw EADAM4017Connection(DisagreementMessage(Op.Name));
    return *Text;
}

} // namespace

TADAM4017Connection::TADAM4017Connection()
    : TInstrumentConnection(adam4017::kFrameStart, adam4017::kCR, adam4017::kMinReplyLength,
                            adam4017::kReplyTextOffset) {}

QString TADAM4017Connection::ExecuteCommand(const QByteArray& Command) {
    return TransactAs<EADAM4017Connection>(adam4017::BuildRequest(Command));
}

QString TADAM4017Connection::ReadOnce(std::uint8_t Address, const adam4017::TChannelOperation& Op) {
    return ExecuteCommand(adam4017::CommandText(Address, Op.Channel));
}

double TADAM4017Connection::ExactVolts(std::uint8_t Address,
                                       const adam4017::TChannelOperation& Op) {
    return adam4017::VoltsOrRaise(Op, Agreed(Op, ExactVote([&] { return ReadOnce(Address, Op); })));
}

double TADAM4017Connection::RelativeVolts(std::uint8_t Address,
                                          const adam4017::TChannelOperation& Op) {
    const auto text = RelativeVote([&] { return ReadOnce(Address, Op); },
                                   [](const QString& reply) {
                                       const auto volts = adam4017::Volts(reply);
                                       if (!volts) throw EADAM4017Connection(reply);
                                       return *volts;
                                   });
    return adam4017::VoltsOrRaise(Op, Agreed(Op, text));
}

float TADAM4017Connection::ReadVacuum(std::uint8_t Address) {
    return adam4017::VacuumFromVolts(
        static_cast<float>(RelativeVolts(Address, adam4017::kReadVacuum)));
}

bool TADAM4017Connection::ReadPumpStatus(std::uint8_t Address) {
    return adam4017::StatusFromVolts(ExactVolts(Address, adam4017::kReadPumpStatus));
}

bool TADAM4017Connection::ReadValveStatus(std::uint8_t Address) {
    return adam4017::StatusFromVolts(ExactVolts(Address, adam4017::kReadValveStatus));
}

float TADAM4017Connection::ReadLN2Level(std::uint8_t Address) {
    return adam4017::LevelFromVolts(RelativeVolts(Address, adam4017::kReadLN2Level));
}

} // namespace velk
