#include "app/Acquisition.h"

#include <optional>
#include <tuple>
#include <type_traits>

#include "common/DateTimeText.h"
#include "common/ThreadSynchronize.h"
#include "devices/LinkProtocol.h"

namespace velk {

namespace {
constexpr int kReceiveBufferSize = 4096;

// Calls `use` with the member that keeps `quantity`.
template <class Readings, class Use> void WithReading(Readings& r, TQuantity quantity, Use use) {
    // In TQuantity order.
    const auto members = std::tie(r.Temp[1], r.SetPoint[1], r.Temp[2], r.SetPoint[2], r.AlarmLow,
                                  r.Power, r.Vacuum, r.PumpStatus, r.ValveStatus, r.LN2Level);
    static_assert(std::tuple_size_v<decltype(members)> == kQuantityCount);
    std::apply(
        [&](auto&... member) {
            int index = 0;
            ((index++ == quantity ? use(member) : void()), ...);
        },
        members);
}

} // namespace

double TReadings::Value(TQuantity quantity) const {
    double value = 0.0;
    WithReading(*this, quantity, [&value](const auto& reading) { value = reading; });
    return value;
}

void TReadings::Store(TQuantity quantity, double value) {
    WithReading(*this, quantity, [value](auto& reading) {
        reading = static_cast<std::remove_reference_t<decltype(reading)>>(value);
    });
}

void TReadings::Clear() {
    for (const TQuantityInfo& quantity : Quantities())
        Store(quantity.Quantity, quantity.NoValue);
    Fresh.fill(false);
    LastRead.fill(QDateTime());
    GroupAnswer.fill(TGroupAnswer::None);
    Lost = false;
}

QString DeviceErrorLine(const QString& message, const QDateTime& when) {
    return message + QStringLiteral("  (") + DateTimeText(when) + QLatin1Char(')');
}

TAcquisition::TAcquisition(int interval, TMainThreadMethod logDeviceError,
                           TMainThreadMethod updateDisplay)
    : logDeviceError_(std::move(logDeviceError)), updateDisplay_(std::move(updateDisplay)) {
    Timer = std::make_unique<THiResTimer>();
    Timer->SetInterval(interval);
    Timer->SetOnTimer([this](THiResTimer*) { TimerTick(); });
    Timer->SetEnabled(false);
}

TAcquisition::~TAcquisition() {
    // Freeing the timer waits for every tick still running, which uses the drivers and the
    // link: they go only afterwards.
    if (Timer) Timer->SetEnabled(false);
    Timer.reset();
    std::lock_guard lock(ReadingsLock);
    Link.reset();
}

bool TAcquisition::ReadAll(std::array<std::optional<QString>, kGroupCount>& errors) {
    TReadings& r = Readings;
    // Each value is stored as soon as it arrives; the first failure ends its group.
    const auto store = [&r](const TQuantityInfo& quantity, double value) {
        r.Store(quantity.Quantity, value);
        r.Refreshed(quantity.Quantity, QDateTime::currentDateTime());
    };
    errors[gControllers] = ReadGroup(gControllers, {CN7600, ADAM4017}, store);
    // A box that has stopped acknowledging costs each group half a minute of resends: once
    // it has been silent too long the module is not asked, and the tick judges it lost.
    if (errors[gControllers] && Link &&
        reconnection_.SilentTooLong(TReconnection::Clock::now(), Link->LastHeard(),
                                    std::chrono::milliseconds(Timer->Interval()))) {
        return false;
    }
    errors[gModule] = ReadGroup(gModule, {CN7600, ADAM4017}, store);
    return true;
}

bool TAcquisition::TryAgain(std::vector<QString>& lines) {
    const auto now = TReconnection::Clock::now();
    if (!reconnection_.AttemptDue(now)) return false;
    try {
        Link->ResetLink(TReconnection::kAttemptSends);
    } catch (const EEtherLinkError& e) {
        // Once for a start-up connection that never answered; an outage was told already.
        if (reconnection_.AttemptFailed(TReconnection::Clock::now()))
            lines.push_back(DeviceErrorLine(e.Message(), QDateTime::currentDateTime()));
        return false;
    }
    if (const auto away = reconnection_.AttemptSucceeded(TReconnection::Clock::now()))
        lines.push_back(
            ConnectionBackLine(address_, std::chrono::round<std::chrono::seconds>(*away)));
    Readings.Lost = false;
    return true;
}

void TAcquisition::Judge(bool allFailed, std::uint64_t refusedBefore,
                         TReconnection::Clock::time_point start, std::vector<QString>& lines) {
    const auto heard = Link->LastHeard();
    // The box acknowledged, yet no reply came through and its data frames were taken for old
    // ones: it numbers them from 1 again.
    const bool restarted = allFailed && heard >= start && Link->RefusedFrames() > refusedBefore;
    const auto now = TReconnection::Clock::now();
    if (!reconnection_.Judge(now, heard, std::chrono::milliseconds(Timer->Interval()), restarted))
        return;
    Readings.Lost = true;
    const QDateTime since = QDateTime::currentDateTime().addMSecs(
        -std::chrono::duration_cast<std::chrono::milliseconds>(now - reconnection_.LastHeard())
             .count());
    lines.push_back(ConnectionLostLine(address_, since));
}

void TAcquisition::TimerTick() {
    const auto tickStart = std::chrono::steady_clock::now();
    std::array<std::optional<QString>, kGroupCount> errors;
    std::vector<QString> lines;
    bool read = true, moduleAsked = false, lost = false;
    {
        std::lock_guard lock(ReadingsLock);
        TReadings& r = Readings;
        r.PreviousTickSeconds = std::chrono::duration<double>(lastTick_).count();
        r.Fresh.fill(false);
        if (Link && reconnection_.Lost()) read = TryAgain(lines);
        if (read) {
            const auto start = TReconnection::Clock::now();
            const std::uint64_t refused = Link ? Link->RefusedFrames() : 0;
            moduleAsked = ReadAll(errors);
            if (Link)
                Judge(errors[gControllers] && (errors[gModule] || !moduleAsked), refused, start,
                      lines);
        }
        // While the box is away, every group counts as failing, for the silent-instrument mail.
        r.GroupAnswer[gControllers] =
            !read || errors[gControllers] ? TGroupAnswer::Failed : TGroupAnswer::Answered;
        r.GroupAnswer[gModule] =
            !moduleAsked || errors[gModule] ? TGroupAnswer::Failed : TGroupAnswer::Answered;
        for (int group = 0; group < kGroupCount; ++group) {
            if (r.GroupAnswer[group] == TGroupAnswer::Failed)
                ++r.FailedTicks[group];
            else
                r.LastAnswered[group] = QDateTime::currentDateTime();
        }
        ++r.TickCount;
        lost = r.Lost;
    }
    // The main thread takes ReadingsLock itself: it is called only once the lock is free.
    for (const auto& error : errors) {
        if (!error) continue;
        Readings.ErrorMessage = *error;
        CallInMainThread(0, logDeviceError_);
    }
    for (const QString& line : lines)
        if (connectionLine_)
            CallInMainThread(0, [this, &line](std::int32_t) { connectionLine_(line); });
    CallInMainThread(0, updateDisplay_);
    lastTick_ = std::chrono::steady_clock::now() - tickStart;
    // Only now has the tick completed: a main thread that hangs stops the heartbeat too, and
    // so does a box that is away, for the watchdog to see.
    if (lost) return;
    if (const std::optional<QString> failure = aliveFile_.Touch()) {
        Readings.ErrorMessage = *failure;
        CallInMainThread(0, logDeviceError_);
    }
}

std::unique_ptr<TEthernetLinkShared> TAcquisition::OpenLink(int a1, int a2, int a3, int a4) {
    auto link = std::make_unique<TEthernetLinkShared>();
    link->SetPort(link::BoxPort);
    link->SetReceiveBufferSize(kReceiveBufferSize);
    link->SetAddrB1(static_cast<std::uint8_t>(a1));
    link->SetAddrB2(static_cast<std::uint8_t>(a2));
    link->SetAddrB3(static_cast<std::uint8_t>(a3));
    link->SetAddrB4(static_cast<std::uint8_t>(a4));
    address_ =
        QStringLiteral("%1.%2.%3.%4").arg(a1 & 0xFF).arg(a2 & 0xFF).arg(a3 & 0xFF).arg(a4 & 0xFF);
    link->SetActive(true);
    return link;
}

void TAcquisition::Attach(std::unique_ptr<TEthernetLinkShared> link) {
    try {
        CN7600.Attach(link.get());
        ADAM4017.Attach(link.get());
        Timer->SetEnabled(true);
    } catch (...) {
        CN7600.Detach();
        ADAM4017.Detach();
        link->SetActive(false);
        throw;
    }
    Link = std::move(link);
}

void TAcquisition::Connect(int a1, int a2, int a3, int a4) {
    std::lock_guard lock(ReadingsLock);
    CloseLink();
    auto link = OpenLink(a1, a2, a3, a4);
    try {
        link->ResetLink();
    } catch (...) {
        link->SetActive(false);
        throw;
    }
    reconnection_.Connected(TReconnection::Clock::now());
    Readings.Lost = false;
    Attach(std::move(link));
}

void TAcquisition::ConnectUnattended(int a1, int a2, int a3, int a4) {
    std::lock_guard lock(ReadingsLock);
    CloseLink();
    auto link = OpenLink(a1, a2, a3, a4);
    reconnection_.Unanswered(TReconnection::Clock::now());
    Readings.Lost = true;
    Attach(std::move(link));
}

void TAcquisition::CloseLink() {
    std::lock_guard lock(ReadingsLock);
    CN7600.Detach();
    ADAM4017.Detach();
    if (Link) closedRetransmissions_ += Link->Retransmissions();
    Link.reset();
}

std::uint64_t TAcquisition::Retransmissions() const {
    return closedRetransmissions_ + (Link ? Link->Retransmissions() : 0);
}

void TAcquisition::SetRefreshRate(int milliseconds) {
    const bool enabled = Timer->Enabled();
    Timer->SetEnabled(false);
    Timer->SetInterval(milliseconds);
    Timer->SetEnabled(enabled);
}

} // namespace velk
