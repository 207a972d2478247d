// The built-in Chinese key/text pairs of the user interface.
#pragma once

#include <vector>

namespace zelk {

struct KeyText {
    const char* key;   // translation key, as spelled
    const char* text;  // UTF-8
};

// Every key of the user interface with its Chinese text, grouped by panel.
const std::vector<KeyText>& ChineseWords();

}  // namespace zelk
