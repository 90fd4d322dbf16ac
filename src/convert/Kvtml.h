#pragma once

#include "Csv.h"
#include "LossReport.h"
#include "core/WordTable.h"

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace tafelix::convert {

// One language of a KVTML file (its <identifier>).
struct KvtmlLanguage {
    int id = 0;
    QString name;
    QString locale;
};

// Which identifiers become German and foreign. kAuto lets the reader decide where the file
// is clear about it; kNone leaves that side of every word empty.
struct KvtmlChoice {
    static constexpr int kAuto = -2;
    static constexpr int kNone = -1;
    int german = kAuto;
    int foreign = kAuto;
};

// The outcome of an import in any format; the languages and their choice are KVTML's.
struct ImportOutcome {
    enum class Status {
        Ok,
        Ambiguous, // several languages and not exactly one German one: choose, then read again
        Failed,    // see `message`
    };
    Status status = Status::Failed;
    std::string message;                  // German, UTF-8, when not Ok
    std::vector<KvtmlLanguage> languages; // in file order
    int germanId = KvtmlChoice::kNone;    // the choice taken
    int foreignId = KvtmlChoice::kNone;
    QString foreignLocale; // the foreign side's locale as a language code ("fr-CA"), if it is one
    ImportedWords imported;
};

// Comment -> "Bemerkung", paraphrase, synonym pairs and the file's further languages ->
// "Andere, weitere Bedeutungen", grade 0..7 -> compartment 1..5 or archive, count -> passes.
ImportOutcome importKvtml(std::string_view bytes, const KvtmlChoice& choice = {});

// A KVTML 2.0 document with the languages "Deutsch" (de) and "Fremdsprache", one lesson
// named `title` holding every word (other trainers practise lessons, not loose entries),
// the synonym as paraphrase, the compartment as grade. Losses (control characters XML
// cannot hold, compartments outside 1..6) go to `losses`. `foreignLocale` ("en", "fr_CA"),
// when given, names the foreign language's locale, which other trainers show as its title.
std::string exportKvtml(const TWordTable& table, const QString& title, LossReport& losses,
                        const QString& foreignLocale = {});

} // namespace tafelix::convert
