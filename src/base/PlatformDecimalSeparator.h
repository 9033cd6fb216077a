// Implemented once per platform backend: the separator of the user's regional
// settings, read from the system.
#pragma once

char ReadUserDecimalSeparator();
