// The main window's menu bar.
#include "MainMenu.h"

#include <filesystem>

#include <wx/frame.h>
#include <wx/menu.h>

#include "AboutText.h"
#include "EditHistory.h"
#include "FileIni.h"
#include "ModelEdit.h"
#include "OrvanelView.h"
#include "RunState.h"
#include "ViewCommands.h"
#include "ZELKUIOperation.h"

namespace {

wxString Text(const char* key) { return ZELKUIOperation::GetUIOperationObject()->GetTranslateString(key); }

// The menus and their items: id, text key, accelerator (none: nullptr).
struct Item {
    int id;
    const char* key;
    const char* accelerator;
};
struct Menu {
    const char* key;
    std::vector<Item> items;  // id 0: a separator; wxID_FILE1: the recent files
};

const std::vector<Menu>& Menus()
{
    static const std::vector<Menu> menus = {
        {"id_menu_file",
         {{wxID_OPEN, "id_menu_open", "Ctrl+O"},
          {wxID_FILE1, "id_menu_recentFiles", nullptr},
          {wxID_SAVE, "id_menu_saveX3g", "Ctrl+S"},
          {0, nullptr, nullptr},
          {wxID_EXIT, "id_menu_quit", "Ctrl+Q"}}},
        {"id_menu_edit",
         {{wxID_UNDO, "id_menu_undo", "Ctrl+Z"},
          {wxID_REDO, "id_menu_redo", "Ctrl+Shift+Z"},
          {0, nullptr, nullptr},
          {wxID_SELECTALL, "id_menu_selectAll", "Ctrl+A"},
          {wxID_DELETE, "id_menu_delete", "Del"}}},
        {"id_menu_view",
         {{MainMenu::ID_VIEW_TOP, "id_button_viewTop", "Ctrl+1"},
          {MainMenu::ID_VIEW_SIDE, "id_button_viewSide", "Ctrl+2"},
          {MainMenu::ID_VIEW_FRONT, "id_button_viewFront", "Ctrl+3"},
          {MainMenu::ID_VIEW_STANDARD, "id_button_viewReset", "Ctrl+0"}}},
        {"id_menu_printer",
         {{MainMenu::ID_CONNECT, "id_menu_connect", nullptr},
          {MainMenu::ID_MACHINE_CONTROL, "id_menu_machineControl", nullptr},
          {0, nullptr, nullptr},
          {MainMenu::ID_PRINT, "id_menu_print", "Ctrl+P"},
          {MainMenu::ID_PAUSE, "id_menu_pause", nullptr},
          {MainMenu::ID_STOP_PRINT, "id_menu_stopPrint", nullptr}}},
        {"id_menu_help",
         {{MainMenu::ID_SHORTCUTS, "id_menu_shortcuts", "F1"}, {wxID_ABOUT, "id_menu_about", nullptr}}},
    };
    return menus;
}

wxString LabelOf(const char* key, const char* accelerator)
{
    wxString label = Text(key);
    label.Replace("&", "&&");
    if (accelerator != nullptr)
        label += wxString("\t") + accelerator;
    return label;
}

}  // namespace

MainMenu::MainMenu(wxFrame& frame, COrvanelView& view, ZELKFileIniBase& profile)
    : m_frame(frame), m_view(view), m_profile(profile)
{
}

MainMenu::~MainMenu()
{
    if (m_recent != nullptr)
        m_history.RemoveMenu(m_recent);
    m_frame.RemoveEventHandler(this);
}

void MainMenu::Install()
{
    m_bar = new wxMenuBar;
    for (const Menu& menu : Menus()) {
        auto* items = new wxMenu;
        for (const Item& item : menu.items) {
            if (item.id == 0) {
                items->AppendSeparator();
            } else if (item.id == wxID_FILE1) {
                m_recent = new wxMenu;
                items->AppendSubMenu(m_recent, LabelOf(item.key, nullptr));
            } else {
                items->Append(item.id, LabelOf(item.key, item.accelerator));
            }
        }
        m_bar->Append(items, LabelOf(menu.key, nullptr));
    }
    m_frame.SetMenuBar(m_bar);

    // Oldest first, so the newest ends on top.
    std::vector<std::string> kept;
    for (int i = kRecentFiles; i >= 1; --i) {
        std::string path;
        if (m_profile.GetIniProfileString(kRecentSection, "File" + std::to_string(i), path) != 0 && !path.empty())
            kept.push_back(path);
    }
    m_history.UseMenu(m_recent);
    for (const std::string& path : kept)
        m_history.AddFileToHistory(wxString::FromUTF8(path));

    m_frame.PushEventHandler(this);
    Bind(wxEVT_MENU, &MainMenu::OnRecentFile, this, wxID_FILE1, wxID_FILE1 + kRecentFiles - 1);
    Bind(wxEVT_MENU, &MainMenu::OnCommand, this);
    Bind(wxEVT_UPDATE_UI, &MainMenu::OnUpdate, this);
}

