#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <vector>

#include "render/VisibilityTree.h"

namespace kv {
namespace {

const Box kArena{{-5, -0.625, -5}, {5, 0.625, 5}};

Box Around(double x, double z, double half) { return {{x - half, 0, z - half}, {x + half, 0.1, z + half}}; }

double Volume(const Box& b) { return (b.max.x - b.min.x) * (b.max.y - b.min.y) * (b.max.z - b.min.z); }

struct Member : KvVisObject {
    Member(const Box& box, bool isDynamic) {
        bounds = box;
        dynamic = isDynamic;
    }
};

size_t LeavesOverlapping(const VisibilityTree& tree, const Box& box) {
    size_t n = 0;
    for (const Box& leaf : tree.LeafBoxes()) n += leaf.Overlaps(box);
    return n;
}

TEST(VisibilityTree, SplitsItsBoxIntoLeavesNoWiderThanTheCellSize) {
    for (auto [box, cell] : {std::pair{kArena, 2.0}, std::pair{Box{{-20, -0.625, -20}, {20, 0.625, 20}}, 4.0}}) {
        const VisibilityTree tree(box, cell);
        const std::vector<Box> leaves = tree.LeafBoxes();
        double volume = 0;
        for (const Box& leaf : leaves) {
            const double dx = leaf.max.x - leaf.min.x, dy = leaf.max.y - leaf.min.y, dz = leaf.max.z - leaf.min.z;
            EXPECT_LE(std::sqrt(dx * dx + dy * dy + dz * dz), cell);
            // Halving a leaf's parent would have made it too small: each leaf is more than half a cell.
            EXPECT_GT(2 * std::sqrt(dx * dx + dy * dy + dz * dz), cell);
            volume += Volume(leaf);
        }
        EXPECT_NEAR(volume, Volume(box), 1e-9) << "the leaves tile the box";
    }
}

TEST(VisibilityTree, HoldsAStaticMemberInEveryLeafItTouchesUntilRemoved) {
    VisibilityTree tree(kArena, 2.0);
    Member mark(Around(0.3, -1.2, 1.5), false);
    tree.Insert(mark);
    EXPECT_EQ(mark.HolderCount(), LeavesOverlapping(tree, mark.bounds));
    EXPECT_GT(mark.HolderCount(), 1u);
    tree.Remove(mark);
    EXPECT_EQ(mark.HolderCount(), 0u);
    tree.SetAllVisible(1);
    EXPECT_EQ(mark.visible, 0) << "a removed member is no longer reached";
}

TEST(VisibilityTree, ForgetsAMemberThatIsDestroyed) {
    VisibilityTree tree(kArena, 2.0);
    auto mark = std::make_unique<Member>(Around(1, 1, 0.5), false);
    tree.Insert(*mark);
    mark.reset();
    tree.SetAllVisible(1);  // would touch the freed member under the address sanitizer
    tree.Cull(kArena);
}

TEST(VisibilityTree, CullMarksMembersOfLeavesTouchingTheViewBoxOnly) {
    VisibilityTree tree(kArena, 2.0);
    Member near(Around(-4, -4, 0.2), false), far(Around(4, 4, 0.2), true), outside(Around(9, 9, 0.2), false);
    for (Member* m : {&near, &far, &outside}) tree.Insert(*m);
    EXPECT_EQ(outside.HolderCount(), 1u) << "the root keeps what no leaf takes";

    tree.SetAllVisible(0);
    tree.Cull(Around(-3.5, -3.5, 1));
    EXPECT_EQ(near.visible, 1);
    EXPECT_EQ(far.visible, 0);
    tree.Cull(kArena);
    EXPECT_EQ(far.visible, 1);
    EXPECT_EQ(outside.visible, 0) << "members outside every leaf are never culled in";
    tree.SetAllVisible(1);
    EXPECT_EQ(outside.visible, 1);
}

// Regression: a shell high in its arc, or a robot on a hill above the tree's box, overlapped
// no leaf and was never drawn in a robot view.
TEST(VisibilityTree, MembersAboveOrBelowTheBoxCountInTheLeavesOfTheirColumn) {
    VisibilityTree tree(kArena, 2.0);
    Member high({{1.9, 0.9, 1.9}, {2.1, 1.1, 2.1}}, true), low({{-2.1, -1.1, -2.1}, {-1.9, -0.9, -1.9}}, true);
    tree.Insert(high);
    tree.Insert(low);
    tree.SetAllVisible(0);
    tree.Cull(Around(2, 2, 0.5));
    EXPECT_EQ(high.visible, 1);
    EXPECT_EQ(low.visible, 0);
    tree.Cull({{-2.5, 2, -2.5}, {-1.5, 3, -1.5}});  // a view box above the tree, over its column
    EXPECT_EQ(low.visible, 1);
}

TEST(VisibilityTree, CountsTouchingFacesAsOverlap) {
    VisibilityTree tree(kArena, 2.0);
    Member m(Around(0, 0, 0.1), false);
    tree.Insert(m);
    tree.SetAllVisible(0);
    // A view box whose face touches the leaf holding the member at one shared plane.
    const Box leaf = [&] {
        for (const Box& b : tree.LeafBoxes())
            if (b.Overlaps(m.bounds)) return b;
        return Box{};
    }();
    tree.Cull({{leaf.max.x, -1, leaf.min.z}, {leaf.max.x + 1, 1, leaf.max.z}});
    EXPECT_EQ(m.visible, 1);
}

TEST(VisibilityTree, ForgetsDynamicMembersEveryFrameAndEverythingOnClearAll) {
    VisibilityTree tree(kArena, 2.0);
    Member robot(Around(2, 2, 0.3), true), mark(Around(2, 2, 0.3), false);
    tree.Insert(robot);
    tree.Insert(mark);
    EXPECT_EQ(robot.HolderCount(), 0u) << "dynamic members record nothing";
    tree.ClearDynamic();
    tree.SetAllVisible(0);
    tree.Cull(kArena);
    EXPECT_EQ(robot.visible, 0);
    EXPECT_EQ(mark.visible, 1);
    tree.ClearAll();
    EXPECT_EQ(mark.HolderCount(), 0u);
}

TEST(VisibilityTree, NamesTheLeavesABoxTouchesByTheirBoxes) {
    const VisibilityTree tree(kArena, 2.0);
    const Box box{{-1.2, 0, 0.3}, {0.7, 0.1, 2.9}};
    std::vector<Box> touched;
    std::set<int> leaves;
    tree.ForEachLeafTouching(box, [&](int leaf, const Box& leafBox) {
        touched.push_back(leafBox);
        leaves.insert(leaf);
    });
    EXPECT_EQ(touched.size(), LeavesOverlapping(tree, box));
    EXPECT_EQ(leaves.size(), touched.size());
    for (const Box& leafBox : touched) EXPECT_TRUE(leafBox.Overlaps(box));
    EXPECT_EQ(tree.Bounds().max.x, 5);
}

}  // namespace
}  // namespace kv
