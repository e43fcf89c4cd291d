#pragma once

#include <cstddef>
#include <cstdint>

#include "dom/node.h"

// Sibling steps for the traversal objects. Nodes keep no sibling links, so finding the sibling of a
// node means finding its position among its parent's children, a linear search. Traversals mostly
// step from a node to its neighbour, so the cursor remembers the last known position under the
// parents with many children (short child lists are cheap to search) and checks it before
// searching: a sequential walk over n siblings costs O(n), not O(n²). A remembered position is only
// a hint; it is verified on every use, so a changed tree never gives a wrong answer.
class TdomSiblingCursor {
public:
    TdomNode* nextSibling(const TdomNode* node) { return neighbour(node, +1); }
    TdomNode* previousSibling(const TdomNode* node) { return neighbour(node, -1); }

private:
    struct Hint {
        const TdomNode* parent = nullptr;
        std::size_t index = 0;
    };
    static constexpr std::size_t kSlots = 64;
    static constexpr std::size_t kShortList = 16;

    static std::size_t slotOf(const TdomNode* parent) {
        auto bits = reinterpret_cast<std::uintptr_t>(parent);
        return (bits >> 4 ^ bits >> 9) % kSlots;
    }

    TdomNode* neighbour(const TdomNode* node, int step) {
        const TdomNode* parent = node->parentNode();
        if (!parent) return nullptr;
        const auto& siblings = parent->children();
        if (siblings.size() <= kShortList) {
            int found = parent->indexOfChild(node);
            if (found < 0) return nullptr;
            std::size_t index = static_cast<std::size_t>(found);
            if (step < 0 ? index == 0 : index + 1 >= siblings.size()) return nullptr;
            return siblings[step < 0 ? index - 1 : index + 1];
        }
        Hint& hint = hints_[slotOf(parent)];
        std::size_t index;
        if (hint.parent == parent && hint.index < siblings.size() && siblings[hint.index] == node) {
            index = hint.index;
        } else {
            int found = parent->indexOfChild(node);
            if (found < 0) return nullptr;
            index = static_cast<std::size_t>(found);
        }
        if (step < 0 ? index == 0 : index + 1 >= siblings.size()) {
            hint = {parent, index};
            return nullptr;
        }
        index = step < 0 ? index - 1 : index + 1;
        hint = {parent, index};
        return siblings[index];
    }

    Hint hints_[kSlots];
};
