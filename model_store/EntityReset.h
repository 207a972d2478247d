// The reset store: a copy of every loaded model's mesh as read from its file, keyed by entity id.
#pragma once

#include <map>

#include "GePrint.h"

// Filled by the STL loader; read by the model-editing service. A database
// attached to the store (SetResetStore) removes a model's entry with the model.
class ZELKDBEntityReset {
public:
    // The process-wide store, created empty on first use; null if it cannot be allocated.
    static ZELKDBEntityReset* getInstance();

    ZELKDBEntityReset() = default;

    // Stores a copy under the id; an id already present keeps its first mesh.
    void Add(int id, ZELKGePrint mesh);
    // 1 and a copy in `out`, or 0 with `out` untouched.
    int GetGePrint(int id, ZELKGePrint& out) const;
    void Remove(int id);
    void RemoveAll();
    int GetCount() const { return static_cast<int>(m_store.size()); }

private:
    static ZELKDBEntityReset* m_entityReset;
    std::map<int, ZELKGePrint> m_store;
};