void MainMenu::Label(int id, const char* key, const char* accelerator)
{
    if (wxMenuItem* item = m_bar->FindItem(id))
        item->SetItemLabel(LabelOf(key, accelerator));
}

void MainMenu::Translate()
{
    if (m_bar == nullptr)
        return;
    std::size_t index = 0;
    for (const Menu& menu : Menus()) {
        m_bar->SetMenuLabel(index, LabelOf(menu.key, nullptr));
        wxMenu* items = m_bar->GetMenu(index++);
        for (const Item& item : menu.items) {
            if (item.id == wxID_FILE1) {
                for (wxMenuItem* entry : items->GetMenuItems())
                    if (entry->GetSubMenu() == m_recent)
                        entry->SetItemLabel(LabelOf(item.key, nullptr));
            } else if (item.id != 0) {
                Label(item.id, item.key, item.accelerator);
            }
        }
    }
}

void MainMenu::AddRecentFiles(const std::vector<std::string>& paths)
{
    std::error_code ec;
    for (const std::string& path : paths)
        m_history.AddFileToHistory(wxString::FromUTF8(std::filesystem::absolute(path, ec).string()));
    SaveRecentFiles();
}

std::vector<std::string> MainMenu::RecentFiles() const
{
    std::vector<std::string> files;
    for (std::size_t i = 0; i < m_history.GetCount(); ++i)
        files.push_back(m_history.GetHistoryFile(i).utf8_string());
    return files;
}

void MainMenu::SaveRecentFiles()
{
    const std::vector<std::string> files = RecentFiles();
    for (int i = 0; i < kRecentFiles; ++i)
        m_profile.WriteIniProfileString(kRecentSection, "File" + std::to_string(i + 1),
                                        i < static_cast<int>(files.size()) ? files[i] : std::string());
}

void MainMenu::OnRecentFile(wxCommandEvent& event)
{
    const std::size_t index = static_cast<std::size_t>(event.GetId() - wxID_FILE1);
    if (index >= m_history.GetCount())
        return;
    const std::string path = m_history.GetHistoryFile(index).utf8_string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        // Gone since: said, and no longer offered.
        m_history.RemoveFileFromHistory(index);
        SaveRecentFiles();
        ZELKUIOperation::GetUIOperationObject()->MessageBox_Zelk("id_message_gcodeUnusable", path + ": no such file");
        return;
    }
    m_view.ImportFiles({path});
}

void MainMenu::OnCommand(wxCommandEvent& event)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    switch (event.GetId()) {
    case wxID_OPEN: m_view.OnImportModel(); break;
    case wxID_SAVE: m_view.OnSaveX3g(); break;
    case wxID_EXIT: m_frame.Close(); break;
    case wxID_UNDO: m_view.Undo(); break;
    case wxID_REDO: m_view.Redo(); break;
    case wxID_SELECTALL: m_view.SelectAll(); break;
    case wxID_DELETE: m_view.RemoveModel(); break;
    case ID_VIEW_TOP: ZELKCAD::TopView(); ZELKCAD::ViewInvalidate(); break;
    case ID_VIEW_SIDE: ZELKCAD::RightView(); ZELKCAD::ViewInvalidate(); break;
    case ID_VIEW_FRONT: ZELKCAD::BackView(); ZELKCAD::ViewInvalidate(); break;
    case ID_VIEW_STANDARD: ZELKCAD::StandardView(); ZELKCAD::ViewInvalidate(); break;
    case ID_CONNECT: m_view.OnConnect(); break;
    case ID_MACHINE_CONTROL:
        if (ZELKPictureCtrl* picture = ui->GetToolPicture(PICTURE_MACHINE_CONTROL))
            ui->OnPictureClicked(picture);
        break;
    case ID_PRINT:
        if (!zelk::RunState::Program().IsPrinting())
            m_view.OnStartOrStopPrint();
        break;
    case ID_PAUSE: ui->TogglePrintPause(); break;
    case ID_STOP_PRINT: m_view.OnEndPrint(); break;
    case ID_SHORTCUTS: ui->MessageBox_Zelk("id_message_shortcuts"); break;
    case wxID_ABOUT: ui->ShowMessageText(wxString::FromUTF8(zelk::AboutLicenceText())); break;
    default: event.Skip(); break;
    }
}

void MainMenu::OnUpdate(wxUpdateUIEvent& event)
{
    const zelk::RunState& state = zelk::RunState::Program();
    zelk::EditHistory& history = m_view.History();
    switch (event.GetId()) {
    case wxID_UNDO: event.Enable(history.CanUndo()); break;
    case wxID_REDO: event.Enable(history.CanRedo()); break;
    case ID_PRINT: event.Enable(!state.IsPrinting() && state.CurrentJob() == zelk::RunState::Job::kNone); break;
    case ID_PAUSE:
    case ID_STOP_PRINT: event.Enable(state.IsPrinting()); break;
    default: event.Skip(); break;
    }
}
