// Our physics world against Bullet on the same scenes, one thread, the same
// fixed step (1/60 s) and the same gravity, in one process. Both worlds of a
// scene are stepped in turn, each step of ours followed by the same step of
// Bullet, so that load on a shared machine falls on both alike. Last, one line
// per scene:
//   physics: scene=<name> bodies=<n> ours_ms=<median> bullet_ms=<median> ratio=<ours/bullet>
// with the median milliseconds per step of each (our step includes taking the
// collision and move reports, as the physics process does after every step).
//
// What is measured:
// - pyramid (1,240 unit boxes in square layers of 15 x 15 down to 1 x 1 on a
//   static slab): the steps in which every box is awake in both worlds, i.e.
//   the settling of the stack from its first step until either world puts a
//   box to sleep (ours sleeps a box after 1.4 s at rest, Bullet an island
//   after 2 s). A stack left alone falls asleep in both engines and a sleeping
//   world costs next to nothing, so a median over a long run would compare
//   two idle worlds; the window compares the same bodies and the same
//   contacts doing the same work on both sides.
// - field (5,000 static unit blocks: a floor with walls, and 300 unit blocks
//   falling from 5 to 15 units onto it): every step of 5 s, falling, impacts,
//   settling and sleeping as each engine does them, as in a level.
// Each scene is run for several rounds (fresh worlds each time) and the median
// is taken over the measured steps of all rounds.
//
//   bench_physics_vs_bullet                full scenes (the figures we quote)
//   bench_physics_vs_bullet --tiny         small scenes, few steps (CI proves it runs)
//   bench_physics_vs_bullet --scene NAME   one scene only
//   --rounds N      rounds per scene (default 3, tiny 1)
//   --steps N       at most N steps per round (profiling)
//   --ours-only / --bullet-only           step one engine only (profiling,
//                                          instruction counts), e.g.
//     valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*Ours::Step*'
//       bench_physics_vs_bullet --scene pyramid --ours-only --rounds 1 --steps 20
//   --trace         per-step times and awake counts on stderr
//   --checksum      a hash of our bodies' states after the run and of every
//                   step's collision and move reports (speed work must not
//                   change it)
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
    int steps = 0;             // at most this many steps per round
    bool awakeWindow = false;  // measure only while every dynamic body is awake in both
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
    s.awakeWindow = true;
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
class Ours {
public:
    explicit Ours(const Scene& scene) {
        uint16_t id = 0;
        for (const BoxSpec& b : scene.boxes) {
            Physics::PhysBodyPtr body = Physics::CreateBody({b.x, b.y, b.z}, {b.hx, b.hy, b.hz},
                                                            b.dynamic ? "TEST" : "TEST_STATIC");
            body->ApplyMaterial(b.dynamic ? BlockMaterial() : GroundMaterial());
            body->SetActorId(id++);
            m_world.AddBody(body);
            m_bodies.push_back(body);
        }
    }
    // One step with the reports the physics process collects after each.
    // Not inlined, so that callgrind can count this function alone.
    __attribute__((noinline)) void Step() {
        m_world.Step(kStep);
        const std::vector<Physics::PhysContact> reports = m_world.TakeCollisionReports();
        m_world.CollectMoveReports(m_moves);
        if (m_hashReports) HashReports(reports);
    }
    // Folds every step's reports into the checksum (outside the figures).
    void SetHashReports(bool on) { m_hashReports = on; }
    int AwakeDynamic() const {
        int n = 0;
        for (const auto& b : m_bodies)
            if (!b->IsStatic() && !b->IsAsleep()) ++n;
        return n;
    }
    // FNV-1a over the bits of every body's position, orientation and
    // velocities: a change of speed work must leave it unchanged.
    static void Add(uint64_t& h, const float* f, int n) {
        for (int i = 0; i < n; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &f[i], sizeof bits);
            for (int k = 0; k < 4; ++k) {
                h ^= (bits >> (8 * k)) & 0xFFu;
                h *= 1099511628211ull;
            }
        }
    }
    void HashReports(const std::vector<Physics::PhysContact>& reports) {
        for (const Physics::PhysContact& r : reports) {
            const float v[11] = {static_cast<float>(r.resting), r.normalSpeed, r.point.x, r.point.y, r.point.z,
                                 r.normal.x, r.normal.y, r.normal.z, static_cast<float>(r.idA) + r.massA,
                                 static_cast<float>(r.idB), r.massB};
            Add(m_reportHash, v, 11);
        }
        for (const Physics::MoveReport& m : m_moves) {
            const float v[11] = {static_cast<float>(m.actorId), m.position.x, m.position.y, m.position.z,
                                 m.velocity.x, m.velocity.y, m.velocity.z, m.orientation.w, m.orientation.x,
                                 m.orientation.y, m.orientation.z};
            Add(m_reportHash, v, 11);
        }
    }
    uint64_t Checksum() const {
        uint64_t h = m_reportHash;
        auto add = [&h](const float* f, int n) { Add(h, f, n); };
        for (const auto& b : m_bodies) {
            const Physics::RigidState& s = b->state;
            const float v[16] = {s.position.x, s.position.y, s.position.z, s.orientation.w, s.orientation.x,
                                 s.orientation.y, s.orientation.z, s.velocity.x, s.velocity.y, s.velocity.z,
                                 s.angularVelocity.x, s.angularVelocity.y, s.angularVelocity.z,
                                 b->IsAsleep() ? 1.0f : 0.0f, 0.0f, 0.0f};
            add(v, 14);
        }
        return h;
    }

