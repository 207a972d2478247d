// Conversions between the wide texts shown on screen and the narrow UTF-8 paths and keys.
#pragma once

#include <string>

namespace ZELKCAD {

// Wide text to UTF-8. Code points that cannot exist (lone surrogates, values
// above U+10FFFF) become U+FFFD.
std::string WideCharToMultiByte_ZELK(const std::wstring& text);

// NUL-terminated UTF-8 to wide text; a null pointer gives an empty text, and
// each byte that does not belong to a valid sequence becomes U+FFFD.
std::wstring MultiByteToWideChar_ZELK(const char* text);

}  // namespace ZELKCAD
