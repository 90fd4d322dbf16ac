#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tafelix::convert {

// What a conversion could not carry over unchanged. Every kind keeps a count and its first
// few examples, so the learner sees the size of each problem and where to look.
class LossReport {
public:
    enum class Kind {
        Unrepresentable, // characters Windows-1252 lacks, written as "?"
        Cut,             // texts longer than 100 characters
        LineBreak,       // fields whose line breaks became blanks
        SkippedRow,      // rows or entries that gave no word
        OverLimit,       // words beyond the 9999 a vocabulary holds
        BadNumber,       // compartment or pass numbers that could not be read
        NoCounterpart,   // content the target has no place for
        XmlControl,      // control characters XML cannot hold, written as "?"
    };
    static constexpr int kKinds = 8;
    static constexpr std::size_t kExamples = 3;

    // `example` is UTF-8 and names the place, for example "Zeile 4: „Straße“".
    void add(Kind kind, int count, std::string_view example);
    void add(Kind kind, std::string_view example) { add(kind, 1, example); }
    void merge(const LossReport& other);
    // Rewrites every example kept, for a report made before the place it names was known.
    template <class Rewrite> void rewriteExamples(Rewrite rewrite)
    {
        for (Slot& s : slots_)
            for (std::string& e : s.examples)
                e = rewrite(std::move(e));
    }

    int count(Kind kind) const { return slot(kind).count; }
    const std::vector<std::string>& examples(Kind kind) const { return slot(kind).examples; }
    bool empty() const;
    // Whether another example of this kind would still be kept: where it would not, the
    // caller can spare itself building one.
    bool wantsExample(Kind kind) const { return slot(kind).examples.size() < kExamples; }

    // One German paragraph per kind that occurred, or an empty string when nothing was lost.
    std::string summary() const;

private:
    struct Slot {
        int count = 0;
        std::vector<std::string> examples;
    };
    const Slot& slot(Kind kind) const { return slots_[static_cast<std::size_t>(kind)]; }
    std::array<Slot, kKinds> slots_;
};

} // namespace tafelix::convert
