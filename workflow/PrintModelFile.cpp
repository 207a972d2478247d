// Merging the printable models into one binary STL, and their fingerprint.
#include "PrintModelFile.h"

#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include "AtomicFileWriter.h"
#include "DBPrint.h"
#include "EntityDatabase.h"
#include "ModelEdit.h"
#include "SameFile.h"

namespace {

constexpr int kEntityPrint = 1;
constexpr std::size_t kFacetBytes = 50;

std::vector<const ZELKDBPrint*> PrintModels(const ZELDBEntityDatabase& database)
{
    std::vector<ZELKDBEntity*> entities;
    database.FindEntity(kEntityPrint, entities);
    std::vector<const ZELKDBPrint*> models;
    for (ZELKDBEntity* entity : entities)
        if (const auto* model = dynamic_cast<const ZELKDBPrint*>(entity))
            models.push_back(model);
    return models;
}

// One facet as an STL file stores it: normal, three vertices (little-endian
// single precision) and an empty attribute word.
void PackFacet(const Triangle& t, unsigned char* out)
{
    const double values[12] = {t.normal.x,     t.normal.y,     t.normal.z,     t.point[0].x,
                               t.point[0].y,   t.point[0].z,   t.point[1].x,   t.point[1].y,
                               t.point[1].z,   t.point[2].x,   t.point[2].y,   t.point[2].z};
    for (int i = 0; i < 12; ++i) {
        const float f = static_cast<float>(values[i]);
        std::memcpy(out + 4 * i, &f, 4);
    }
    out[48] = 0;
    out[49] = 0;
}

template <typename Visit>
void ForEachPackedFacet(const std::vector<const ZELKDBPrint*>& models, Visit&& visit)
{
    unsigned char facet[kFacetBytes];
    for (const ZELKDBPrint* model : models)
        for (const Triangle& t : model->GetPrint().GetGePrint()) {
            PackFacet(t, facet);
            visit(facet);
        }
}

}  // namespace

namespace ZELKCAD {

int GetPrintModelPathAndCount(std::string& path, int& count)
{
    return ZELKModelEdit::GetModelEditObject()->GetPrintModelPathAndCount(path, count);
}

int MergePrintModel(const std::string& path)
{
    const ZELDBEntityDatabase* database = ZELDBEntityDatabase::GetInterFace();
    std::string error;
    return database != nullptr && MergePrintModels(*database, path, error) ? 1 : 0;
}

bool MergePrintModels(const ZELDBEntityDatabase& database, const std::string& path, std::string& error)
{
    const std::vector<const ZELKDBPrint*> models = PrintModels(database);
    std::uint64_t facets = 0;
    std::vector<std::string> sources;
    for (const ZELKDBPrint* model : models) {
        facets += model->GetPrint().GetGePrint().size();
        sources.emplace_back(model->GetName());
    }
    // A model opened from the working folder is the user's file all the same.
    if (const std::string refusal = zelk::WritesOverInput(path, sources); !refusal.empty()) {
        error = refusal;
        return false;
    }
    if (facets > std::numeric_limits<std::uint32_t>::max()) {
        error = "too many facets for one STL file: " + path;
        return false;
    }
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);

    zelk::AtomicFileWriter writer(path);
    if (!writer.Open()) {
        error = writer.Error();
        return false;
    }
    char header[84] = "Morvadin-X: printable models merged in world coordinates";
    const auto count = static_cast<std::uint32_t>(facets);
    std::memcpy(header + 80, &count, 4);
    bool ok = writer.Write(header, sizeof header);

    // Written in pieces of a few thousand facets: a million-facet plate needs
    // no second copy of itself in memory.
    std::vector<unsigned char> buffer;
    buffer.reserve(4096 * kFacetBytes);
    ForEachPackedFacet(models, [&](const unsigned char* facet) {
        buffer.insert(buffer.end(), facet, facet + kFacetBytes);
        if (buffer.size() == buffer.capacity()) {
            ok = ok && writer.Write(buffer.data(), buffer.size());
            buffer.clear();
        }
    });
    ok = ok && writer.Write(buffer.data(), buffer.size()) && writer.Commit(false);
    if (!ok)
        error = writer.Error();
    return ok;
}

std::uint64_t PrintModelFingerprint(const ZELDBEntityDatabase& database)
{
    // A multiply-xorshift hash over the packed facets' 32-bit words.
    std::uint64_t hash = 0x9E3779B97F4A7C15ULL;
    const auto mix = [&hash](std::uint64_t word) {
        hash ^= word + 0x9E3779B97F4A7C15ULL + (hash << 6) + (hash >> 2);
        hash *= 0xFF51AFD7ED558CCDULL;
        hash ^= hash >> 33;
    };
    const std::vector<const ZELKDBPrint*> models = PrintModels(database);
    for (const ZELKDBPrint* model : models)
        mix(model->GetPrint().GetGePrint().size());
    ForEachPackedFacet(models, [&](const unsigned char* facet) {
        for (int i = 0; i < 48; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, facet + i, 8);
            mix(word);
        }
    });
    return hash;
}

std::uint64_t PrintModelFingerprint()
{
    const ZELDBEntityDatabase* database = ZELDBEntityDatabase::GetInterFace();
    return database != nullptr ? PrintModelFingerprint(*database) : 0;
}

}  // namespace ZELKCAD
