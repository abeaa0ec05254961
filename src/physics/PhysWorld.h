// The physics world: every body of the game, stepped with prediction, a
// collision pass with restitution and a resting-contact pass around the
// velocity update, sleeping and wake propagation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <boost/pool/pool.hpp>

#include "physics/Collision.h"
#include "physics/PhysBody.h"
#include "physics/PhysContact.h"
#include "physics/PhysGrid.h"
#include "physics/PhysRandom.h"

namespace Physics {

class PhysWorld {
public:
    static constexpr float kMaxStep = 0.04f;
    static constexpr float kZeroStep = 0.0001f;
    static constexpr float kCellSize = 6.0f;

    PhysWorld();
    ~PhysWorld();
    PhysWorld(const PhysWorld&) = delete;
    PhysWorld& operator=(const PhysWorld&) = delete;

    // Appends the body to the awake list as it is; no duplicate check.
    void AddBody(const PhysBodyPtr& body);
    // Removes the body and wakes the bodies that rested on it.
    void RemoveBody(const PhysBodyPtr& body);
    // Wakes the body and the sleeping bodies that rest on it.
    void RefreshBody(const PhysBodyPtr& body);
    // Advances by dt seconds: above 0.04 is cut to 0.04, 0 (or a negative or
    // non-finite value) becomes 0.0001.
    void Step(float dt);
    // Reports of the last step: flipped so the lower id comes first, sorted,
    // one per pair (impacts before resting contacts). Empties the list.
    std::vector<PhysContact> TakeCollisionReports() { return TakeReports(false); }
    // The same less the resting contacts (what becomes an event): those are
    // dropped before the sort, a pair's first impact is its report as above.
    std::vector<PhysContact> TakeImpactReports() { return TakeReports(true); }
    void CollectMoveReports(std::vector<MoveReport>& out) const;
    void Clear();

    // Inspection (tests and the benchmark).
    const std::vector<PhysBodyPtr>& AwakeBodies() const { return m_awake; }
    const std::vector<PhysBodyPtr>& SleepingBodies() const { return m_sleeping; }
    const std::vector<ContactManifold*>& Contacts() const { return m_contacts; }
    const std::vector<PhysContact>& Reports() const { return m_reports; }
    float LastStep() const { return m_dt; }
    const PhysGrid& Grid() const { return m_grid; }
    void SetShuffleSeed(uint32_t seed) { m_random.Seed(seed); }

private:
    // A touching pair found by contact detection, before its record is made.
    struct StagedPair {
        PhysBody* a;
        PhysBody* b;
        AxisTest axes;
    };

    void Maintain();
    void Collide(float dt);
    void DetectContacts(float dt);
    void QueryPairs(PhysBody* body, float tolerance, bool wakePass, bool full);
    void PairTest(PhysBody* body, PhysBody* candidate, float tolerance, bool wakePass, bool full);
    void Resolve(float dt, bool collisionPass);
    void WakeCheck();
    void WakeAndCollide(PhysBody* body, bool forced);
    ContactManifold* NewContact();
    ContactManifold* NewRecord();
    void MakeStagedContact(const StagedPair& pair, ContactManifold& c);
    void ReleaseContacts();
    PhysContact Classify(const ContactManifold& c) const;
    std::vector<PhysContact> TakeReports(bool impactsOnly);

    std::vector<PhysBodyPtr> m_awake;
    std::vector<PhysBodyPtr> m_sleeping;
    // Per entry of m_sleeping: 1 when the body was noted static (and asleep),
    // as of the material epoch below (see Maintain).
    std::vector<uint8_t> m_sleepingStatic;
    uint64_t m_sleepingStaticEpoch = ~uint64_t(0);
    std::vector<PhysBody*> m_sleepingDynamic;  // the non-static ones, for WakeCheck
    PhysGrid m_grid;
    float m_dt = 0.0f;
    std::vector<ContactManifold*> m_contacts;
    std::vector<SavedState> m_snapshot;
    uint32_t m_queryStamp = 0;
    uint32_t m_stepStamp = 0;
    bool m_fullContacts = false;
    std::vector<PhysContact> m_reports;
    std::vector<uint32_t> m_reportOrder, m_reportSpare;  // TakeCollisionReports' sort
    std::vector<uint64_t> m_reportKeys;
    // Contact records: cache-line aligned blocks, so a record's header is one
    // line and its points follow in whole lines.
    struct AlignedBlocks {
        using size_type = std::size_t;
        using difference_type = std::ptrdiff_t;
        static char* malloc(size_type bytes);
        static void free(char* block);
    };
    boost::pool<AlignedBlocks> m_contactPool;
    // Contact detection notes each touching pair and its separating-axis
    // result here; after the shuffle the pairs' records are made in the pool
    // in their shuffled order, so that the solver's sweeps walk memory in one
    // direction.
    std::vector<StagedPair> m_staged;
    bool m_staging = false;
    std::vector<uint32_t> m_order;  // the shuffle of the staged pairs
    // Contact detection's copy of each queried cell (PhysGrid::CellCopy):
    // the bounding-sphere test of a candidate reads one short array instead
    // of the list and the body. Made at a cell's first query in a detection
    // (nothing moves or is refiled during one).
    void ScanShadow(const CellCopy& shadow, PhysBody* body, float tolerance, bool wakePass, bool full);
    uint32_t m_detection = 0;  // counts contact detections
    PhysRandom m_random;
    bool m_forward = true;  // direction of the next solver sweep
    struct WakeFrame {
        size_t next;
        size_t end;
    };
    std::vector<WakeFrame> m_wakeStack;  // WakeAndCollide's explicit stack
};

}  // namespace Physics
