// The scene store: every draw object to be drawn, by id, in three maps
// (world, animated, screen-space UI) and three slots (sky box, cursor, the
// follow camera's occluder frustum); once per frame it culls itself into
// the render queue.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "utility/Geometry.h"

namespace Gfx {

class Camera;
class Frustum;
class IDrawObj;
class RenderQueue;
class TextMan;
class ParticleMan;

class Spatial {
public:
    using ObjectMap = std::map<int, std::shared_ptr<IDrawObj>>;
    // The effect tag whose translucent objects go to the unsorted blended bucket.
    static constexpr int kBlendedEffectTag = 12;
    static constexpr float kInvisibleAlpha = 0.04f;
    static constexpr float kSeeThroughAlpha = 0.25f;

    explicit Spatial(const std::string& particleConfig);
    ~Spatial();
    Spatial(const Spatial&) = delete;
    Spatial& operator=(const Spatial&) = delete;

    // Inserting under a present id replaces the entry.
    void AddObject(const std::shared_ptr<IDrawObj>& obj);
    void AddAnimatedObject(const std::shared_ptr<IDrawObj>& obj);  // also a world object
    void AddUIObject(const std::shared_ptr<IDrawObj>& obj);
    void SetCursor(const std::shared_ptr<IDrawObj>& obj) { m_cursor = obj; }
    void SetSkyBox(const std::shared_ptr<IDrawObj>& obj) { m_skyBox = obj; }

    bool GetObject(int id, std::shared_ptr<IDrawObj>& out) const;
    bool GetUIObject(int id, std::shared_ptr<IDrawObj>& out) const;
    bool DestroyObject(int id);
    bool DestroyUIObject(int id);
    bool SetObjectPosition(int id, const Geometry::Vector3& p);
    bool SetObjectOrientation(int id, const Geometry::Quaternion& q);
    bool SetUIObjectTransform(int id, const Geometry::Vector3& position, const Geometry::Vector3& scale);
    std::shared_ptr<IDrawObj> GetCursor() const { return m_cursor; }
    std::shared_ptr<IDrawObj> GetSkyBox() const { return m_skyBox; }
    void ClearCursor() { m_cursor.reset(); }
    void ClearSkyBox() { m_skyBox.reset(); }
    // Drops every object and both slots (the end of a match).
    void Clear();

    // Advances the animated objects' clocks (paused or not).
    void Update(float dt, bool notPaused);
    // Puts the objects the camera sees into the queue's buckets; frame is the
    // draw screen's frame counter, recorded on every visible object.
    void Cull(const Camera& camera, RenderQueue& queue, int frame);

    void CreateFrustum(float fov, float aspect, float nearZ);
    std::shared_ptr<Frustum> GetOccluderFrustum() const { return m_occluder; }
    // The screen-text manager; null when there is no device to draw with.
    TextMan* GetTextMan() const { return m_textMan.get(); }
    // The particle effects of the scene (levels of detail from the file given at construction).
    ParticleMan* GetParticleMan() const { return m_particleMan.get(); }
    const ObjectMap& WorldObjects() const { return m_world; }
    const ObjectMap& AnimatedObjects() const { return m_animated; }
    const ObjectMap& UIObjects() const { return m_ui; }

private:
    std::shared_ptr<Frustum> m_occluder;
    std::shared_ptr<IDrawObj> m_skyBox;
    ObjectMap m_world;
    ObjectMap m_animated;
    ObjectMap m_ui;
    std::shared_ptr<IDrawObj> m_cursor;
    std::unique_ptr<TextMan> m_textMan;
    std::unique_ptr<ParticleMan> m_particleMan;
};

}  // namespace Gfx
