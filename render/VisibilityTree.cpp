#include "render/VisibilityTree.h"

#include <cmath>

namespace kv {

KvVisObject::~KvVisObject() { RemoveFromTree(); }

void KvVisObject::RemoveFromTree() {
    for (std::set<KvVisObject*>* holder : holders_) holder->erase(this);
    holders_.clear();
}

VisibilityTree::VisibilityTree(const Box& box, double cellSize) { Build(box, cellSize); }

VisibilityTree::~VisibilityTree() { ClearAll(); }

int VisibilityTree::Build(const Box& box, double cellSize) {
    const int index = static_cast<int>(nodes_.size());
    nodes_.emplace_back();
    nodes_.back().box = box;
    const double hx = (box.max.x - box.min.x) / 2, hy = (box.max.y - box.min.y) / 2, hz = (box.max.z - box.min.z) / 2;
    if (2 * std::sqrt(hx * hx + hy * hy + hz * hz) <= cellSize) return index;
    Box low = box, high = box;
    if (hx > hy && hx > hz) {
        low.max.x = high.min.x = box.min.x + hx;
    } else if (hy >= hx && hy > hz) {
        low.max.y = high.min.y = box.min.y + hy;
    } else {
        low.max.z = high.min.z = box.min.z + hz;
    }
    // Children are built before the indices are stored: building may reallocate nodes_.
    const int first = Build(low, cellSize);
    const int second = Build(high, cellSize);
    nodes_[index].first = first;
    nodes_[index].second = second;
    return index;
}

void VisibilityTree::Hold(Node& node, KvVisObject& member) {
    if (member.dynamic) {
        node.dynamics.push_back(&member);
    } else if (node.statics.insert(&member).second) {
        member.holders_.push_back(&node.statics);
    }
}

bool VisibilityTree::InsertInto(int index, KvVisObject& member, const Box& box) {
    Node& node = nodes_[index];
    if (!node.box.Overlaps(box)) return false;
    if (node.IsLeaf()) {
        Hold(node, member);
        return true;
    }
    const bool inFirst = InsertInto(node.first, member, box);
    const bool inSecond = InsertInto(node.second, member, box);
    return inFirst || inSecond;
}

Box VisibilityTree::InColumns(Box box) const {
    const Box& all = Bounds();
    box.min.y = std::clamp(box.min.y, all.min.y, all.max.y);
    box.max.y = std::clamp(box.max.y, all.min.y, all.max.y);
    return box;
}

void VisibilityTree::Insert(KvVisObject& member) {
    if (!InsertInto(0, member, InColumns(member.bounds))) Hold(nodes_[0], member);
}

void VisibilityTree::SetAllVisible(uint8_t flag) {
    for (Node& node : nodes_) {
        for (KvVisObject* member : node.statics) member->visible = flag;
        for (KvVisObject* member : node.dynamics) member->visible = flag;
    }
}

void VisibilityTree::MarkLeaves(int index, const Box& viewBox) {
    Node& node = nodes_[index];
    if (!node.box.Overlaps(viewBox)) return;
    if (!node.IsLeaf()) {
        MarkLeaves(node.first, viewBox);
        MarkLeaves(node.second, viewBox);
        return;
    }
    for (KvVisObject* member : node.statics) member->visible = 1;
    for (KvVisObject* member : node.dynamics) member->visible = 1;
}

void VisibilityTree::Cull(const Box& viewBox) { MarkLeaves(0, InColumns(viewBox)); }

void VisibilityTree::ClearDynamic() {
    for (Node& node : nodes_) node.dynamics.clear();
}

void VisibilityTree::ClearAll() {
    for (Node& node : nodes_) {
        while (!node.statics.empty()) (*node.statics.begin())->RemoveFromTree();
        node.dynamics.clear();
    }
}

std::vector<Box> VisibilityTree::LeafBoxes() const {
    std::vector<Box> boxes;
    for (const Node& node : nodes_) {
        if (node.IsLeaf()) boxes.push_back(node.box);
    }
    return boxes;
}

}  // namespace kv
