// What the move, rotate and scale panels show and read, without windows.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>

namespace zelk {

// The whole number at the start of a typed text, as the panels read it:
// leading blanks, a sign and digits; "12.7" reads as 12, text without digits as 0.
inline int ReadTypedWholeNumber(const std::string& text)
{
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos)
        return 0;
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+')
        ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1'000'000'000LL);
    return static_cast<int>(negative ? -value : value);
}

// A move slider's position (hundredths of a millimetre) as its edit box shows it.
inline std::string MovePositionText(int hundredthsMm)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f mm", hundredthsMm * 0.01);
    return text;
}

}  // namespace zelk
