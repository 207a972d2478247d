// The toolpath preview panel: a G-code file's toolpaths in the 3D view, up to a chosen layer.
//
// Wiring it into the coordinator (ZELKUIOperation), as the other panels:
//
//   - Create it once, hidden, over the view with the other tool panels:
//         m_toolpathWnd = new ZELKToolpathWnd(view, wxPoint(x, y));
//     held by a wxWeakRef like the other panels; call Translate() with theirs.
//   - Its tool picture (in the tool column) is shown once slicing completes.
//     When the picture is checked (or right after slicing), load the file and
//     show the panel:
//         std::string reason;
//         if (m_toolpathWnd->LoadGCode(gcodePath, reason))
//             m_toolpathWnd->Show();
//         else
//             MessageBox_Zelk("id_message_gcodeUnusable", reason);
//     Showing it puts the toolpaths in the place of the models in the view
//     drawn by the current renderer (ZELKCAD::GetCurrentRenderer(), or the
//     one given to SetRenderer); hiding it (its close box, Hide(), another
//     panel's picture unchecking it) brings the models back. While it is
//     shown, clicks in the view select no model.
//   - SetLayerObserver tells the owner the layer chosen with the slider;
//     SetLayer chooses one (for example the layer being printed).
//   - Slicing again: LoadGCode with the new file replaces the model (the top
//     layer is shown again).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "ToolpathBuffers.h"
#include "ToolpathModel.h"
#include "ZELKTransparentDlg.h"

class CZelkOpenGL;
class wxCheckBox;
class wxSlider;
class wxStaticText;

class ZELKToolpathWnd : public ZELKTransparentDlg {
public:
    enum { IDD = 3200 };
    enum ControlId { ID_CAPTION = 3201, ID_SLIDER_LAYER = 3202, ID_LAYER_TEXT = 3203, ID_CHECK_TRAVEL = 3204 };

    ZELKToolpathWnd(wxWindow* parent, const wxPoint& pos);
    // Gives the view back its models.
    ~ZELKToolpathWnd() override;
    bool Destroy() override;
    // Shown: the toolpaths take the models' place in the view; hidden: the models come back.
    bool Show(bool show = true) override;

    // Reads the file's toolpaths (the translator's reading of it) and shows
    // every layer. False with the reason (naming the file) when the file
    // cannot be read or holds no move; the toolpaths shown before are kept.
    bool LoadGCode(const std::string& path, std::string& reason);
    // The same with toolpaths already read (ReadToolpath, on any thread).
    bool SetToolpaths(zelk::ToolpathModel model, std::string& reason);
    const zelk::ToolpathModel& Model() const { return m_model; }
    bool HasToolpaths() const { return m_model.IsUsable(); }

    // The top layer shown, from 0 (the slider's position).
    std::size_t GetLayer() const { return m_layer; }
    // Moves the slider (clamped to the layers there are); the observer is told.
    void SetLayer(std::size_t layer);
    void SetLayerObserver(std::function<void(std::size_t layer)> observer) { m_layerObserver = std::move(observer); }
    bool IsTravelShown() const { return m_style.showTravel; }
    void ShowTravel(bool show);

    // The renderer drawn into; null (the default) means the current one (ZELKCAD).
    // A renderer given here must outlive the panel's being shown.
    void SetRenderer(CZelkOpenGL* renderer);
    bool IsAttached() const { return m_attached != nullptr; }
    // How the view is asked to redraw (ZELKCAD::ViewInvalidate by default).
    void SetRedrawFunction(std::function<void()> redraw) { m_redraw = std::move(redraw); }
    const zelk::ToolpathBuffers& Buffers() const { return m_buffers; }

    // Texts in the current language.
    void Translate();

private:
    void CreateControls();
    void Attach();
    void Detach();
    // Asks the view to redraw while the panel draws into it; RequestRedraw always.
    void Redraw();
    void RequestRedraw();
    void UpdateLayerText();
    void LayerChanged();
    void OnSlider(wxCommandEvent& event);
    void OnCheckTravel(wxCommandEvent& event);

    zelk::ToolpathModel m_model;
    zelk::ToolpathBuffers m_buffers;
    zelk::ToolpathStyle m_style;
    std::size_t m_layer = 0;
    CZelkOpenGL* m_renderer = nullptr;
    CZelkOpenGL* m_attached = nullptr;
    std::function<void(std::size_t)> m_layerObserver;
    std::function<void()> m_redraw;
    wxSlider* m_slider = nullptr;
    wxStaticText* m_layerText = nullptr;
    wxCheckBox* m_travelCheck = nullptr;
};
