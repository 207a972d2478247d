// Shared set-up of the program's window tests: a program folder of their own, the main window, captured messages.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/gdicmn.h>
#include <wx/utils.h>

#include "WxPump.h"
#include "ZELKUIOperation.h"

namespace apptest {

// The program folder the tests run in (a copy of the shipped files).
std::string Home();

using testsupport::PumpUntil;

// The part `area` of the screen, saved under test-artefacts/app/`name` beside
// the program folder for a person to look at; false when it could not be taken.
bool SaveScreenshot(const std::string& name, const wxRect& area);

inline void Pump(int ms = 100)
{
    PumpUntil([] { return false; }, ms);
}

// Keys and texts shown through MessageBox_Zelk while it lives.
class MessageCapture {
public:
    MessageCapture()
    {
        m_previous = ZELKUIOperation::SetMessageBoxFunction(
            [this](const std::string& key, const wxString& text) {
                keys.push_back(key);
                texts.push_back(text);
            });
    }
    ~MessageCapture() { ZELKUIOperation::SetMessageBoxFunction(std::move(m_previous)); }
    int Count(const std::string& key) const { return static_cast<int>(std::count(keys.begin(), keys.end(), key)); }
    std::vector<std::string> keys;
    std::vector<wxString> texts;

private:
    ZELKUIOperation::MessageBoxFunction m_previous;
};

}  // namespace apptest