private:
    Physics::PhysWorld m_world;
    std::vector<Physics::PhysBodyPtr> m_bodies;
    std::vector<Physics::MoveReport> m_moves;
    bool m_hashReports = false;
    uint64_t m_reportHash = 1469598103934665603ull;
};

// ---- Bullet ---------------------------------------------------------------
class Bullet {
public:
    explicit Bullet(const Scene& scene)
        : m_dispatcher(&m_config), m_world(&m_dispatcher, &m_broadphase, &m_solver, &m_config) {
        m_world.setGravity(btVector3(0, -10, 0));
        btBoxShape* unit = new btBoxShape(btVector3(0.5f, 0.5f, 0.5f));
        m_shapes.emplace_back(unit);
        for (const BoxSpec& b : scene.boxes) {
            btCollisionShape* shape = unit;
            if (b.hx != 0.5f || b.hy != 0.5f || b.hz != 0.5f) {
                shape = new btBoxShape(btVector3(b.hx, b.hy, b.hz));
                m_shapes.emplace_back(shape);
            }
            const btScalar mass = b.dynamic ? kDensity * 8.0f * b.hx * b.hy * b.hz : 0.0f;
            btVector3 inertia(0, 0, 0);
            if (mass > 0) shape->calculateLocalInertia(mass, inertia);
            btTransform t;
            t.setIdentity();
            t.setOrigin(btVector3(b.x, b.y, b.z));
            m_states.emplace_back(new btDefaultMotionState(t));
            btRigidBody::btRigidBodyConstructionInfo info(mass, m_states.back().get(), shape, inertia);
            info.m_restitution = kRestitution;
            info.m_friction = kFriction;
            m_bodies.emplace_back(new btRigidBody(info));
            m_world.addRigidBody(m_bodies.back().get());
        }
    }
    ~Bullet() {
        for (auto& b : m_bodies) m_world.removeRigidBody(b.get());
    }
    // Exactly one step of kStep; not inlined, so that callgrind can count it.
    __attribute__((noinline)) void Step() { m_world.stepSimulation(kStep, 0); }
    int AwakeDynamic() const {
        int n = 0;
        for (const auto& b : m_bodies)
            if (b->getInvMass() > 0 && b->isActive()) ++n;
        return n;
    }

private:
    btDefaultCollisionConfiguration m_config;
    btCollisionDispatcher m_dispatcher;
    btDbvtBroadphase m_broadphase;
    btSequentialImpulseConstraintSolver m_solver;
    btDiscreteDynamicsWorld m_world;
    std::vector<std::unique_ptr<btCollisionShape>> m_shapes;
    std::vector<std::unique_ptr<btDefaultMotionState>> m_states;
    std::vector<std::unique_ptr<btRigidBody>> m_bodies;
};

// ---- one scene --------------------------------------------------------------
struct Options {
    bool runOurs = true;
    bool runBullet = true;
    bool trace = false;
    bool checksum = false;
    int rounds = 1;
    int maxSteps = 0;  // 0: the scene's own count
};

struct SideTimes {
    std::vector<double> ms;  // every measured step of every round
    int awakeAtEnd = 0;      // dynamic bodies awake after the last round
    uint64_t checksum = 0;   // ours: state after the last round
};

struct SceneResult {
    SideTimes ours, bullet;
};

