// The program's own dialogs, each behind a replaceable function so the workflow runs without a person in tests.
#pragma once

#include <functional>
#include <string>

class wxWindow;
class ZELKPrinterConnection;

namespace zelk {

// The X3G Save-As dialog, opened in `folder` with `fileName`; the chosen path
// (UTF-8), or empty when cancelled.
using SaveX3gDialogFunction = std::function<std::string(const std::string& folder, const std::string& fileName)>;
SaveX3gDialogFunction SetSaveX3gDialogFunction(SaveX3gDialogFunction function);
std::string AskSaveX3gPath(const std::string& folder, const std::string& fileName);

// What the connect picture opens: by default the printer connection dialog.
using ConnectDialogFunction = std::function<void(wxWindow* parent, ZELKPrinterConnection& connection)>;
ConnectDialogFunction SetConnectDialogFunction(ConnectDialogFunction function);
void ShowConnectDialog(wxWindow* parent, ZELKPrinterConnection& connection);

}  // namespace zelk
