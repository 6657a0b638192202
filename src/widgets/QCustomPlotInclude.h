// QCustomPlot's header is written with Qt's keyword macros, which this
// project switches off; they are lent to it for the include only.
#pragma once

#define signals Q_SIGNALS
#define slots Q_SLOTS
#define emit Q_EMIT
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef signals
#undef slots
#undef emit
#undef foreach
