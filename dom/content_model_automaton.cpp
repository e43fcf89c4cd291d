#include "dom/content_model_automaton.h"

#include <algorithm>
#include <utility>

#include "dom/cm_particle.h"
#include "text/parser_exception.h"

TContentModelAutomaton::TContentModelAutomaton(const TdomCMParticle& root, RootPass pass) {
    if (root.nodeType() == TdomCMNodeType::pcdataChoiceParticle)
        throw EInternalParserException("Internal Parser Exception in TdomCMParticle.contentModelTest");
    // Post-order walk: a particle's fragment is built once the fragments of its children are.
    struct Frame {
        const TdomCMParticle* particle;
        std::size_t next;
        std::size_t firstChildFragment;
    };
    std::vector<Frame> stack{{&root, 0, 0}};
    std::vector<Fragment> done;
    Fragment whole{0, 0};
    while (!stack.empty()) {
        Frame& top = stack.back();
        const auto& kids = top.particle->children();
        if (top.next < kids.size()) {
            const auto* child = static_cast<const TdomCMParticle*>(kids[top.next++]);
            stack.push_back({child, 0, done.size()});
            continue;
        }
        std::vector<Fragment> childFragments(done.begin() + static_cast<std::ptrdiff_t>(top.firstChildFragment),
                                             done.end());
        done.resize(top.firstChildFragment);
        Fragment fragment = onePass(*top.particle, childFragments);
        const std::u16string& occurrence = top.particle->occurrence();
        char16_t written = occurrence.empty() ? u'\0' : occurrence[0];
        if (stack.size() == 1 && pass != RootPass::asWritten) written = pass == RootPass::once ? u'\0' : u'?';
        fragment = withOccurrence(fragment, written);
        stack.pop_back();
        if (stack.empty())
            whole = fragment;
        else
            done.push_back(fragment);
    }
    start_ = whole.entry;
    final_ = whole.exit;
    marks_.assign(states_.size(), 0);
}

int TContentModelAutomaton::addState() {
    states_.emplace_back();
    return static_cast<int>(states_.size()) - 1;
}

int TContentModelAutomaton::nameIndex(const std::u16string& name) {
    return names_.try_emplace(name, static_cast<int>(names_.size())).first->second;
}

TContentModelAutomaton::Fragment TContentModelAutomaton::onePass(const TdomCMParticle& particle,
                                                                 std::vector<Fragment>& childFragments) {
    switch (particle.nodeType()) {
    case TdomCMNodeType::elementParticle: {
        const int position = addState();
        const int after = addState();
        states_[static_cast<std::size_t>(position)].name = nameIndex(particle.nodeName());
        states_[static_cast<std::size_t>(position)].next = after;
        return {position, after};
    }
    case TdomCMNodeType::sequenceParticle: {
        if (childFragments.empty()) {
            const int only = addState();
            return {only, only};
        }
        for (std::size_t i = 1; i < childFragments.size(); ++i)
            states_[static_cast<std::size_t>(childFragments[i - 1].exit)].moves.push_back(childFragments[i].entry);
        return {childFragments.front().entry, childFragments.back().exit};
    }
    default: {
        // A choice: one of the children; without children no pass succeeds.
        const int entry = addState();
        const int exit = addState();
        for (const Fragment& child : childFragments) {
            states_[static_cast<std::size_t>(entry)].moves.push_back(child.entry);
            states_[static_cast<std::size_t>(child.exit)].moves.push_back(exit);
        }
        return {entry, exit};
    }
    }
}

TContentModelAutomaton::Fragment TContentModelAutomaton::withOccurrence(Fragment inner, char16_t occurrence) {
    if (occurrence == u'\0') return inner;
    // Fresh entry and exit states, so that a skip and a loop never meet inside the inner fragment.
    const int entry = addState();
    const int exit = addState();
    auto move = [this](int from, int to) { states_[static_cast<std::size_t>(from)].moves.push_back(to); };
    move(entry, inner.entry);
    move(inner.exit, exit);
    if (occurrence == u'?' || occurrence == u'*') move(entry, exit);
    if (occurrence == u'+' || occurrence == u'*') move(inner.exit, inner.entry);
    return {entry, exit};
}

