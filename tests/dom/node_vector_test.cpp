#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dom/node_vector.h"

namespace {

// Distinct fake node addresses; the sequence never dereferences them.
TdomNode* fake(std::size_t n) { return reinterpret_cast<TdomNode*>((n + 1) * 16); }

void expectSame(const std::vector<TdomNode*>& model, const TdomNodeVector& v) {
    ASSERT_EQ(model.size(), v.size());
    ASSERT_EQ(model.empty(), v.empty());
    EXPECT_TRUE(std::equal(model.begin(), model.end(), v.begin(), v.end()));
    EXPECT_TRUE(std::equal(model.rbegin(), model.rend(), v.rbegin(), v.rend()));
    if (!model.empty()) {
        EXPECT_EQ(model.front(), v.front());
        EXPECT_EQ(model.back(), v.back());
    }
}

// Random insertions, erasures, copies, moves and swaps, checked against std::vector after every
// step; the sizes cross the border between the inline room and a heap block again and again.
TEST(NodeVector, BehavesLikeAVectorAcrossTheInlineBorder) {
    std::mt19937 random(12345);
    std::vector<TdomNode*> model, otherModel;
    TdomNodeVector v, other;
    std::size_t next = 0;
    for (int step = 0; step < 20000; ++step) {
        const unsigned op = random() % 100;
        if (op < 35) {
            v.push_back(fake(next));
            model.push_back(fake(next++));
        } else if (op < 55) {
            const std::size_t at = random() % (model.size() + 1);
            auto it = v.insert(v.begin() + at, fake(next));
            EXPECT_EQ(*it, fake(next));
            model.insert(model.begin() + static_cast<long>(at), fake(next++));
        } else if (op < 80 && !model.empty()) {
            const std::size_t at = random() % model.size();
            auto it = v.erase(v.begin() + at);
            EXPECT_EQ(it, v.begin() + at);
            model.erase(model.begin() + static_cast<long>(at));
        } else if (op < 84 && !model.empty()) {
            v.pop_back();
            model.pop_back();
        } else if (op < 87) {
            v.swap(other);
            model.swap(otherModel);
        } else if (op < 89) {
            other = v;
            otherModel = model;
        } else if (op < 91) {
            TdomNodeVector taken(std::move(v));
            expectSame(model, taken);
            v = std::move(taken);
        } else if (op < 93) {
            v.shrink_to_fit();
            if (model.size() <= 2) {
                EXPECT_EQ(2u, v.capacity());
            }
        } else if (op < 94) {
            v.clear();
            model.clear();
        } else if (op < 96) {
            const std::size_t wanted = random() % 40;
            v.reserve(wanted);
            EXPECT_GE(v.capacity(), wanted);
        }
        expectSame(model, v);
        expectSame(otherModel, other);
        ASSERT_LE(v.size(), v.capacity());
    }
}

TEST(NodeVector, KeepsTwoInsideAndGrowsGeometricallyBeyond) {
    TdomNodeVector v;
    EXPECT_EQ(2u, v.capacity());
    v.push_back(fake(0));
    v.push_back(fake(1));
    EXPECT_EQ(2u, v.capacity());
    std::size_t growths = 0, capacity = v.capacity();
    for (std::size_t i = 2; i < 100000; ++i) {
        v.push_back(fake(i));
        if (v.capacity() != capacity) ++growths, capacity = v.capacity();
    }
    EXPECT_LE(growths, 20u);
    for (std::size_t i = 0; i < v.size(); ++i) ASSERT_EQ(fake(i), v[i]);
    // A copy of a long sequence and self-assignment keep every reference.
    TdomNodeVector copy(v);
    const TdomNodeVector& same = copy;
    copy = same;
    EXPECT_TRUE(std::equal(v.begin(), v.end(), copy.begin(), copy.end()));
}

} // namespace
