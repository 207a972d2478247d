// The entity database: owns the printable models, hands out ids and keeps the selection.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "DBEntity.h"

class ZELKDBEntityReset;

// Ids count up from 1 and are never reused while the process runs. Both maps
// iterate in ascending id order, the drawing and picking order of the view.
// Used from the user-interface thread only.
class ZELDBEntityDatabase {
public:
    using EntityMap = std::map<int, ZELKDBEntity*>;

    // The process-wide database, created on first use; null if it cannot be allocated.
    static ZELDBEntityDatabase* GetInterFace();

    ZELDBEntityDatabase();
    // Deletes the entities still held; the process-wide pointer is cleared when
    // this is the process-wide database, so the next GetInterFace creates one.
    ~ZELDBEntityDatabase();
    ZELDBEntityDatabase(const ZELDBEntityDatabase&) = delete;
    ZELDBEntityDatabase& operator=(const ZELDBEntityDatabase&) = delete;

    // The reset store whose entries go with the models removed from here (the
    // process-wide database uses the process-wide store); null: none.
    void SetResetStore(ZELKDBEntityReset* store) { m_resetStore = store; }

    // Takes ownership; writes the new id into the entity and into `id`, and
    // returns it. A null entity is ignored (returns -1, `id` untouched). A
    // printable model's source mesh goes into the reset store under the id.
    int Add(ZELKDBEntity* entity, int& id);
    // Takes an entity out without deleting it (unselected; its reset-store
    // entry stays): the caller owns it and may put it back. Null when absent.
    std::unique_ptr<ZELKDBEntity> TakeOut(int id);
    // Puts an entity taken out back under its own id. False, and the entity
    // left with the caller, when that id is in use or was never handed out.
    bool PutBack(std::unique_ptr<ZELKDBEntity>& entity);
    // Deletes an entity taken out for good, with its reset-store entry.
    void Discard(std::unique_ptr<ZELKDBEntity> entity);
    // Unselects, erases and deletes; the cursor moves to the following entry. Returns 0.
    int Remove(int id);
    int Remove(ZELKDBEntity* entity);
    int RemoveAll();
    // Removes (and deletes) every selected entity. Returns 1.
    int UnLoadCheckedEntity();

    ZELKDBEntity* FindEntity(int id) const;
    // Appends, in id order, every entity of the event type; `out` is not cleared.
    void FindEntity(int type, std::vector<ZELKDBEntity*>& out) const;
    int GetCount() const { return static_cast<int>(m_entities.size()); }
    int GetCount(int type) const;

    ZELKDBEntity* FirstDBEntity();
    ZELKDBEntity* NextDBEntity();

    void AddSelect(int id);
    void RemoveSelect(int id);
    void SelectALL();
    void ClearSelect();
    const EntityMap& GetSelectEntity() const { return m_selection; }
    int GetSelectCount() const { return static_cast<int>(m_selection.size()); }

    // 1 when every printable model lies inside the build volume (or there are none).
    int IsInPlatform();
    // 1 when every printable model's lowest point is at z <= 0.01 (or there are none).
    int IsPrintModelOnPlatform();
    // Raises each coordinate of a to the models' box minima and of b to their maxima.
    void GetDatabaseModelMaxBox(ZELKGePoint3d& a, ZELKGePoint3d& b);
    // Adds every entity's box corners to `center` and divides by 2n; returns n (0: untouched).
    int GetEntitysCenter(ZELKGePoint3d& center);
    // Lowers or raises every entity of `entities` so its lowest point is at z = 0.
    void MoveToXYPlane(const EntityMap& entities);

private:
    static ZELDBEntityDatabase* m_database;

    EntityMap m_entities;
    EntityMap::iterator m_cursor;
    int m_lastId = 0;
    EntityMap m_selection;
    ZELKDBEntityReset* m_resetStore = nullptr;
};
