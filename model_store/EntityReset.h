// The reset store: a copy of every loaded model's mesh as read from its file, keyed by entity id.
#pragma once

#include <map>
#include <memory>

#include "GePrint.h"

// Filled by the STL loader; read by the model-editing service. A database
// attached to the store (SetResetStore) enters a model's source mesh when the
// model is added (shared with the model, not copied; the loader's own entry
// for the id is then the same mesh and is not kept twice) and removes the
// entry with the model.
class ZELKDBEntityReset {
public:
    // The process-wide store, created empty on first use; null if it cannot be allocated.
    static ZELKDBEntityReset* getInstance();

    ZELKDBEntityReset() = default;

    // Stores a copy under the id; an id already present keeps its first mesh.
    void Add(int id, ZELKGePrint mesh);
    // The same, sharing a mesh that is never changed.
    void Add(int id, std::shared_ptr<const ZELKGePrint> mesh);
    // 1 and a copy in `out`, or 0 with `out` untouched.
    int GetGePrint(int id, ZELKGePrint& out) const;
    void Remove(int id);
    void RemoveAll();
    int GetCount() const { return static_cast<int>(m_store.size()); }

private:
    static ZELKDBEntityReset* m_entityReset;
    std::map<int, std::shared_ptr<const ZELKGePrint>> m_store;
};
