// The root of a node in a union-find forest over cells of a torus whose
// nodes also know where they lie from their parent in the plane the torus
// unrolls into, so that a set that winds round the torus is told apart
// from one that only touches itself across the edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dla {

struct TUnwrappedRoot {
  std::int32_t Root;
  // The node's position minus the root's.
  std::int32_t X, Y;
};

// Node: {Parent (negative at a root), X, Y (position minus the parent's)}.
// Path halving: every other node on the way skips to its grandparent, its
// offset taking the skipped step along, so the offsets stay exact.
template <typename Node>
TUnwrappedRoot FindUnwrapped(std::vector<Node>& nodes, std::int32_t i) noexcept {
  TUnwrappedRoot found{i, 0, 0};
  const auto at = [](std::int32_t k) { return static_cast<std::size_t>(k); };
  for (;;) {
    Node& node = nodes[at(found.Root)];
    if (node.Parent < 0) return found;
    const Node& parent = nodes[at(node.Parent)];
    if (parent.Parent < 0) {
      found.X += node.X;
      found.Y += node.Y;
      found.Root = node.Parent;
      return found;
    }
    node = {parent.Parent, node.X + parent.X, node.Y + parent.Y};
    found.X += node.X;
    found.Y += node.Y;
    found.Root = node.Parent;
  }
}

}  // namespace dla
