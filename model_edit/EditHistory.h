// Undo and redo of model edits: a bounded list of steps that keep transform states, not meshes.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

class ZELDBEntityDatabase;

namespace zelk {

// What one step did, for menus and tests.
enum class EditKind { Add, Remove, Move, Rotate, Scale, Land, Reset, AutoLayout, Other };

// The edits of the models of one entity database, newest last, at most
// `depth` of them. A step is one user action on any number of models:
//
//  - an edit (move, rotate, scale, land, reset, layout) keeps, per model, its
//    transform state before and after (ZELKDBPrint::TransformState: matrices,
//    centre, shown values and a shared pointer to the model's unchanging
//    source mesh). Undo and redo set those states, which give back the
//    vertices bit for bit; no step copies a mesh.
//  - an add or a remove keeps the entity itself while it is out of the
//    database (taken out, not copied), so undo and redo put the same object
//    back under the same id.
//
// A new step after undos drops the steps that could have been redone; the
// oldest step goes when there are more than `depth`. Entities only a dropped
// step held are deleted then. Steps refer to models by id: a model removed
// without the history is skipped by steps that name it.
// Used from the user-interface thread only.
class EditHistory {
public:
    static constexpr std::size_t kDefaultDepth = 100;

    // Over the given database, or the process-wide one when null. The history
    // must go before the database it works on.
    explicit EditHistory(ZELDBEntityDatabase* database = nullptr, std::size_t depth = kDefaultDepth);
    ~EditHistory();
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    // The history of the process-wide database (never deleted, like it).
    static EditHistory& ProcessWide();

    // One edit of models in the database: their states are taken when it is
    // made, again at Commit, and a step is recorded when any changed. Without
    // Commit nothing is recorded (the edit was refused or did nothing).
    class Edit {
    public:
        Edit(EditHistory& history, EditKind kind, const std::vector<int>& ids);
        ~Edit();
        Edit(const Edit&) = delete;
        Edit& operator=(const Edit&) = delete;
        void Commit();

    private:
        EditHistory& m_history;
        struct Pending;
        std::unique_ptr<Pending> m_pending;
    };

    // Steps recorded between BeginGroup and the matching EndGroup (groups
    // nest) become one step, of the kind of the outermost group.
    void BeginGroup(EditKind kind);
    void EndGroup();

    // Models just added to the database by someone else (the loader).
    void RecordAdded(const std::vector<int>& ids);
    // Takes the models out of the database into one step; returns how many.
    int Remove(const std::vector<int>& ids);
    // Takes the state after the newest step again for those of `ids` it
    // holds, when nothing was undone since: for values set just after the edit.
    void RetakeNewest(const std::vector<int>& ids);

    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    // False when there is nothing to undo (or redo).
    bool Undo();
    bool Redo();
    std::size_t UndoCount() const { return m_undo.size(); }
    std::size_t RedoCount() const { return m_redo.size(); }
    EditKind NextUndoKind() const;
    EditKind NextRedoKind() const;
    std::size_t Depth() const { return m_depth; }
    // Drops every step (deleting the entities they held).
    void Clear();
    // Lets go of what steps keep of models no longer in the database and not
    // held by a step (removed without the history: they cannot come back).
    // Done before every new step, undo and redo; callers that remove models
    // another way may call it at once so their meshes are freed now.
    void ForgetModelsGone();

    // The bytes the history itself takes: its steps and states, the meshes of
    // entities it holds, and source meshes only its states still refer to.
    std::size_t MemoryBytes() const;
    // Entities held out of the database by steps.
    std::size_t HeldEntityCount() const;

    struct Step;

private:
    ZELDBEntityDatabase* Database() const;
    // Drops every step when the database is another than the one they were
    // recorded in (true then, or the first time).
    bool DatabaseReplaced();
    void Push(std::unique_ptr<Step> step);
    void Drop(std::unique_ptr<Step> step);

    ZELDBEntityDatabase* m_database;
    // The database the steps were recorded in: when the process-wide one is
    // replaced, the steps (whose ids the new one hands out again) are dropped.
    ZELDBEntityDatabase* m_recordedIn = nullptr;
    std::size_t m_depth;
    std::deque<std::unique_ptr<Step>> m_undo;
    std::deque<std::unique_ptr<Step>> m_redo;  // next to redo last
    std::unique_ptr<Step> m_group;
    int m_groupDepth = 0;
};

}  // namespace zelk
