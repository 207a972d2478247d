// The toolpath arrays in OpenGL buffer objects, drawn as lines up to a chosen layer.
#pragma once

#include <cstddef>
#include <vector>

#include "ToolpathVisibility.h"

namespace zelk {

struct ToolpathModel;

// How the layers are drawn. Colours are 0..255.
struct ToolpathStyle {
    unsigned char extrusion[3] = {255, 128, 0};    // the layers below the top one
    unsigned char topLayer[3] = {255, 226, 140};   // the top layer shown, brighter
    unsigned char travel[3] = {96, 128, 184};      // thin and grey-blue
    float extrusionWidth = 2.0f;                   // pixels
    float travelWidth = 1.0f;
    bool showTravel = true;
};

// Holds the extrusion and travel arrays of one model in two buffer objects
// of the context current when they were first drawn: uploaded once, made
// again in another context (or after a new model is set). Deleting them needs
// that context: when it is not current they are deleted the next time it is
// (MeshCache.h's deferred deletion). Draws nothing without a current context.
// The model must outlive its use here (or be replaced by SetModel).
//
// Under a parallel projection the lines hidden behind nearer ones are left
// out, and runs that look straight are joined (ToolpathVisibility.h): chosen
// again when the view, the layers shown or the model change, and kept in a
// buffer of their own while they stay as they are.
class ToolpathBuffers {
public:
    ToolpathBuffers() = default;
    ~ToolpathBuffers();
    ToolpathBuffers(const ToolpathBuffers&) = delete;
    ToolpathBuffers& operator=(const ToolpathBuffers&) = delete;

    // The model drawn from now on (null: nothing); uploaded on the next Draw.
    void SetModel(const ToolpathModel* model);
    const ToolpathModel* Model() const { return m_model; }

    // Draws the layers 0..topLayer (every layer when topLayer is past the
    // last) with glDrawArrays: extrusion, the top layer brighter, and travel
    // when the style shows it. Lighting is off while the lines are drawn;
    // every state changed is restored.
    void Draw(std::size_t topLayer, const ToolpathStyle& style = ToolpathStyle());

    // How many times arrays were uploaded (tests, benchmarks).
    unsigned long UploadCount() const { return m_uploads; }
    // How many times the segments a view shows were chosen, and how many
    // vertices the last frame drew.
    unsigned long ChoiceCount() const { return m_choices; }
    std::size_t DrawnVertexCount() const { return m_drawnVertices; }

    // Whether views are reduced to their visible segments (the default), or
    // every segment is drawn (for comparison).
    void SetChooseVisible(bool choose) { m_chooseVisible = choose; }

private:
    bool Ready();
    void Release();
    void DrawAll(std::size_t top, const ToolpathStyle& style);
    void DrawVisible(const ParallelView& view, const LayerChoice& choice, const ToolpathStyle& style);

    const ToolpathModel* m_model = nullptr;
    bool m_uploaded = false;
    void* m_context = nullptr;
    unsigned long m_generation = 0;
    unsigned m_buffers[2] = {0, 0};  // extrusion, travel
    unsigned m_visibleBuffer[2] = {0, 0};  // the chosen segments (the second name is unused)
    unsigned long m_uploads = 0;
    unsigned long m_choices = 0;
    std::size_t m_drawnVertices = 0;
    bool m_chooseVisible = true;
    // What the visible buffer holds.
    bool m_visibleValid = false;
    ParallelView m_visibleView;
    LayerChoice m_visibleChoice;
    unsigned long m_visibleUpload = 0;
    VisibleSegments m_visible;
    VisibilityScratch m_scratch;
};

}  // namespace zelk
