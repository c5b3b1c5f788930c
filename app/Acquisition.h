#pragma once
// The monitor's acquisition session, apart from any window: the readings, the lock that
// guards them together with the drivers and the link, the periodic tick that reads every
// quantity, and the opening and closing of a connection. The main window gives it the two
// main-thread methods a tick ends with (log a device error, update the display) and shows
// what it holds.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QDateTime>
#include <QString>

#include "app/AliveFile.h"
#include "app/Channels.h"
#include "app/Reconnection.h"
#include "devices/ADAM4017Interface.h"
#include "devices/CN7600Interface.h"
#include "devices/EthernetDispatcher.h"
#include "devices/HiresTim.h"
#include "devices/Quantities.h"

namespace velk {

enum class TGroupAnswer : std::uint8_t { None, Answered, Failed };

struct TReadings {
    TChannels<double> Temp;       // °C: 1 cold plate, 2 nitrogen output
    TChannels<double> SetPoint;   // °C
    double AlarmLow = 0.0;        // °C, controller 2
    double Power = 0.0;           // %
    float Vacuum = 0.0f;          // mbar
    std::uint8_t PumpStatus = 0;  // 0 running, 1 stopped
    std::uint8_t ValveStatus = 0; // 0 opened, 1 closed
    float LN2Level = 0.0f;        // %
    QString ErrorMessage;         // text of the last device error; never reset
    // Per quantity: whether the last tick refreshed it, and when it was last read; a value
    // the last tick could not read is still shown, but as an old one.
    std::array<bool, kQuantityCount> Fresh{};
    std::array<QDateTime, kQuantityCount> LastRead{};
    // Per group: whether the last tick got all its answers; None until a tick after Clear.
    std::array<TGroupAnswer, kGroupCount> GroupAnswer{};
    std::uint64_t TickCount = 0; // ticks read since the session began; Clear keeps it
    // Per group, since the session began (Clear keeps them): the ticks it failed, and when
    // it last answered a whole tick.
    std::array<std::uint64_t, kGroupCount> FailedTicks{};
    std::array<QDateTime, kGroupCount> LastAnswered{};
    // The previous tick, from its start to the end of its calls to the main thread.
    double PreviousTickSeconds = 0.0;
    // The box is taken for lost and the session tries to reach it again: every value is an
    // old one, and no alarm starts or ends on it.
    bool Lost = false;

    TReadings() { Clear(); }
    // Every reading back to its no-value marker; the read times and group answers are
    // forgotten.
    void Clear();
    void Refreshed(TQuantity quantity, const QDateTime& at) {
        Fresh[quantity] = true;
        LastRead[quantity] = at;
    }
    // The reading of `quantity` as a number (a status as 0 or 1, or its marker), and back.
    double Value(TQuantity quantity) const;
    void Store(TQuantity quantity, double value);
};

// "message  (date-time)": how the log pane shows a device error.
QString DeviceErrorLine(const QString& message, const QDateTime& when);

class TAcquisition {
public:
    // Runs on the main thread; the tick blocks until it has run.
    using TMainThreadMethod = std::function<void(std::int32_t Param)>;

    // The timer is created disabled with `interval` ms and TimerTick as its handler.
    TAcquisition(int interval, TMainThreadMethod logDeviceError, TMainThreadMethod updateDisplay);
    // Stops and frees the timer (waiting for a tick in progress), then frees the link.
    ~TAcquisition();
    TAcquisition(const TAcquisition&) = delete;
    TAcquisition& operator=(const TAcquisition&) = delete;

    // The timer's handler, on the timer's thread: both groups read under ReadingsLock, then
    // one log call per failing group and the display update, with the lock released.
    void TimerTick();

    // Opens the link to the box at a1.a2.a3.a4 (low byte of each), resets it, attaches both
    // drivers and starts the timer, all under ReadingsLock. Raises the link's or drivers'
    // error with nothing left open.
    void Connect(int a1, int a2, int a3, int a4);
    // For an unattended start: opens the link and starts the timer without the handshake,
    // which the ticks then try on their own schedule, as after an outage. Raises only when
    // the link cannot be opened (the port held by another program).
    void ConnectUnattended(int a1, int a2, int a3, int a4);
    // Under ReadingsLock, once the timer is stopped: detaches both drivers, frees the link.
    void CloseLink();

    // Receives, on the main thread, the lines that tell the connection lost and back.
    void SetOnConnectionLine(std::function<void(const QString&)> handler) {
        connectionLine_ = std::move(handler);
    }

    // The link's retransmissions since the session began, all links together. Main thread.
    std::uint64_t Retransmissions() const;

    // The heartbeat file each completed tick touches; empty for none. Any thread.
    void SetAliveFile(const QString& path) { aliveFile_.SetPath(path); }

    // Restarts a running timer with the new period; a stopped one keeps it for its next
    // start. Never called holding ReadingsLock: the stop may wait for a tick.
    void SetRefreshRate(int milliseconds);

    // Readings: written by the tick under ReadingsLock; read on the main thread while the
    // tick waits for its calls, or under the lock.
    TReadings Readings;
    std::recursive_mutex ReadingsLock; // guards the readings, both drivers and the link
    TCN7600connection CN7600;
    TADAM4017Connection ADAM4017;
    std::unique_ptr<TEthernetLinkShared> Link; // none while disconnected
    std::unique_ptr<THiResTimer> Timer;

private:
    std::unique_ptr<TEthernetLinkShared> OpenLink(int a1, int a2, int a3, int a4);
    void Attach(std::unique_ptr<TEthernetLinkShared> link);
    // Under ReadingsLock, each group stopping at its first failure; false when the module
    // was not asked because the box had been silent too long already.
    bool ReadAll(std::array<std::optional<QString>, kGroupCount>& errors);
    // Under ReadingsLock, while lost: the handshake when an attempt is due; true once it
    // succeeded. Adds the lines to log to `lines`.
    bool TryAgain(std::vector<QString>& lines);
    // Under ReadingsLock, after a tick that read and found both groups silent or not.
    void Judge(bool allFailed, std::uint64_t refusedBefore, TReconnection::Clock::time_point start,
               std::vector<QString>& lines);

    TReconnection reconnection_; // under ReadingsLock
    QString address_;            // "127.0.0.2", for the connection lines
    std::function<void(const QString&)> connectionLine_;
    TMainThreadMethod logDeviceError_;
    TMainThreadMethod updateDisplay_;
    TAliveFile aliveFile_;
    std::uint64_t closedRetransmissions_ = 0;        // of the links already freed
    std::chrono::steady_clock::duration lastTick_{}; // timer thread only
};

} // namespace velk
