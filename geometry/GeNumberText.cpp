// Numbers as people read them in messages: millimetres and degrees without trailing zeros.
#include "GeNumberText.h"

#include <cmath>
#include <cstdio>

namespace zelk {

std::string ShortNumber(double value, int decimals)
{
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    if (!std::isfinite(value))
        return s;
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

}  // namespace zelk
