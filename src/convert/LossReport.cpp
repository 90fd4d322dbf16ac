#include "LossReport.h"

namespace tafelix::convert {

void LossReport::add(Kind kind, int count, std::string_view example)
{
    const auto k = static_cast<std::size_t>(kind);
    counts_[k] += count;
    if (examples_[k].size() < kExamples && !example.empty())
        examples_[k].emplace_back(example);
}

void LossReport::merge(const LossReport& other)
{
    notes_.insert(notes_.end(), other.notes_.begin(), other.notes_.end());
    for (int k = 0; k < kKinds; ++k) {
        add(Kind(k), other.count(Kind(k)), {});
        for (const std::string& e : other.examples(Kind(k)))
            add(Kind(k), 0, e);
    }
}

std::string LossReport::summary() const
{
    // Per kind, in the order of the enum: the counted thing in singular and plural, and what
    // became of it.
    struct Wording {
        const char* one;
        const char* many;
        const char* what;
    };
    static constexpr Wording kWordings[kKinds] = {
        {"Zeichen", "Zeichen", ", die Windows-1252 nicht kennt, durch „?“ ersetzt"},
        {"Text", "Texte", " nach 100 Zeichen abgeschnitten"},
        {"Feld", "Felder", " mit Zeilenumbruch: Umbruch durch ein Leerzeichen ersetzt"},
        {"Zeile oder Eintrag", "Zeilen oder Einträge",
         " ohne deutsches und fremdsprachiges Wort übersprungen"},
        {"Wort", "Wörter", " über der Grenze von 9999 Wörtern pro Vokabeldatei nicht übernommen"},
        {"Zahl", "Zahlen",
         " für Fach oder Durchgänge nicht lesbar: Fach 1 bzw. 0 Durchgänge genommen"},
        {"Angabe", "Angaben", " ohne Gegenstück im Zielformat nicht übernommen"},
        {"Steuerzeichen", "Steuerzeichen", ", die XML nicht fassen kann, durch „?“ ersetzt"},
        {"Feld", "Felder",
         " mit HTML als Text übernommen: Umbrüche und Absätze als Leerzeichen, Auszeichnungen "
         "entfernt, Entitäten entschlüsselt"},
        {"Zahl", "Zahlen",
         " für Fach oder Durchgänge außerhalb des Gültigen: durch den nächsten gültigen Wert "
         "ersetzt"},
    };
    std::string out;
    for (int k = 0; k < kKinds; ++k) {
        const auto kind = static_cast<Kind>(k);
        const int n = count(kind);
        if (n == 0)
            continue;
        const Wording& w = kWordings[k];
        out += "- " + std::to_string(n) + " " + (n == 1 ? w.one : w.many) + w.what;
        const auto& ex = examples(kind);
        for (std::size_t i = 0; i < ex.size(); ++i)
            out += (i == 0 ? " (z. B. " : "; ") + ex[i];
        out += ex.empty() ? "\n" : ")\n";
    }
    for (const std::string& n : notes_)
        out += "- " + n + "\n";
    if (!out.empty())
        out = "Nicht alles ließ sich unverändert übernehmen:\n" + out;
    return out;
}

} // namespace tafelix::convert
