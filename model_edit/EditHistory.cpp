// Undo and redo of model edits: a bounded list of steps that keep transform states, not meshes.
#include "EditHistory.h"

#include <algorithm>
#include <set>
#include <utility>

#include "DBPrint.h"
#include "EntityDatabase.h"

namespace zelk {

namespace {

using State = ZELKDBPrint::TransformState;

ZELKDBPrint* FindPrint(ZELDBEntityDatabase* db, int id)
{
    ZELKDBEntity* entity = db != nullptr ? db->FindEntity(id) : nullptr;
    return entity != nullptr && entity->GetEventType() == kEntityPrint ? static_cast<ZELKDBPrint*>(entity) : nullptr;
}

std::size_t MeshBytes(const ZELKGePrint& mesh)
{
    return sizeof(ZELKGePrint) + mesh.GetGePrint().capacity() * sizeof(Triangle);
}

}  // namespace

// One model's part in an edit.
struct ModelChange {
    int id = 0;
    State before;
    State after;
};

// One model's part in an add or a remove: the entity while it is out of the database.
struct ModelPresence {
    int id = 0;
    bool selected = false;
    std::unique_ptr<ZELKDBEntity> held;
};

struct Action {
    EditKind kind = EditKind::Other;
    std::vector<ModelChange> changes;    // edits
    std::vector<ModelPresence> presence;  // adds and removes
};

struct EditHistory::Step {
    EditKind kind = EditKind::Other;
    std::vector<Action> actions;  // in the order they were made
};

struct EditHistory::Edit::Pending {
    EditKind kind = EditKind::Other;
    std::vector<std::pair<int, State>> before;
};

namespace {

// Takes the models of `action` out of the database or puts them back.
void TakeOut(ZELDBEntityDatabase* db, Action& action)
{
    for (ModelPresence& p : action.presence) {
        if (p.held != nullptr || db->FindEntity(p.id) == nullptr)
            continue;
        p.selected = db->GetSelectEntity().count(p.id) != 0;
        p.held = db->TakeOut(p.id);
    }
}

void PutBack(ZELDBEntityDatabase* db, Action& action)
{
    for (ModelPresence& p : action.presence) {
        if (p.held == nullptr || !db->PutBack(p.held))
            continue;
        if (p.selected)
            db->AddSelect(p.id);
    }
}

void SetStates(ZELDBEntityDatabase* db, const Action& action, bool after)
{
    for (const ModelChange& c : action.changes)
        if (ZELKDBPrint* model = FindPrint(db, c.id))
            model->SetTransformState(after ? c.after : c.before);
}

}  // namespace

EditHistory::EditHistory(ZELDBEntityDatabase* database, std::size_t depth)
    : m_database(database), m_depth(std::max<std::size_t>(depth, 1))
{
}

EditHistory::~EditHistory()
{
    Clear();
}

EditHistory& EditHistory::ProcessWide()
{
    // Like the process-wide database, it lives as long as the process: the
    // entities it may hold are not deleted while statics go.
    static EditHistory* history = new EditHistory(nullptr);
    return *history;
}

ZELDBEntityDatabase* EditHistory::Database() const
{
    return m_database != nullptr ? m_database : ZELDBEntityDatabase::GetInterFace();
}

bool EditHistory::DatabaseReplaced()
{
    ZELDBEntityDatabase* db = Database();
    if (db != m_recordedIn) {
        if (m_recordedIn != nullptr) {
            // Entities held for the old database are deleted, not put into the new one.
            for (auto* steps : {&m_undo, &m_redo})
                for (auto& step : *steps)
                    for (Action& action : step->actions)
                        for (ModelPresence& p : action.presence)
                            p.held.reset();
            m_undo.clear();
            m_redo.clear();
        }
        m_recordedIn = db;
        return true;
    }
    return false;
}

void EditHistory::ForgetModelsGone()
{
    if (DatabaseReplaced())
        return;
    ZELDBEntityDatabase* db = Database();
    std::set<int> held;
    auto holdOf = [&held](const Step& step) {
        for (const Action& action : step.actions)
            for (const ModelPresence& p : action.presence)
                if (p.held != nullptr)
                    held.insert(p.id);
    };
    for (const auto* steps : {&m_undo, &m_redo})
        for (const auto& step : *steps)
            holdOf(*step);
    if (m_group != nullptr)
        holdOf(*m_group);
    for (auto* steps : {&m_undo, &m_redo})
        for (auto& step : *steps)
            for (Action& action : step->actions)
                for (ModelChange& c : action.changes)
                    if (c.before.source != nullptr && held.count(c.id) == 0 && db->FindEntity(c.id) == nullptr)
                        c.before = c.after = State();  // no source: nothing left to set
}

EditHistory::Edit::Edit(EditHistory& history, EditKind kind, const std::vector<int>& ids)
    : m_history(history), m_pending(std::make_unique<Pending>())
{
    m_pending->kind = kind;
    ZELDBEntityDatabase* db = history.Database();
    for (int id : ids)
        if (const ZELKDBPrint* model = FindPrint(db, id))
            m_pending->before.emplace_back(id, model->GetTransformState());
}

EditHistory::Edit::~Edit() = default;

void EditHistory::Edit::Commit()
{
    if (m_pending == nullptr)
        return;
    ZELDBEntityDatabase* db = m_history.Database();
    Action action;
    action.kind = m_pending->kind;
    for (auto& [id, before] : m_pending->before) {
        const ZELKDBPrint* model = FindPrint(db, id);
        if (model == nullptr)
            continue;
        State after = model->GetTransformState();
        if (!after.SameAs(before))
            action.changes.push_back({id, std::move(before), std::move(after)});
    }
    const EditKind kind = m_pending->kind;
    m_pending.reset();
    if (action.changes.empty())
        return;
    auto step = std::make_unique<Step>();
    step->kind = kind;
    step->actions.push_back(std::move(action));
    m_history.Push(std::move(step));
}

void EditHistory::BeginGroup(EditKind kind)
{
    if (m_groupDepth++ == 0) {
        m_group = std::make_unique<Step>();
        m_group->kind = kind;
    }
}

void EditHistory::EndGroup()
{
    if (m_groupDepth == 0 || --m_groupDepth > 0)
        return;
    std::unique_ptr<Step> group = std::move(m_group);
    if (!group->actions.empty())
        Push(std::move(group));
}

void EditHistory::Push(std::unique_ptr<Step> step)
{
    if (m_groupDepth > 0 && m_group != nullptr) {
        for (Action& action : step->actions)
            m_group->actions.push_back(std::move(action));
        return;
    }
    DatabaseReplaced();
    while (!m_redo.empty()) {
        Drop(std::move(m_redo.back()));
        m_redo.pop_back();
    }
    m_undo.push_back(std::move(step));
    while (m_undo.size() > m_depth) {
        Drop(std::move(m_undo.front()));
        m_undo.pop_front();
    }
    ForgetModelsGone();  // after: the new step may hold models just taken out
}

void EditHistory::Drop(std::unique_ptr<Step> step)
{
    ZELDBEntityDatabase* db = Database();
    for (Action& action : step->actions)
        for (ModelPresence& p : action.presence)
            if (p.held != nullptr) {
                if (db != nullptr)
                    db->Discard(std::move(p.held));
                p.held.reset();
            }
}

void EditHistory::RecordAdded(const std::vector<int>& ids)
{
    ZELDBEntityDatabase* db = Database();
    Action action;
    action.kind = EditKind::Add;
    for (int id : ids)
        if (db != nullptr && db->FindEntity(id) != nullptr)
            action.presence.push_back({id, false, nullptr});
    if (action.presence.empty())
        return;
    auto step = std::make_unique<Step>();
    step->kind = EditKind::Add;
    step->actions.push_back(std::move(action));
    Push(std::move(step));
}

int EditHistory::Remove(const std::vector<int>& ids)
{
    ZELDBEntityDatabase* db = Database();
    if (db == nullptr)
        return 0;
    Action action;
    action.kind = EditKind::Remove;
    for (int id : ids)
        if (db->FindEntity(id) != nullptr)
            action.presence.push_back({id, false, nullptr});
    TakeOut(db, action);
    const int removed = static_cast<int>(action.presence.size());
    if (removed == 0)
        return 0;
    auto step = std::make_unique<Step>();
    step->kind = EditKind::Remove;
    step->actions.push_back(std::move(action));
    Push(std::move(step));
    return removed;
}

void EditHistory::RetakeNewest(const std::vector<int>& ids)
{
    if (m_undo.empty() || !m_redo.empty())
        return;
    ZELDBEntityDatabase* db = Database();
    Action& action = m_undo.back()->actions.back();
    for (ModelChange& c : action.changes)
        if (std::find(ids.begin(), ids.end(), c.id) != ids.end())
            if (const ZELKDBPrint* model = FindPrint(db, c.id))
                c.after = model->GetTransformState();
}

bool EditHistory::Undo()
{
    ForgetModelsGone();
    ZELDBEntityDatabase* db = Database();
    if (m_undo.empty() || db == nullptr || m_groupDepth > 0)
        return false;
    std::unique_ptr<Step> step = std::move(m_undo.back());
    m_undo.pop_back();
    for (auto it = step->actions.rbegin(); it != step->actions.rend(); ++it) {
        switch (it->kind) {
        case EditKind::Add: TakeOut(db, *it); break;
        case EditKind::Remove: PutBack(db, *it); break;
        default: SetStates(db, *it, false); break;
        }
    }
    m_redo.push_back(std::move(step));
    return true;
}

bool EditHistory::Redo()
{
    ForgetModelsGone();
    ZELDBEntityDatabase* db = Database();
    if (m_redo.empty() || db == nullptr || m_groupDepth > 0)
        return false;
    std::unique_ptr<Step> step = std::move(m_redo.back());
    m_redo.pop_back();
    for (Action& action : step->actions) {
        switch (action.kind) {
        case EditKind::Add: PutBack(db, action); break;
        case EditKind::Remove: TakeOut(db, action); break;
        default: SetStates(db, action, true); break;
        }
    }
    m_undo.push_back(std::move(step));
    return true;
}

EditKind EditHistory::NextUndoKind() const
{
    return m_undo.empty() ? EditKind::Other : m_undo.back()->kind;
}

EditKind EditHistory::NextRedoKind() const
{
    return m_redo.empty() ? EditKind::Other : m_redo.back()->kind;
}

void EditHistory::Clear()
{
    while (!m_redo.empty()) {
        Drop(std::move(m_redo.back()));
        m_redo.pop_back();
    }
    while (!m_undo.empty()) {
        Drop(std::move(m_undo.front()));
        m_undo.pop_front();
    }
    if (m_group != nullptr)
        Drop(std::move(m_group));
    m_groupDepth = 0;
}

std::size_t EditHistory::HeldEntityCount() const
{
    std::size_t held = 0;
    for (const auto* steps : {&m_undo, &m_redo})
        for (const auto& step : *steps)
            for (const Action& action : step->actions)
                for (const ModelPresence& p : action.presence)
                    held += p.held != nullptr ? 1 : 0;
    return held;
}

std::size_t EditHistory::MemoryBytes() const
{
    ZELDBEntityDatabase* db = Database();
    std::size_t bytes = sizeof(*this);
    std::set<const ZELKGePrint*> counted;
    auto countSource = [&](const std::shared_ptr<const ZELKGePrint>& source) {
        if (source != nullptr && counted.insert(source.get()).second)
            bytes += MeshBytes(*source);
    };
    for (const auto* steps : {&m_undo, &m_redo})
        for (const auto& step : *steps) {
            bytes += sizeof(std::unique_ptr<Step>) + sizeof(Step) + step->actions.capacity() * sizeof(Action);
            for (const Action& action : step->actions) {
                bytes += action.changes.capacity() * sizeof(ModelChange) +
                         action.presence.capacity() * sizeof(ModelPresence);
                for (const ModelPresence& p : action.presence)
                    if (p.held != nullptr && p.held->GetEventType() == kEntityPrint) {
                        const auto* model = static_cast<const ZELKDBPrint*>(p.held.get());
                        bytes += sizeof(ZELKDBPrint) + sizeof(ZELKGePrint) + model->GetFacetCount() * sizeof(Triangle);
                        countSource(model->GetSourceMesh());
                    }
            }
        }
    // A source mesh counts when no model in the database has it as its own
    // now: then the history's states alone keep it.
    for (const auto* steps : {&m_undo, &m_redo})
        for (const auto& step : *steps)
            for (const Action& action : step->actions)
                for (const ModelChange& c : action.changes) {
                    const ZELKDBPrint* live = FindPrint(db, c.id);
                    const ZELKGePrint* current = live != nullptr ? live->GetSourceMesh().get() : nullptr;
                    for (const State* s : {&c.before, &c.after})
                        if (s->source.get() != current)
                            countSource(s->source);
                }
    return bytes;
}

}  // namespace zelk
