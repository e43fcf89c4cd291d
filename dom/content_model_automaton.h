#pragma once

#include <cstddef>
#include <map>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

class TdomCMParticle;

// A content model compiled to a position automaton with empty moves: one labelled state per
// element particle (a position), joined by empty moves that stand for sequences, choices and
// occurrences. Matching keeps the set of live positions, so a name costs at most a step over the
// whole model (and the sorting of the set it leads to) whatever the model's shape, and nothing is
// ever tried again: (a*, a) matches "a a". Compiling and matching are iterative.
class TContentModelAutomaton {
public:
    // How the root particle's own occurrence is applied: as written, or as one pass (optional or
    // not) whatever it is. A #PCDATA choice as the root raises EInternalParserException.
    enum class RootPass { asWritten, once, optionalOnce };

    explicit TContentModelAutomaton(const TdomCMParticle& root, RootPass pass = RootPass::asWritten);

    // The longest run of names[from..] that the model matches: true with next its end, false when
    // not even an empty run matches.
    bool longestMatch(std::span<const std::u16string> names, std::size_t from, std::size_t& next) const;
    // XML's compatibility rule for element content: at the start and after every position, the
    // positions that may come next carry different names, so each child name selects its particle
    // without looking ahead. (a | a) and ((a, b) | (a, c)) break it. The check visits each state
    // once per list of positions it builds; a model that needs more than kDeterminismBudget visits
    // (thousands of particles whose lists overlap) is not checked and passes.
    bool deterministic() const;
    static constexpr std::size_t kDeterminismBudget = 4000000;

private:
    struct State {
        std::vector<int> moves; // empty moves
        int name = -1;          // the name a position reads, -1 for the other states
        int next = -1;          // where a position goes after its name
    };
    struct Fragment {
        int entry;
        int exit;
    };

    int addState();
    int nameIndex(const std::u16string& name);
    Fragment onePass(const TdomCMParticle& particle, std::vector<Fragment>& childFragments);
    Fragment withOccurrence(Fragment inner, char16_t occurrence);
    // The positions reachable from the states in from through empty moves; true when the final
    // state is among the states reached.
    bool closure(std::vector<int>& from, std::vector<int>& positions) const;
    // The sets of live positions met while matching become the states of a deterministic automaton,
    // built as they are reached and kept for later matches, so that a name usually costs one look-up.
    // The table is emptied when it grows past a bound; work per name stays that of one set step.
    struct SetState {
        std::vector<int> positions; // sorted
        bool accepts;
        std::vector<int> next; // per name index: kUnknown, kDead or the state
    };
    static constexpr int kUnknown = -2;
    static constexpr int kDead = -1;
    int setState(std::vector<int>& positions, bool accepts) const;
    int startState() const;
    int step(int state, int name) const;

    std::vector<State> states_;
    std::unordered_map<std::u16string, int> names_;
    int start_ = 0;
    int final_ = 0;
    mutable std::vector<unsigned> marks_;
    mutable unsigned generation_ = 0;
    mutable std::size_t visits_ = 0;
    mutable std::vector<SetState> sets_;
    mutable std::map<std::vector<int>, int> setIndex_;
    mutable int startSet_ = kDead;
    mutable unsigned flushes_ = 0;
};
