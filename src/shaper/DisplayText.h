// The one-decimal texts the host and the editor show for parameter values.
#pragma once

#include "params/ShortText.h"

// "%.1f" as users read it: reduced to 18 significant digits first, halves
// rounded away from zero, no sign on a zero, the given decimal separator.
TShortText FormatOneDecimal(long double value, char separator);
