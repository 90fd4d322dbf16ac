// tafelix-convert IN OUT: converts one word list between the formats, by the extensions.
// The same import and export code as the program; what could not be carried over goes to
// stderr, and the exit status tells a script whether anything was lost.

#include "Converter.h"
#include "core/SpeechChoices.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using namespace tafelix;
using namespace tafelix::convert;

namespace {

constexpr int kExitLost = 1;
constexpr int kExitFailed = 2;

constexpr const char* kHelp =
    R"(Aufruf: tafelix-convert [Optionen] EINGABE AUSGABE

Wandelt eine Wortliste um. Das Format folgt aus der Endung:
  .vkb         Tafelix-Vokabeldatei (Windows-1252, höchstens 9999 Wörter)
  .kvtml       KVTML 2.0 (andere Vokabeltrainer)
  .csv         kommagetrennt, UTF-8 (Tabellenkalkulation, Karteikarten-Programme)
  .tsv, .txt   tabulatorgetrennt, UTF-8
Beim Lesen von CSV werden Zeichenkodierung, Trennzeichen und Spalten erkannt.

Was sich nicht unverändert übernehmen ließ, steht auf der Standardfehlerausgabe.

Optionen:
  --lossy          auch dann mit Status 0 enden, wenn etwas verloren ging
  --german=ID      KVTML: die Sprache mit dieser Nummer ist Deutsch ("none": keine)
  --foreign=ID     KVTML: die Sprache mit dieser Nummer ist die Fremdsprache
  --foreign-locale=CODE
                   KVTML-Ausgabe: Gebietsschema der Fremdsprache (z. B. en, fr_CA)
  --help           diese Hilfe

Rückgabewert: 0 alles übernommen, 1 etwas ging verloren (ohne --lossy),
2 Fehler (Datei nicht lesbar, unbekanntes Format, Sprache unklar, Aufruf falsch).
)";

bool parseLanguage(std::string_view value, int& into)
{
    into = KvtmlChoice::kNone;
    const char* end = value.data() + value.size();
    return value == "none" || (!value.empty() && value.size() <= 6 && value[0] != '-' &&
                               std::from_chars(value.data(), end, into).ptr == end);
}

int usage(const char* problem)
{
    std::fprintf(stderr, "tafelix-convert: %s\nMehr mit --help.\n", problem);
    return kExitFailed;
}

} // namespace

int main(int argc, char** argv)
{
    bool lossy = false;
    ImportOptions options;
    QString foreignLocale;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (a == "--lossy") {
            lossy = true;
        } else if (a.starts_with("--german=") || a.starts_with("--foreign=")) {
            const bool german = a[2] == 'g';
            if (!parseLanguage(a.substr(a.find('=') + 1),
                               german ? options.kvtml.german : options.kvtml.foreign))
                return usage(german ? "--german erwartet eine Nummer oder \"none\"."
                                    : "--foreign erwartet eine Nummer oder \"none\".");
        } else if (a.starts_with("--foreign-locale=")) {
            foreignLocale = QString::fromLatin1(a.substr(17));
            if (!SpeechChoices::isLanguageCode(
                    QString(foreignLocale).replace(u'_', u'-').toStdString()))
                return usage("--foreign-locale erwartet einen Code wie en oder fr_CA.");
        } else if (a.starts_with("--")) {
            return usage("unbekannte Option.");
        } else {
            files.emplace_back(a);
        }
    }
    if (files.size() != 2)
        return usage("erwartet werden genau zwei Dateien: EINGABE AUSGABE.");
    const std::string& in = files[0];
    const std::string& out = files[1];
    if (formatFromPath(out) == FileFormat::Unknown)
        return usage("die Endung der Ausgabe ist keins von .vkb, .kvtml, .csv, .tsv, .txt.");

    const ImportOutcome imported = importFile(in, options);
    if (imported.status != ImportOutcome::Status::Ok) {
        const bool ask = imported.status == ImportOutcome::Status::Ambiguous;
        std::fprintf(stderr, "%s: %s%s\n", in.c_str(), imported.message.c_str(),
                     ask ? " Mit --german=ID wählen:" : "");
        for (const KvtmlLanguage& l : ask ? imported.languages : std::vector<KvtmlLanguage>())
            std::fprintf(stderr, "  %d: %s (%s)\n", l.id, l.name.toStdString().c_str(),
                         l.locale.toStdString().c_str());
        return kExitFailed;
    }

    auto table = std::make_unique<TWordTable>();
    fillTable(imported.imported.words, *table);
    // An empty list stays empty in the output; the one blank word of "Neu" is for the editor.
    if (imported.imported.words.empty())
        table->ClearWords();

    const ExportOutcome exported = exportFile(*table, out, foreignLocale);
    if (!exported.io) {
        std::fprintf(stderr, "%s: %s\n", out.c_str(), exported.io.message.c_str());
        return kExitFailed;
    }
    LossReport losses = imported.imported.losses;
    losses.merge(exported.losses);
    if (losses.empty())
        return 0;
    std::fprintf(stderr, "%s -> %s: %d Wörter.\n%s", in.c_str(), out.c_str(), table->wordCount,
                 losses.summary().c_str());
    return lossy ? 0 : kExitLost;
}
