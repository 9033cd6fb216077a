// The decimal separator of the user's regional settings, read once when the
// library loads so that formatting display texts never touches the system.
#pragma once

char UserDecimalSeparator();

// Reads the user's settings again (at library load, and in tests that change them).
void RefreshUserDecimalSeparator();
