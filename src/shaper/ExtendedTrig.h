// Sine and cosine in x87 extended precision (64-bit significand) that do not
// depend on the C library: its long double functions differ between platforms
// (some are the raw x87 instructions, whose reduction uses a 66-bit pi), and
// the kernel table must come out bit for bit the same everywhere.
#pragma once

// Within 0.8 units in the last place for |x| <= 24, the range the kernel table
// uses; the argument reduction is exact only there.
long double ExtendedSin(long double x);
long double ExtendedCos(long double x);
