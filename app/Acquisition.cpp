#include "app/Acquisition.h"

#include <optional>

#include "common/DateTimeText.h"
#include "common/ReadingDisplay.h"
#include "common/ThreadSynchronize.h"
#include "devices/LinkProtocol.h"

namespace velk {

namespace {
constexpr int kReceiveBufferSize = 4096;
constexpr std::uint8_t kController1 = 1, kController2 = 2, kModule = 1;
} // namespace

void TReadings::Clear() {
    Temp[1] = Temp[2] = kNoTemperature;
    SetPoint[1] = SetPoint[2] = kNoTemperature;
    AlarmLow = kNoTemperature;
    Power = kNoPower;
    Vacuum = kNoVacuum;
    PumpStatus = ValveStatus = kNoStatus;
    LN2Level = kNoLevel;
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

bool TAcquisition::ReadAll(std::optional<QString>& controllerError,
                           std::optional<QString>& moduleError) {
    TReadings& r = Readings;
    // Each value is stored as soon as it arrives; the first failure ends its group.
    auto store = [&r](TQuantity quantity, auto& reading, auto value) {
        reading = value;
        r.Refreshed(quantity, QDateTime::currentDateTime());
    };
    try {
        store(qTemp1, r.Temp[1], CN7600.ReadPV(kController1));
        store(qSetPoint1, r.SetPoint[1], CN7600.ReadSP1(kController1));
        store(qTemp2, r.Temp[2], CN7600.ReadPV(kController2));
        store(qSetPoint2, r.SetPoint[2], CN7600.ReadSP1(kController2));
        store(qAlarmLow, r.AlarmLow, CN7600.ReadAlLo(kController2));
        store(qPower, r.Power, CN7600.ReadPOV(kController1));
    } catch (const ECN7600connection& e) {
        controllerError = e.Message();
    }
    // A box that has stopped acknowledging costs each group half a minute of resends: once
    // it has been silent too long the module is not asked, and the tick judges it lost.
    if (controllerError && Link &&
        reconnection_.SilentTooLong(TReconnection::Clock::now(), Link->LastHeard(),
                                    std::chrono::milliseconds(Timer->Interval()))) {
        return false;
    }
    try {
        store(qVacuum, r.Vacuum, ADAM4017.ReadVacuum(kModule));
        store(qPumpStatus, r.PumpStatus, std::uint8_t{ADAM4017.ReadPumpStatus(kModule)});
        store(qValveStatus, r.ValveStatus, std::uint8_t{ADAM4017.ReadValveStatus(kModule)});
        store(qLN2Level, r.LN2Level, ADAM4017.ReadLN2Level(kModule));
    } catch (const EADAM4017Connection& e) {
        moduleError = e.Message();
    }
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
    std::optional<QString> controllerError, moduleError;
    std::vector<QString> lines;
    bool read = true, moduleAsked = false, lost = false;
    {
        std::lock_guard lock(ReadingsLock);
        TReadings& r = Readings;
        r.Fresh.fill(false);
        if (Link && reconnection_.Lost()) read = TryAgain(lines);
        if (read) {
            const auto start = TReconnection::Clock::now();
            const std::uint64_t refused = Link ? Link->RefusedFrames() : 0;
            moduleAsked = ReadAll(controllerError, moduleError);
            if (Link)
                Judge(controllerError && (moduleError || !moduleAsked), refused, start, lines);
        }
        // While the box is away, every group counts as failing, for the silent-instrument mail.
        r.GroupAnswer[gControllers] =
            !read || controllerError ? TGroupAnswer::Failed : TGroupAnswer::Answered;
        r.GroupAnswer[gModule] =
            !moduleAsked || moduleError ? TGroupAnswer::Failed : TGroupAnswer::Answered;
        ++r.TickCount;
        lost = r.Lost;
    }
    // The main thread takes ReadingsLock itself: it is called only once the lock is free.
    for (const auto& error : {controllerError, moduleError}) {
        if (!error) continue;
        Readings.ErrorMessage = *error;
        CallInMainThread(0, logDeviceError_);
    }
    for (const QString& line : lines)
        if (connectionLine_)
            CallInMainThread(0, [this, &line](std::int32_t) { connectionLine_(line); });
    CallInMainThread(0, updateDisplay_);
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
    Link.reset();
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
    Link.reset();
    auto link = OpenLink(a1, a2, a3, a4);
    reconnection_.Unanswered(TReconnection::Clock::now());
    Readings.Lost = true;
    Attach(std::move(link));
}

void TAcquisition::CloseLink() {
    std::lock_guard lock(ReadingsLock);
    CN7600.Detach();
    ADAM4017.Detach();
    Link.reset();
}

void TAcquisition::SetRefreshRate(int milliseconds) {
    const bool enabled = Timer->Enabled();
    Timer->SetEnabled(false);
    Timer->SetInterval(milliseconds);
    Timer->SetEnabled(enabled);
}

} // namespace velk
