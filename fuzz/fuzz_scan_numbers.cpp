// Fuzzes the fast "%f"/"%d" reads against the C library's own formatted reads.
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "ScanNumbers.h"

// The translator's reads must give the C library's result bit for bit (the
// X3G files are compared byte for byte), and must never read past the word.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The reads only ever see a word of a line: a copy of exactly that many
    // bytes lets the address checker catch a read one past its end.
    const std::string_view word(reinterpret_cast<const char*>(data), size);
    const std::string text(word.substr(0, word.find('\0')));  // what sscanf sees

    float expectedFloat = 12345.0f, actualFloat = 12345.0f;
    const bool floatExpected = std::sscanf(text.c_str(), "%f", &expectedFloat) == 1;
    const bool floatRead = zelk::ScanFloat(text, actualFloat);
    FUZZ_CHECK(floatRead == floatExpected, text.c_str());
    if (std::isnan(expectedFloat)) {
        FUZZ_CHECK(std::isnan(actualFloat), text.c_str());
    } else {
        FUZZ_CHECK(std::memcmp(&expectedFloat, &actualFloat, sizeof(float)) == 0, text.c_str());
    }

    int expectedInt = 777, actualInt = 777;
    const bool intExpected = std::sscanf(text.c_str(), "%d", &expectedInt) == 1;
    const bool intRead = zelk::ScanInt(text, actualInt);
    FUZZ_CHECK(intRead == intExpected, text.c_str());
    FUZZ_CHECK(actualInt == expectedInt, text.c_str());

    // The whole input, bytes after a NUL included: no read outside the view.
    float anyFloat = 0;
    int anyInt = 0;
    zelk::ScanFloat(word, anyFloat);
    zelk::ScanInt(word, anyInt);

    // The conversion the translator uses for step counts is defined everywhere.
    const double wide = static_cast<double>(expectedFloat) * 1e3;
    const int truncated = zelk::TruncateToInt(wide);
    if (std::isfinite(wide) && std::fabs(wide) < 2147483647.0)
        FUZZ_CHECK(truncated == static_cast<int>(wide), text.c_str());
    return 0;
}
