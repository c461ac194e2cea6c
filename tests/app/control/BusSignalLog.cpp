// The signal log is header-only; this file gives its meta-object a home.
#include "tests/app/control/BusSignalLog.h"