// Steps both worlds in turn, each step of ours followed by the same step of
// Bullet, so that load on the machine falls on both alike.
SceneResult RunScene(const Scene& scene, const Options& opt) {
    SceneResult r;
    int dynamic = 0;
    for (const BoxSpec& b : scene.boxes) dynamic += b.dynamic ? 1 : 0;
    for (int round = 0; round < opt.rounds; ++round) {
        std::unique_ptr<Ours> ours(opt.runOurs ? new Ours(scene) : nullptr);
        if (ours) ours->SetHashReports(opt.checksum);
        std::unique_ptr<Bullet> bullet(opt.runBullet ? new Bullet(scene) : nullptr);
        const int steps = opt.maxSteps > 0 ? std::min(opt.maxSteps, scene.steps) : scene.steps;
        for (int i = 0; i < steps; ++i) {
            // Awake-window scenes end once either world put a body to sleep.
            if (scene.awakeWindow && ((ours && ours->AwakeDynamic() != dynamic) ||
                                      (bullet && bullet->AwakeDynamic() != dynamic)))
                break;
            double tOurs = 0.0, tBullet = 0.0;
            if (ours) {
                const auto t0 = Clock::now();
                ours->Step();
                tOurs = Ms(t0, Clock::now());
                r.ours.ms.push_back(tOurs);
            }
            if (bullet) {
                const auto t0 = Clock::now();
                bullet->Step();
                tBullet = Ms(t0, Clock::now());
                r.bullet.ms.push_back(tBullet);
            }
            if (opt.trace)
                std::fprintf(stderr, "trace %s round %d step %d: ours %.3f ms awake %d, bullet %.3f ms awake %d\n",
                             scene.name.c_str(), round, i, tOurs, ours ? ours->AwakeDynamic() : 0, tBullet,
                             bullet ? bullet->AwakeDynamic() : 0);
        }
        r.ours.awakeAtEnd = ours ? ours->AwakeDynamic() : 0;
        r.ours.checksum = ours ? ours->Checksum() : 0;
        r.bullet.awakeAtEnd = bullet ? bullet->AwakeDynamic() : 0;
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    bool tiny = false;
    const char* only = nullptr;
    Options opt;
    int rounds = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--tiny") {
            tiny = true;
        } else if (a == "--scene" && i + 1 < argc) {
            only = argv[++i];
        } else if (a == "--rounds" && i + 1 < argc) {
            rounds = std::atoi(argv[++i]);
        } else if (a == "--steps" && i + 1 < argc) {
            opt.maxSteps = std::atoi(argv[++i]);
        } else if (a == "--ours-only") {
            opt.runBullet = false;
        } else if (a == "--bullet-only") {
            opt.runOurs = false;
        } else if (a == "--checksum") {
            opt.checksum = true;
        } else if (a == "--trace") {
            opt.trace = true;
        } else {
            std::fprintf(stderr, "usage: %s [--tiny] [--scene NAME] [--rounds N] [--steps N] [--ours-only|--bullet-only] [--trace] [--checksum]\n",
                         argv[0]);
            return 2;
        }
    }
    opt.rounds = rounds > 0 ? rounds : tiny ? 1 : 3;
    std::vector<Scene> scenes;
    if (tiny) {
        scenes.push_back(Pyramid(4, 20));
        scenes.push_back(Field(200, 20, 20));
    } else {
        scenes.push_back(Pyramid(15, 300));
        scenes.push_back(Field(5000, 300, 300));
    }
    std::vector<std::string> lines;
    for (const Scene& s : scenes) {
        if (only && s.name != only) continue;
        const SceneResult r = RunScene(s, opt);
        const size_t steps = std::max(r.ours.ms.size(), r.bullet.ms.size());
        std::printf("physics: scene %s: %zu bodies, %zu measured steps in %d rounds%s; mean ms per step: ours %.3f, "
                    "bullet %.3f; dynamic bodies awake at the end: ours %d, bullet %d\n",
                    s.name.c_str(), s.boxes.size(), steps, opt.rounds,
                    s.awakeWindow ? " (while every box is awake in both)" : "", Mean(r.ours.ms), Mean(r.bullet.ms),
                    r.ours.awakeAtEnd, r.bullet.awakeAtEnd);
        if (opt.checksum && opt.runOurs)
            std::printf("physics: scene %s: state checksum of ours %016llx\n", s.name.c_str(),
                        static_cast<unsigned long long>(r.ours.checksum));
        const double ours = Median(r.ours.ms);
        const double bullet = Median(r.bullet.ms);
        char line[256];
        std::snprintf(line, sizeof line, "physics: scene=%s bodies=%zu ours_ms=%.4f bullet_ms=%.4f ratio=%.3f",
                      s.name.c_str(), s.boxes.size(), ours, bullet, bullet > 0 ? ours / bullet : 0.0);
        lines.push_back(line);
    }
    if (only && lines.empty()) {
        std::fprintf(stderr, "no scene named %s\n", only);
        return 2;
    }
    std::fflush(stdout);
    for (const std::string& l : lines) std::puts(l.c_str());
    return 0;
}
