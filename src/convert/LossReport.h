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
        Html,            // fields whose HTML became plain text
        OutOfRange,      // compartments or passes outside what the drill knows, moved in
    };
    static constexpr int kKinds = 10;
    static constexpr std::size_t kExamples = 3;

    // `example` is UTF-8 and names the place, for example "Zeile 4: „Straße“".
    void add(Kind kind, int count, std::string_view example);
    void add(Kind kind, std::string_view example) { add(kind, 1, example); }
    // A whole line of its own for what happened once to the file as a whole or to a whole
    // column ("Lektionen nicht übernommen: 12"); UTF-8.
    void note(std::string line) { notes_.push_back(std::move(line)); }
    void merge(const LossReport& other);

    int count(Kind kind) const { return counts_[static_cast<std::size_t>(kind)]; }
    const std::vector<std::string>& notes() const { return notes_; }
    const std::vector<std::string>& examples(Kind kind) const
    {
        return examples_[static_cast<std::size_t>(kind)];
    }
    bool empty() const { return summary().empty(); }

    // One German paragraph per kind that occurred, or an empty string when nothing was lost.
    std::string summary() const;

private:
    std::array<int, kKinds> counts_{};
    std::array<std::vector<std::string>, kKinds> examples_;
    std::vector<std::string> notes_;
};

} // namespace tafelix::convert
