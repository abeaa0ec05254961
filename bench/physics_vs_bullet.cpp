// Our physics world against Bullet on the same scenes, one thread, the same
// fixed step, in one process. Prints per scene the median milliseconds per
// step of each and their ratio (ours / Bullet), one line each, last.
//   physics_vs_bullet           full scenes (the figures we quote)
//   physics_vs_bullet --tiny    small scenes, few steps (CI proves it runs)
//   physics_vs_bullet --scene field   one scene only
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "physics/PhysWorld.h"

namespace {

using Clock = std::chrono::steady_clock;

struct BoxSpec {
    float x, y, z;
    float hx, hy, hz;
    bool dynamic;
};

struct Scene {
    std::string name;
    std::vector<BoxSpec> boxes;
    int steps = 0;
};

const float kStep = 1.0f / 60.0f;
// Block-like materials, the same on both sides as far as the engines allow.
const float kDensity = 800.0f;
const float kFriction = 0.5f;
const float kRestitution = 0.2f;

Physics::PhysMaterial BlockMaterial() {
    Physics::PhysMaterial m = Physics::PhysMaterial::Test();
    m.density = kDensity;
    m.staticFriction = 0.6f;
    m.kineticFriction = 0.4f;
    m.coRestitution = kRestitution;
    return m;
}

Physics::PhysMaterial GroundMaterial() {
    Physics::PhysMaterial m = BlockMaterial();
    m.density = 0.0f;
    return m;
}

// Square layers of unit boxes from n x n at the bottom up to 1 x 1, each layer
// resting on the cracks of the one below, on a static ground slab.
Scene Pyramid(int base, int steps) {
    Scene s;
    s.name = "pyramid";
    s.steps = steps;
    s.boxes.push_back({0, -0.5f, 0, base + 10.0f, 0.5f, base + 10.0f, false});
    for (int layer = 0; layer < base; ++layer) {
        const int n = base - layer;
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < n; ++k)
                s.boxes.push_back({i - (n - 1) * 0.5f, 0.5f + layer, k - (n - 1) * 0.5f, 0.5f, 0.5f, 0.5f, true});
    }
    return s;
}

// A level-like field: a floor of static unit blocks with static walls and
// pillars on it, and dynamic blocks falling onto it from different heights.
Scene Field(int statics, int dynamics, int steps) {
    Scene s;
    s.name = "field";
    s.steps = steps;
    const int side = 1;
    int w = 1;
    while (w * w < statics * 3 / 4) ++w;  // three quarters floor, the rest walls
    for (int i = 0; i < w && static_cast<int>(s.boxes.size()) < statics; ++i)
        for (int k = 0; k < w && static_cast<int>(s.boxes.size()) < statics; ++k)
            s.boxes.push_back({i - w * 0.5f, 0.5f, k - w * 0.5f, 0.5f, 0.5f, 0.5f, false});
    // Walls of unit blocks every 8 rows, three high.
    for (int level = 1; static_cast<int>(s.boxes.size()) < statics; ++level)
        for (int row = 4; row < w && static_cast<int>(s.boxes.size()) < statics; row += 8)
            for (int i = 0; i < w && static_cast<int>(s.boxes.size()) < statics; ++i)
                s.boxes.push_back({i - w * 0.5f, 0.5f + side * (1 + (level - 1) % 3), row - w * 0.5f + (level - 1) / 3 * 2,
                                   0.5f, 0.5f, 0.5f, false});
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / 16777216.0f;
    };
    for (int i = 0; i < dynamics; ++i) {
        const float x = (next() - 0.5f) * (w - 4);
        const float z = (next() - 0.5f) * (w - 4);
        const float y = 5.0f + next() * 10.0f;
        s.boxes.push_back({x, y, z, 0.5f, 0.5f, 0.5f, true});
    }
    return s;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Mean(const std::vector<double>& v) {
    double sum = 0.0;
    for (double x : v) sum += x;
    return v.empty() ? 0.0 : sum / v.size();
}

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// ---- ours -----------------------------------------------------------------
struct OursResult {
    double medianMs;
    double meanMs;
    int awakeAtEnd;
};

