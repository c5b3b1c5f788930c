#pragma once
// The font of every dialog of the toolkit: the default sans-serif (DejaVu Sans) at 8 points.

#include <QFont>

namespace velk {

QFont DialogFont();

} // namespace velk
