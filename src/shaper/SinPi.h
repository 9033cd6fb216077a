// sin(pi f) in double precision from the four basic operations only, so that
// it gives the same bits on every build: the C library's sine differs between
// platforms in the last place.
#pragma once

// Within 2^-51 relative error for |f| <= 1/2, the range it is meant for.
double SinPi(double f);
