// The main window's menu bar: File, Edit, View, Printer and Help with the
// usual accelerators, the recent files kept in the profile, and the texts
// in the current language. The tool pictures stay; every item runs what its
// picture or key runs.
#pragma once

#include <string>
#include <vector>

#include <wx/event.h>
#include <wx/filehistory.h>

class COrvanelView;
class ZELKFileIniBase;
class wxFrame;
class wxMenu;
class wxMenuBar;

class MainMenu : public wxEvtHandler {
public:
    enum Id {
        ID_VIEW_TOP = 5101, ID_VIEW_SIDE, ID_VIEW_FRONT, ID_VIEW_STANDARD,
        ID_CONNECT, ID_MACHINE_CONTROL, ID_PRINT, ID_PAUSE, ID_STOP_PRINT, ID_SHORTCUTS
    };
    static constexpr int kRecentFiles = 9;
    static constexpr const char* kRecentSection = "RecentFiles";

    MainMenu(wxFrame& frame, COrvanelView& view, ZELKFileIniBase& profile);
    ~MainMenu() override;

    // Puts the menu bar on the frame, with the recent files the profile keeps.
    void Install();
    // Every text again, in the current language.
    void Translate();
    // Files the user opened, newest last: first in the recent list, kept in the profile.
    void AddRecentFiles(const std::vector<std::string>& paths);
    std::vector<std::string> RecentFiles() const;

private:
    void OnCommand(wxCommandEvent& event);
    void OnUpdate(wxUpdateUIEvent& event);
    void OnRecentFile(wxCommandEvent& event);
    void SaveRecentFiles();
    void Label(int id, const char* key, const char* accelerator = nullptr);

    wxFrame& m_frame;
    COrvanelView& m_view;
    ZELKFileIniBase& m_profile;
    wxMenuBar* m_bar = nullptr;
    wxMenu* m_recent = nullptr;
    wxFileHistory m_history{kRecentFiles};
};
