#pragma once
// Where the monitor keeps what it writes while it runs (event log, readings history, the
// heartbeat when there is no runtime folder): one folder per user, shared by every writer.

#include <QString>

namespace velk {

// `velk-monitor` in $XDG_STATE_HOME, else in ~/.local/state (a relative $XDG_STATE_HOME is
// ignored, as the base directory rules ask). The folder is not created here.
QString StateFolder();

} // namespace velk