OursResult RunOurs(const Scene& scene) {
    Physics::PhysWorld world;
    std::vector<Physics::PhysBodyPtr> bodies;
    uint16_t id = 0;
    for (const BoxSpec& b : scene.boxes) {
        Physics::PhysBodyPtr body = Physics::CreateBody({b.x, b.y, b.z}, {b.hx, b.hy, b.hz},
                                                        b.dynamic ? "TEST" : "TEST_STATIC");
        body->ApplyMaterial(b.dynamic ? BlockMaterial() : GroundMaterial());
        body->SetActorId(id++);
        world.AddBody(body);
        bodies.push_back(body);
    }
    std::vector<double> times;
    std::vector<Physics::MoveReport> moves;
    for (int i = 0; i < scene.steps; ++i) {
        const auto t0 = Clock::now();
        world.Step(kStep);
        world.TakeCollisionReports();
        world.CollectMoveReports(moves);
        times.push_back(Ms(t0, Clock::now()));
    }
    return {Median(times), Mean(times), static_cast<int>(world.AwakeBodies().size())};
}

// ---- Bullet ---------------------------------------------------------------
struct BulletResult {
    double medianMs;
    double meanMs;
    int activeAtEnd;
};

BulletResult RunBullet(const Scene& scene) {
    btDefaultCollisionConfiguration config;
    btCollisionDispatcher dispatcher(&config);
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world(&dispatcher, &broadphase, &solver, &config);
    world.setGravity(btVector3(0, -10, 0));

    std::vector<std::unique_ptr<btCollisionShape>> shapes;
    std::vector<std::unique_ptr<btDefaultMotionState>> states;
    std::vector<std::unique_ptr<btRigidBody>> bodies;
    btBoxShape* unit = new btBoxShape(btVector3(0.5f, 0.5f, 0.5f));
    shapes.emplace_back(unit);
    for (const BoxSpec& b : scene.boxes) {
        btCollisionShape* shape = unit;
        if (b.hx != 0.5f || b.hy != 0.5f || b.hz != 0.5f) {
            shape = new btBoxShape(btVector3(b.hx, b.hy, b.hz));
            shapes.emplace_back(shape);
        }
        const btScalar mass = b.dynamic ? kDensity * 8.0f * b.hx * b.hy * b.hz : 0.0f;
        btVector3 inertia(0, 0, 0);
        if (mass > 0) shape->calculateLocalInertia(mass, inertia);
        btTransform t;
        t.setIdentity();
        t.setOrigin(btVector3(b.x, b.y, b.z));
        states.emplace_back(new btDefaultMotionState(t));
        btRigidBody::btRigidBodyConstructionInfo info(mass, states.back().get(), shape, inertia);
        info.m_restitution = kRestitution;
        info.m_friction = kFriction;
        bodies.emplace_back(new btRigidBody(info));
        world.addRigidBody(bodies.back().get());
    }
    std::vector<double> times;
    for (int i = 0; i < scene.steps; ++i) {
        const auto t0 = Clock::now();
        world.stepSimulation(kStep, 0);  // exactly one fixed step
        times.push_back(Ms(t0, Clock::now()));
    }
    int active = 0;
    for (auto& b : bodies)
        if (b->getInvMass() > 0 && b->isActive()) ++active;
    for (auto& b : bodies) world.removeRigidBody(b.get());
    return {Median(times), Mean(times), active};
}

}  // namespace

int main(int argc, char** argv) {
    const bool tiny = argc > 1 && std::strcmp(argv[1], "--tiny") == 0;
    std::vector<Scene> scenes;
    if (tiny) {
        scenes.push_back(Pyramid(4, 20));
        scenes.push_back(Field(200, 20, 20));
    } else {
        scenes.push_back(Pyramid(15, 300));
        scenes.push_back(Field(5000, 300, 300));
    }
    // --scene NAME runs one scene only (profiling).
    const char* only = nullptr;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--scene") == 0) only = argv[i + 1];
    std::vector<std::string> lines;
    for (const Scene& s : scenes) {
        if (only && s.name != only) continue;
        const OursResult ours = RunOurs(s);
        const BulletResult bullet = RunBullet(s);
        std::printf("physics: scene %s: %zu bodies, %d steps; mean ms per step: ours %.3f, bullet %.3f; "
                    "awake at the end: ours %d, bullet %d\n",
                    s.name.c_str(), s.boxes.size(), s.steps, ours.meanMs, bullet.meanMs, ours.awakeAtEnd,
                    bullet.activeAtEnd);
        char line[256];
        std::snprintf(line, sizeof line, "physics: scene=%s bodies=%zu ours_ms=%.4f bullet_ms=%.4f ratio=%.3f",
                      s.name.c_str(), s.boxes.size(), ours.medianMs, bullet.medianMs,
                      bullet.medianMs > 0 ? ours.medianMs / bullet.medianMs : 0.0);
        lines.push_back(line);
    }
    for (const std::string& l : lines) std::puts(l.c_str());
    return 0;
}
