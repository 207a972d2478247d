// How the system reports a failure a user must read: a function that can fail
// returns an Outcome (done, or refused with the reason in the user's words,
// naming the file, line or device). Functions whose callers need a value too
// return that value beside the Outcome in a struct of their own. The older
// 0/1 entry points keep their names and return the Outcome's ok as 1 or 0.
#pragma once
#include <string>
#include <utility>

namespace zelk {

struct Outcome {
    bool ok = true;
    std::string reason;  // empty when ok
    // Above the windows' libraries: the translation key of the message that
    // says it, `reason` then being the detail quoted in it (a file, a line).
    std::string key;

    static Outcome Done() { return {}; }
    static Outcome Refused(std::string why) { return {false, std::move(why), {}}; }
    static Outcome Message(std::string key, std::string detail = {})
    {
        return {false, std::move(detail), std::move(key)};
    }
    explicit operator bool() const { return ok; }
};

}  // namespace zelk
