#pragma once

#include "FileIo.h"

#include <cstddef>
#include <functional>
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
//
// Several windows share the file, so it is never written back whole from a copy read earlier:
// each change re-reads it under the folder's lock and changes one entry (change()). A file that
// cannot be read whole is left as it is rather than replaced by one holding only the new choice.
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

    // Reads the file whole or not at all: a missing or empty file is no choice yet; one that
    // cannot be read, is too large, or does not start with our header line (another version,
    // another program, a damaged start) fails with the German reason.
    static IoResult read(const std::string& path, SpeechChoices& out);
    // Changes the file as it is now: under the lock of its folder, reads it whole, lets `edit`
    // change it, and writes it back when anything changed. A file that read() refuses stays
    // untouched, and the result says in German why the choice was not kept. `now`, when
    // given, receives the choices as the file holds them afterwards (none when it could not be
    // read).
    static IoResult change(const std::string& path, const std::function<void(SpeechChoices&)>& edit,
                           SpeechChoices* now = nullptr);

    // How the file names the list at `listPath` (absolute, links resolved): a list inside the
    // program folder `programFolder` by its path relative to it, so that a program folder
    // copied to a stick or synced to another place keeps its lists' languages; any other list
    // by its absolute path.
    static std::string keyOf(std::string_view programFolder, std::string_view listPath);

    // A list's key, and the absolute path under which earlier versions kept a list inside the
    // program folder (empty when that is the key itself): still read, and dropped when the
    // list's language is next chosen.
    struct ListKey {
        std::string key, earlier;
    };
    std::string language(const ListKey& list) const;
    bool setLanguage(const ListKey& list, std::string_view code);

    // The BCP 47 code chosen for the list at `listPath` ("en", "fr-CH"), or empty.
    std::string language(const std::string& listPath) const;
    // An empty or malformed code forgets the list's choice; false when the code was refused.
    bool setLanguage(const std::string& listPath, std::string_view code);

    // "Aussprache": whether the drill speaks the foreign word.
    bool speakInDrill() const { return speakInDrill_; }
    void setSpeakInDrill(bool on) { speakInDrill_ = on; }

    std::size_t listCount() const { return languages_.size(); }
    // Every list's key with its language code.
    const std::map<std::string, std::string, std::less<>>& languages() const { return languages_; }

    // Letters, digits and '-' in subtags of 1 to 8 characters, the first of 2 to 8 letters.
    // Enough to keep a damaged file from handing the speech engine anything odd.
    static bool isLanguageCode(std::string_view code);

    friend bool operator==(const SpeechChoices&, const SpeechChoices&) = default;

private:
    bool speakInDrill_ = false;
    std::map<std::string, std::string, std::less<>> languages_;
};

} // namespace tafelix
