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

void TAcquisition::TimerTick() {
    const auto start = std::chrono::steady_clock::now();
    std::array<std::optional<QString>, kGroupCount> errors;
    {
        std::lock_guard lock(ReadingsLock);
        TReadings& r = Readings;
        r.PreviousTickSeconds = std::chrono::duration<double>(lastTick_).count();
        r.Fresh.fill(false);
        // Each value is stored as soon as it arrives; the first failure ends its group.
        for (int group = 0; group < kGroupCount; ++group) {
            errors[group] =
                ReadGroup(static_cast<TInstrumentGroup>(group), {CN7600, ADAM4017},
                          [&r](const TQuantityInfo& quantity, double value) {
                              r.Store(quantity.Quantity, value);
                              r.Refreshed(quantity.Quantity, QDateTime::currentDateTime());
                          });
            r.GroupAnswer[group] = errors[group] ? TGroupAnswer::Failed : TGroupAnswer::Answered;
            if (errors[group])
                ++r.FailedTicks[group];
            else
                r.LastAnswered[group] = QDateTime::currentDateTime();
        }
        ++r.TickCount;
    }
    // The main thread takes ReadingsLock itself: it is called only once the lock is free.
    for (const auto& error : errors) {
        if (!error) continue;
        Readings.ErrorMessage = *error;
        CallInMainThread(0, logDeviceError_);
    }
    CallInMainThread(0, updateDisplay_);
    // Only now has the tick completed: a main thread that hangs stops the heartbeat too.
    if (const std::optional<QString> failure = aliveFile_.Touch()) {
        Readings.ErrorMessage = *failure;
        CallInMainThread(0, logDeviceError_);
    }
    lastTick_ = std::chrono::steady_clock::now() - start;
}

void TAcquisition::Connect(int a1, int a2, int a3, int a4) {
    std::lock_guard lock(ReadingsLock);
    CloseLink();
    auto link = std::make_unique<TEthernetLinkShared>();
    link->SetPort(link::BoxPort);
    link->SetReceiveBufferSize(kReceiveBufferSize);
    link->SetAddrB1(static_cast<std::uint8_t>(a1));
    link->SetAddrB2(static_cast<std::uint8_t>(a2));
    link->SetAddrB3(static_cast<std::uint8_t>(a3));
    link->SetAddrB4(static_cast<std::uint8_t>(a4));
    link->SetActive(true);
    try {
        link->ResetLink();
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
