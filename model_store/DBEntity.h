// The base of everything the 3D view shows: name, id, kind, selection state and colour.
#pragma once

#include <string>

#include "GeMatrix3d.h"
#include "GePoint3d.h"

// Red, green and blue on a 0-255 scale.
struct GLColor {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
};

// Kinds of entity (the event type).
enum EntityEventType { kEntityBase = 0, kEntityPrint = 1, kEntityPrintBox = 3 };

// A drawable object. Printable models live in the entity database, which owns
// them; the build volume belongs to the renderer. Deleted through the base.
class ZELKDBEntity {
public:
    ZELKDBEntity();
    virtual ~ZELKDBEntity();

    // World-space bounding box; the base leaves both points untouched.
    virtual void GetMinMaxPoint(ZELKGePoint3d& min, ZELKGePoint3d& max);
    virtual void SetModeSelectState(int state);
    virtual int GetModeSelectState();
    virtual void Draw() = 0;
    // Translates by to - from.
    virtual void Move(ZELKGePoint3d from, const ZELKGePoint3d& to) = 0;
    virtual void Move(const ZELKGePoint3d& delta) = 0;
    virtual void RotateBy(double angleDeg, const ZELKGeVector3d& axis, const ZELKGePoint3d& center) = 0;
    virtual void TransFromBy(const ZELKGeMatrix3d& matrix) = 0;
    virtual void Scale(double factor, Axis_ScaleDirection axis) = 0;
    virtual void Scale(double factor) = 0;
    virtual void GetCenterPoint(ZELKGePoint3d& point) = 0;
    // One step of a mouse drag; the base ignores it.
    virtual void TrackTranslation(ZELKGePoint3d first, ZELKGePoint3d second, int mode, int phase);
    // Nonzero when the entity lies inside the build volume; the base says 0.
    virtual int IsInPlatform();

    int GetEventType() const { return m_eventType; }
    // The whole text (a model's file path, however long); never cut, so a
    // UTF-8 name keeps every character.
    void SetName(std::string name);
    char* GetName() { return m_name.data(); }
    const char* GetName() const { return m_name.c_str(); }
    int GetShowType() const { return m_showType; }
    // Show type and colour keep their construction values for the entity's
    // whole life: callers may call the setters, which leave them unchanged.
    // (Kinds of entity that draw differently set the members themselves.)
    void SetShowType(int /*showType*/) {}
    GLColor GetColor() const { return m_color; }
    void SetColor(GLColor /*color*/) {}
    void SetEntityId(int id) { m_entityId = id; }
    int GetEventId() const { return m_entityId; }

    ZELKDBEntity(const ZELKDBEntity&) = delete;
    ZELKDBEntity& operator=(const ZELKDBEntity&) = delete;

protected:
    explicit ZELKDBEntity(int eventType);

    std::string m_name;
    int m_showType = 1;
    GLColor m_color{10.0f, 170.0f, 40.0f};
    int m_entityId = 0;
    int m_eventType = kEntityBase;
    int m_selectState = 0;
};
