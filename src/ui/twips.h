#pragma once

#include <QRect>
#include <cmath>

// Designed positions are in twips; 15 twips make one device-independent pixel
// (Qt scales device-independent pixels for the screen itself).
inline int Twips(int twips) { return int(std::lround(twips / 15.0)); }

// Each edge rounded on its own, so neighbouring controls keep their gaps.
inline QRect TwipsRect(int left, int top, int width, int height) {
    const int x = Twips(left);
    const int y = Twips(top);
    return QRect(x, y, Twips(left + width) - x, Twips(top + height) - y);
}