bool TContentModelAutomaton::closure(std::vector<int>& from, std::vector<int>& positions) const {
    if (++generation_ == 0) {
        marks_.assign(marks_.size(), 0);
        generation_ = 1;
    }
    positions.clear();
    bool accepts = false;
    for (int state : from) marks_[static_cast<std::size_t>(state)] = generation_;
    while (!from.empty()) {
        const int state = from.back();
        from.pop_back();
        ++visits_;
        if (state == final_) accepts = true;
        const State& s = states_[static_cast<std::size_t>(state)];
        if (s.name >= 0) positions.push_back(state);
        for (int target : s.moves) {
            if (marks_[static_cast<std::size_t>(target)] == generation_) continue;
            marks_[static_cast<std::size_t>(target)] = generation_;
            from.push_back(target);
        }
    }
    return accepts;
}

int TContentModelAutomaton::setState(std::vector<int>& positions, bool accepts) const {
    // The same positions with and without the final state reached are different states: the key
    // ends in -1 when the final state is reached.
    std::sort(positions.begin(), positions.end());
    if (accepts) positions.push_back(-1);
    if (auto found = setIndex_.find(positions); found != setIndex_.end()) return found->second;
    // A bound on the table: states times names.
    constexpr std::size_t kMaxEntries = std::size_t{1} << 20;
    if ((sets_.size() + 1) * (names_.size() + 1) > kMaxEntries) {
        sets_.clear();
        setIndex_.clear();
        startSet_ = kDead;
        ++flushes_;
    }
    const int index = static_cast<int>(sets_.size());
    setIndex_.emplace(positions, index);
    if (accepts) positions.pop_back();
    sets_.push_back({std::move(positions), accepts, std::vector<int>(names_.size(), kUnknown)});
    return index;
}

int TContentModelAutomaton::startState() const {
    if (startSet_ == kDead) {
        std::vector<int> pending{start_};
        std::vector<int> positions;
        const bool accepts = closure(pending, positions);
        startSet_ = setState(positions, accepts);
    }
    return startSet_;
}

int TContentModelAutomaton::step(int state, int name) const {
    const int known = sets_[static_cast<std::size_t>(state)].next[static_cast<std::size_t>(name)];
    if (known != kUnknown) return known;
    std::vector<int> pending;
    for (int position : sets_[static_cast<std::size_t>(state)].positions)
        if (states_[static_cast<std::size_t>(position)].name == name)
            pending.push_back(states_[static_cast<std::size_t>(position)].next);
    int target = kDead;
    if (!pending.empty()) {
        std::vector<int> positions;
        const bool accepts = closure(pending, positions);
        const unsigned flushes = flushes_;
        target = setState(positions, accepts);
        // An emptied table no longer holds state; the step is then simply not remembered.
        if (flushes_ != flushes) return target;
    }
    sets_[static_cast<std::size_t>(state)].next[static_cast<std::size_t>(name)] = target;
    return target;
}

bool TContentModelAutomaton::longestMatch(std::span<const std::u16string> names, std::size_t from,
                                          std::size_t& next) const {
    int state = startState();
    bool matched = sets_[static_cast<std::size_t>(state)].accepts;
    std::size_t end = from;
    for (std::size_t i = from; i < names.size(); ++i) {
        auto found = names_.find(names[i]);
        if (found == names_.end()) break;
        state = step(state, found->second);
        if (state == kDead) break;
        if (sets_[static_cast<std::size_t>(state)].accepts) {
            matched = true;
            end = i + 1;
        }
    }
    if (matched) next = end;
    return matched;
}

bool TContentModelAutomaton::deterministic() const {
    // The start and the state after each position; a state left only by one empty move reaches what
    // its target reaches, so each chain of them is checked once.
    std::vector<int> sources{start_};
    for (const State& s : states_)
        if (s.name >= 0) sources.push_back(s.next);
    std::vector<bool> checked(states_.size(), false);
    std::vector<int> seenName(names_.size(), -1);
    std::vector<int> pending;
    std::vector<int> positions;
    int round = 0;
    const std::size_t visitsBefore = visits_;
    for (int source : sources) {
        // Huge models with long overlapping follow lists (a repeated sequence of thousands of
        // optional particles) would cost the square of their size: past the bound they pass.
        if (visits_ - visitsBefore > kDeterminismBudget) return true;
        while (states_[static_cast<std::size_t>(source)].name < 0 &&
               states_[static_cast<std::size_t>(source)].moves.size() == 1 && source != final_)
            source = states_[static_cast<std::size_t>(source)].moves[0];
        if (checked[static_cast<std::size_t>(source)]) continue;
        checked[static_cast<std::size_t>(source)] = true;
        pending.assign(1, source);
        closure(pending, positions);
        ++round;
        for (int position : positions) {
            int& seen = seenName[static_cast<std::size_t>(states_[static_cast<std::size_t>(position)].name)];
            if (seen == round) return false;
            seen = round;
        }
    }
    return true;
}
