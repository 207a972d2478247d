// Numbers as people read them in messages: millimetres and degrees without trailing zeros.
#pragma once

#include <string>

namespace zelk {

// `value` with at most `decimals` decimals, trailing zeros and a trailing
// point dropped, and "-0" shown as "0": "30", "27.5", "-75". A value that is
// not finite is shown as the C library writes it ("nan", "inf").
std::string ShortNumber(double value, int decimals = 3);

}  // namespace zelk
