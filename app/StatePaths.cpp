#include "app/StatePaths.h"

#include <QDir>

namespace velk {

QString StateFolder() {
    QString dir = qEnvironmentVariable("XDG_STATE_HOME");
    if (dir.isEmpty() || !QDir::isAbsolutePath(dir))
        dir = QDir::homePath() + QStringLiteral("/.local/state");
    return dir + QStringLiteral("/velk-monitor");
}

} // namespace velk
