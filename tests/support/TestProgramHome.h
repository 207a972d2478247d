// A program folder of the test binary's own (MORVADIN_HOME), made before the
// first test from a copy of the shipped files, so that what the tests choose
// and save never lands in the build's program folder.
#pragma once

#include <string>

namespace testsupport {

// The test binary's program folder, with a trailing '/'; empty before the
// tests started. Linking TestProgramHome.cpp into a binary is what makes it.
std::string ProgramHome();

}  // namespace testsupport
