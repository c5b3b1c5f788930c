// velk-probe: one acquisition from the interface box with the real link and drivers, for lab
// staff and scripts. Prints one "NAME<TAB>VALUE" line per quantity, in the order and groups of
// an acquisition tick, with the values as the main window shows them.
//
//   velk-probe [--set-point ADDR VALUE] [--alarm-low VALUE] [ADDRESS]
//
// Exit status: 0 every read succeeded, 1 a group (or a write) failed, 2 usage or link error.

#include <cstdio>
#include <functional>
#include <optional>

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include "common/NumberFormat.h"
#include "devices/ADAM4017Interface.h"
#include "devices/CN7600Interface.h"
#include "devices/EthernetDispatcher.h"
#include "devices/LinkProtocol.h"
#include "devices/Quantities.h"

using namespace velk;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kReceiveBuffer = 4096;
const char* const kDefaultAddress = "127.0.0.2";

const char* const kUsage =
    "Usage: velk-probe [--set-point ADDR VALUE] [--alarm-low VALUE] [ADDRESS]\n"
    "Reads every quantity once from the interface box at ADDRESS (default 127.0.0.2).\n"
    "  --set-point ADDR VALUE  first write set point 1 of controller ADDR (1 or 2), degrees\n"
    "  --alarm-low VALUE       first write the low alarm of controller 2, degrees\n"
    "Exit status: 0 all read, 1 a read or write failed, 2 usage or link error.\n";

struct TOptions {
    quint32 Address = 0;
    std::optional<std::pair<int, float>> SetPoint;
    std::optional<float> AlarmLow;
    bool Help = false;
};

class EUsage : public Exception {
public:
    using Exception::Exception;
};

float Degrees(const QString& text, const char* option) {
    const auto value = ParseReal(text, QChar('.'));
    if (!value)
        throw EUsage(QStringLiteral("%1 needs a number written with \".\", got '%2'")
                         .arg(QLatin1String(option), text));
    return static_cast<float>(*value);
}

TOptions ParseArguments(const QStringList& args) {
    TOptions options;
    QString address = QLatin1String(kDefaultAddress);
    bool addressGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        auto next = [&](const char* what) {
            if (++i >= args.size())
                throw EUsage(arg + QStringLiteral(" needs ") + QLatin1String(what));
            return args[i];
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.Help = true;
        } else if (arg == QLatin1String("--set-point")) {
            const QString controller = next("ADDR and VALUE");
            const auto addr = ParseInteger(controller);
            if (!addr || (*addr != 1 && *addr != 2))
                throw EUsage(QStringLiteral("--set-point needs controller 1 or 2, got '%1'")
                                 .arg(controller));
            options.SetPoint = {{*addr, Degrees(next("VALUE"), "--set-point")}};
        } else if (arg == QLatin1String("--alarm-low")) {
            options.AlarmLow = Degrees(next("VALUE"), "--alarm-low");
        } else if (arg.startsWith(QLatin1Char('-'))) {
            throw EUsage(QStringLiteral("unknown option '%1'").arg(arg));
        } else if (addressGiven) {
            throw EUsage(QStringLiteral("one address only, got '%1' too").arg(arg));
        } else {
            address = arg;
            addressGiven = true;
        }
    }
    QHostAddress host;
    if (!host.setAddress(address) || host.protocol() != QAbstractSocket::IPv4Protocol ||
        address.count(QLatin1Char('.')) != 3)
        throw EUsage(
            QStringLiteral("'%1' is no IPv4 address (four numbers 0-255 with dots)").arg(address));
    options.Address = host.toIPv4Address();
    return options;
}

void PrintLine(const QString& name, const QString& value) {
    std::printf("%s\t%s\n", name.toUtf8().constData(), value.toUtf8().constData());
    std::fflush(stdout);
}

template <class EDriver> bool RunWrite(const std::function<void()>& write) {
    try {
        write();
        return true;
    } catch (const EDriver& e) {
        PrintLine(QStringLiteral("error"), e.Message());
        return false;
    }
}

int Probe(const TOptions& options) {
    TCN7600connection cn7600;
    TADAM4017Connection adam4017;
    // Declared after the drivers: the link, whose receive thread may call them, goes first.
    TEthernetLinkShared link;
    link.SetPort(link::BoxPort);
    link.SetReceiveBufferSize(kReceiveBuffer);
    link.SetAddrB1(static_cast<std::uint8_t>(options.Address >> 24));
    link.SetAddrB2(static_cast<std::uint8_t>(options.Address >> 16));
    link.SetAddrB3(static_cast<std::uint8_t>(options.Address >> 8));
    link.SetAddrB4(static_cast<std::uint8_t>(options.Address));
    link.SetActive(true);
    link.ResetLink();
    cn7600.Attach(&link);
    adam4017.Attach(&link);

    bool ok = true;
    if (options.SetPoint)
        ok &= RunWrite<ECN7600connection>([&] {
            cn7600.WriteSP1(static_cast<std::uint8_t>(options.SetPoint->first),
                            options.SetPoint->second);
        });
    if (options.AlarmLow)
        ok &= RunWrite<ECN7600connection>([&] { cn7600.WriteAlLo(2, *options.AlarmLow); });

    // Each line as soon as its read succeeded, and at a group's first failure its message.
    for (int group = 0; group < kGroupCount; ++group) {
        const std::optional<QString> failure =
            ReadGroup(static_cast<TInstrumentGroup>(group), {cn7600, adam4017},
                      [](const TQuantityInfo& quantity, double value) {
                          PrintLine(QLatin1String(quantity.Name), QuantityText(quantity, value));
                      });
        if (failure) PrintLine(QStringLiteral("error"), *failure);
        ok &= !failure;
    }
    cn7600.Detach();
    adam4017.Detach();
    return ok ? kExitOk : kExitFailed;
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    try {
        const TOptions options = ParseArguments(args);
        if (options.Help) {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        return Probe(options);
    } catch (const EUsage& e) {
        std::fprintf(stderr, "velk-probe: %s\n%s", e.what(), kUsage);
        return kExitUsage;
    } catch (const Exception& e) {
        // The link could not be opened or the box did not answer its reset.
        std::fprintf(stderr, "velk-probe: %s\n", e.what());
        return kExitUsage;
    }
}
