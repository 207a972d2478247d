// The program's own dialogs, each behind a replaceable function so the workflow runs without a person in tests.
#pragma once

#include <functional>
#include <string>


namespace zelk {

// The X3G Save-As dialog, opened in `folder` with `fileName`; the chosen path
// (UTF-8), or empty when cancelled.
using SaveX3gDialogFunction = std::function<std::string(const std::string& folder, const std::string& fileName)>;
SaveX3gDialogFunction SetSaveX3gDialogFunction(SaveX3gDialogFunction function);
std::string AskSaveX3gPath(const std::string& folder, const std::string& fileName);

}  // namespace zelk
