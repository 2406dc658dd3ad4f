#pragma once
// Culling for the small robot views: a binary tree of boxes over the ground or the arena
// whose leaves list the drawables overlapping them.
//
// Rules that hold across this file:
// - Static members (ground patches, marks) stay until removed; each records the node sets
//   that hold it, so removal and the member's destructor take it out of all of them.
// - Dynamic members (robots, shells, effects) are inserted anew every frame after
//   ClearDynamic and record nothing.
// - Nodes never move once built, so the sets a member records stay valid for the tree's life.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

#include "core/Matrix.h"

namespace kv {

struct Box {
    KvVec3 min, max;
    // True when the boxes share any point, faces included.
    bool Overlaps(const Box& o) const {
        return min.x <= o.max.x && o.min.x <= max.x && min.y <= o.max.y && o.min.y <= max.y && min.z <= o.max.z &&
               o.min.z <= max.z;
    }
    // The box of the points in [first, last); a zero box when there are none.
    template <class It>
    static Box Around(It first, It last) {
        Box b;
        if (first == last) return b;
        b.min = b.max = *first;
        for (; first != last; ++first) {
            const KvVec3& p = *first;
            b.min = {std::min(b.min.x, p.x), std::min(b.min.y, p.y), std::min(b.min.z, p.z)};
            b.max = {std::max(b.max.x, p.x), std::max(b.max.y, p.y), std::max(b.max.z, p.z)};
        }
        return b;
    }
};

class KvVisObject {
public:
    KvVisObject() = default;
    // Leaves every tree node that holds it.
    virtual ~KvVisObject();
    KvVisObject(const KvVisObject&) = delete;
    KvVisObject& operator=(const KvVisObject&) = delete;

    // Takes a static member out of every node that holds it.
    void RemoveFromTree();
    // How many nodes hold this static member.
    size_t HolderCount() const { return holders_.size(); }

    Box bounds;
    uint8_t dynamic = 1;
    uint8_t visible = 0;
    KvMatrix matrix = Identity();

private:
    friend class VisibilityTree;
    std::vector<std::set<KvVisObject*>*> holders_;
};

class VisibilityTree {
public:
    // Halves box along its longest extent until a node's diagonal is at most cellSize.
    VisibilityTree(const Box& box, double cellSize);
    ~VisibilityTree();
    VisibilityTree(const VisibilityTree&) = delete;
    VisibilityTree& operator=(const VisibilityTree&) = delete;

    // Into every leaf whose column overlaps the member's bounds; into the root when none
    // does. Heights count only within the tree's: a shell high in its arc, a robot on a hill
    // above the box, still lands in the leaves under it.
    void Insert(KvVisObject& member);
    void Remove(KvVisObject& member) { member.RemoveFromTree(); }
    void SetAllVisible(uint8_t flag);
    // Sets visible on every member of every leaf whose column overlaps viewBox. Members the
    // root holds outside every leaf are never marked.
    void Cull(const Box& viewBox);
    void ClearDynamic();
    void ClearAll();

    std::vector<Box> LeafBoxes() const;
    // The root's box.
    const Box& Bounds() const { return nodes_[0].box; }
    // Calls visit(leaf, leafBox) for every leaf whose box overlaps box; leaf numbers stay the
    // same for the tree's life.
    template <class Visit>
    void ForEachLeafTouching(const Box& box, Visit&& visit) const {
        VisitLeaves(0, box, visit);
    }

private:
    struct Node {
        Box box;
        int first = -1, second = -1;  // children; -1 for a leaf
        std::set<KvVisObject*> statics;
        std::vector<KvVisObject*> dynamics;
        bool IsLeaf() const { return first < 0; }
    };

    int Build(const Box& box, double cellSize);
    bool InsertInto(int node, KvVisObject& member, const Box& box);
    // The box with its heights brought inside the tree's.
    Box InColumns(Box box) const;
    void Hold(Node& node, KvVisObject& member);
    void MarkLeaves(int node, const Box& viewBox);
    template <class Visit>
    void VisitLeaves(int index, const Box& box, Visit& visit) const {
        const Node& node = nodes_[static_cast<size_t>(index)];
        if (!node.box.Overlaps(box)) return;
        if (node.IsLeaf()) {
            visit(index, node.box);
            return;
        }
        VisitLeaves(node.first, box, visit);
        VisitLeaves(node.second, box, visit);
    }

    std::vector<Node> nodes_;  // nodes_[0] is the root
};

}  // namespace kv
