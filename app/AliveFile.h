#pragma once
// The heartbeat file: its modification time is set at every completed acquisition tick, so a
// lab's watchdog (cron, a systemd timer) can tell a monitor that died or hangs from one that
// runs.

#include <mutex>
#include <optional>

#include <QString>

namespace velk {

// `velk-monitor.alive` in $XDG_RUNTIME_DIR, else in the state folder.
QString AliveFilePath();

class TAliveFile {
public:
    // Empty: no heartbeat. Any thread.
    void SetPath(const QString& path);

    // Creates the file (and its folder) if needed and sets its modification time to now. Returns
    // what to report when it cannot: only the first failure of a run of failures, so a lasting
    // fault is said once, not at every tick.
    std::optional<QString> Touch();

private:
    std::mutex lock_; // the path is set on the main thread and used on the timer's
    QString path_;
    bool failing_ = false;
};

} // namespace velk
