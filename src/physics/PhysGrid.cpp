#include "physics/PhysGrid.h"

#include <algorithm>
#include <cmath>

namespace Physics {

namespace {

// floor/ceil of a finite quotient, clamped into the i32 range (converting an
// out-of-range float is undefined behaviour).
int32_t ToCell(double v) {
    constexpr double lo = -2147483648.0;
    constexpr double hi = 2147483647.0;
    if (v < lo) return INT32_MIN;
    if (v > hi) return INT32_MAX;
    return static_cast<int32_t>(v);
}

}  // namespace

PhysGrid::PhysGrid(float cellSize) : m_cellSize(cellSize > 0.0f && std::isfinite(cellSize) ? cellSize : 1.0f) {}

std::vector<CellKey> PhysGrid::CellsOfBox(const GridRect& rect) const {
    std::vector<CellKey> keys;
    CellsOfBox(rect, keys);
    return keys;
}

CellSpan PhysGrid::SpanOf(const GridRect& rect) const {
    CellSpan span;
    if (!std::isfinite(rect.minX) || !std::isfinite(rect.maxX) || !std::isfinite(rect.minZ) ||
        !std::isfinite(rect.maxZ))
        return span;
    span.x0 = ToCell(std::floor(rect.minX / m_cellSize));
    span.x1 = ToCell(std::floor(rect.maxX / m_cellSize));
    span.z0 = ToCell(std::ceil(rect.maxZ / m_cellSize));
    span.z1 = ToCell(std::ceil(rect.minZ / m_cellSize));
    return span;
}

void PhysGrid::CellsOfBox(const GridRect& rect, std::vector<CellKey>& out) const { CellsOfSpan(SpanOf(rect), out); }

void PhysGrid::CellsOfSpan(const CellSpan& s, std::vector<CellKey>& out) const {
    out.clear();
    for (int64_t z = s.z0; z >= s.z1; --z)
        for (int64_t x = s.x0; x <= s.x1; ++x) out.push_back(CellKey{static_cast<int32_t>(x), static_cast<int32_t>(z)});
}

void PhysGrid::Refile(PhysBody* body, const GridRect& rect, Filing& filing) {
    const CellSpan span = SpanOf(rect);
    if (filing.valid && filing.span == span) return;
    CellsOfSpan(span, m_keys);
    RefileKeys(body, &filing.cells);
    filing.span = span;
    filing.valid = true;
}

void PhysGrid::Refile(PhysBody* body, const GridRect& rect) {
    CellsOfBox(rect, m_keys);
    RefileKeys(body, nullptr);
}

void PhysGrid::RemoveFromList(BodyList& list, PhysBody* body) {
    list.erase(std::remove(list.begin(), list.end(), body), list.end());
}

void PhysGrid::RefileKeys(PhysBody* body, std::vector<const GridCell*>* inKeyOrder) {
    const std::vector<CellKey>& wanted = m_keys;
    m_present.assign(wanted.size(), 0);
    if (inKeyOrder) inKeyOrder->assign(wanted.size(), nullptr);

    auto found = m_bodyCells.find(body);
    if (found == m_bodyCells.end()) {
        if (wanted.empty()) return;
        found = m_bodyCells.try_emplace(body).first;
    }
    std::vector<Cell*>& mine = found->second;
    size_t kept = 0;
    for (Cell* cell : mine) {
        size_t match = wanted.size();
        for (size_t i = 0; i < wanted.size(); ++i)
            if (!m_present[i] && wanted[i] == cell->key) {
                match = i;
                break;
            }
        if (match < wanted.size()) {
            m_present[match] = 1;
            if (inKeyOrder) (*inKeyOrder)[match] = cell;
            mine[kept++] = cell;
        } else {
            RemoveFromList(cell->bodies, body);
            // A cell nobody is in goes: a body drifting on for ever (one that
            // fell out of the level) would otherwise leave a trail of empty
            // cells behind it, and the map would grow without end.
            if (cell->bodies.empty()) {
                const CellKey key = cell->key;
                m_cells.erase(key);
            }
        }
    }
    mine.resize(kept);
    // New entries go after the body's existing ones, keeping filing order.
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (m_present[i]) continue;
        Cell& cell = m_cells.try_emplace(wanted[i]).first->second;
        cell.key = wanted[i];
        cell.bodies.push_back(body);
        mine.push_back(&cell);
        if (inKeyOrder) (*inKeyOrder)[i] = &cell;
    }
    if (mine.empty()) m_bodyCells.erase(found);
}

void PhysGrid::Query(const GridRect& rect, std::vector<PhysBody*>& out) const {
    CellsOfBox(rect, m_keys);
    m_found.clear();
    size_t total = 0;
    for (const CellKey& key : m_keys) {
        auto it = m_cells.find(key);
        if (it == m_cells.end()) continue;
        m_found.push_back(&it->second.bodies);
        total += it->second.bodies.size();
    }
    out.resize(total);
    size_t n = 0;
    for (const BodyList* list : m_found)
        for (PhysBody* b : *list) out[n++] = b;
}

void PhysGrid::Remove(PhysBody* body) {
    auto found = m_bodyCells.find(body);
    if (found == m_bodyCells.end()) return;
    for (Cell* cell : found->second) {
        RemoveFromList(cell->bodies, body);
        if (cell->bodies.empty()) {
            const CellKey key = cell->key;
            m_cells.erase(key);
        }
    }
    m_bodyCells.erase(found);
}

void PhysGrid::Clear() {
    m_bodyCells.clear();
    m_cells.clear();
}

std::vector<CellKey> PhysGrid::CellsOf(PhysBody* body) const {
    std::vector<CellKey> out;
    auto found = m_bodyCells.find(body);
    if (found == m_bodyCells.end()) return out;
    for (const Cell* cell : found->second) out.push_back(cell->key);
    return out;
}

}  // namespace Physics
