// Picture resizing for drawing artwork at zoom steps it was not made for.
#pragma once

#include "toolkit/Bitmap.h"
#include "toolkit/Graphics.h"

// `area` of `source` resized to width × height with a separable Catmull-Rom
// filter widened by the reduction, so that shrinking averages every source
// pixel instead of skipping some (no aliasing on fine texture). Edges repeat
// the area's own border pixels: nothing from outside `area` bleeds in.
TBitmap Resample(const TBitmap& source, const TRect& area, int width, int height);
