#pragma once

#include "FileIo.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace tafelix {

// Which language each word list's foreign words are in, and whether the drill speaks them.
// The word list format has no room for a language, and other programs read it, so these
// choices live in a file of their own in SysDat, one line per list, keyed by the list's path.
//
// Losing the file loses nothing but the choices: a missing, unreadable or damaged file reads
// as "no language chosen, speech off", and a damaged line is skipped without the others.
class SpeechChoices {
public:
    static constexpr std::string_view kFileName = "Aussprache.dat";

    // Nothing is chosen until the file says otherwise.
    SpeechChoices() = default;

    // Never fails: what cannot be read is simply not chosen.
    static SpeechChoices load(const std::string& path);
    static SpeechChoices parse(std::string_view bytes);
    std::string serialize() const;
    // Replaces the file atomically.
    IoResult save(const std::string& path) const;

    // The BCP 47 code chosen for the list at `listPath` ("en", "fr-CH"), or empty.
    std::string language(const std::string& listPath) const;
    // An empty or malformed code forgets the list's choice; false when the code was refused.
    bool setLanguage(const std::string& listPath, std::string_view code);

    // "Aussprache": whether the drill speaks the foreign word.
    bool speakInDrill() const { return speakInDrill_; }
    void setSpeakInDrill(bool on) { speakInDrill_ = on; }

    std::size_t listCount() const { return languages_.size(); }

    // Letters, digits and '-' in subtags of 1 to 8 characters, the first of 2 to 8 letters.
    // Enough to keep a damaged file from handing the speech engine anything odd.
    static bool isLanguageCode(std::string_view code);

    friend bool operator==(const SpeechChoices&, const SpeechChoices&) = default;

private:
    bool speakInDrill_ = false;
    std::map<std::string, std::string, std::less<>> languages_;
};

} // namespace tafelix
