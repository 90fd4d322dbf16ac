#include "LossReport.h"

namespace tafelix::convert {

void LossReport::add(Kind kind, int count, std::string_view example)
{
    Slot& s = slots_[static_cast<std::size_t>(kind)];
    s.count += count;
    if (s.examples.size() < kExamples && !example.empty())
        s.examples.emplace_back(example);
}

void LossReport::note(std::string line)
{
    notes_.push_back(std::move(line));
}

void LossReport::merge(const LossReport& other)
{
    notes_.insert(notes_.end(), other.notes_.begin(), other.notes_.end());
    for (std::size_t k = 0; k < slots_.size(); ++k) {
        slots_[k].count += other.slots_[k].count;
        for (const std::string& e : other.slots_[k].examples)
            if (slots_[k].examples.size() < kExamples)
                slots_[k].examples.push_back(e);
    }
}

bool LossReport::empty() const
{
    if (!notes_.empty())
        return false;
    for (const Slot& s : slots_)
        if (s.count > 0)
            return false;
    return true;
}

namespace {

std::string line(int n, std::string_view one, std::string_view many, std::string_view rest)
{
    std::string s = "- " + std::to_string(n) + " ";
    s += n == 1 ? one : many;
    s += rest;
    return s;
}

} // namespace

std::string LossReport::summary() const
{
    using K = Kind;
    std::string out;
    for (int k = 0; k < kKinds; ++k) {
        const auto kind = static_cast<K>(k);
        const int n = count(kind);
        if (n == 0)
            continue;
        switch (kind) {
        case K::Unrepresentable:
            out +=
                line(n, "Zeichen", "Zeichen", ", die Windows-1252 nicht kennt, durch „?“ ersetzt");
            break;
        case K::Cut:
            out += line(n, "Text", "Texte", " nach 100 Zeichen abgeschnitten");
            break;
        case K::LineBreak:
            out += line(n, "Feld", "Felder",
                        " mit Zeilenumbruch: Umbruch durch ein Leerzeichen ersetzt");
            break;
        case K::SkippedRow:
            out += line(n, "Zeile oder Eintrag", "Zeilen oder Einträge",
                        " ohne deutsches und fremdsprachiges Wort übersprungen");
            break;
        case K::OverLimit:
            out += line(n, "Wort", "Wörter",
                        " über der Grenze von 9999 Wörtern pro Vokabeldatei nicht übernommen");
            break;
        case K::BadNumber:
            out +=
                line(n, "Zahl", "Zahlen",
                     " für Fach oder Durchgänge nicht lesbar: Fach 1 bzw. 0 Durchgänge genommen");
            break;
        case K::NoCounterpart:
            out += line(n, "Angabe", "Angaben", " ohne Gegenstück im Zielformat nicht übernommen");
            break;
        case K::XmlControl:
            out += line(n, "Steuerzeichen", "Steuerzeichen",
                        ", die XML nicht fassen kann, durch „?“ ersetzt");
            break;
        case K::Html:
            out += line(n, "Feld", "Felder",
                        " mit HTML als Text übernommen: Umbrüche und Absätze als Leerzeichen, "
                        "Auszeichnungen entfernt, Entitäten entschlüsselt");
            break;
        case K::OutOfRange:
            out += line(n, "Zahl", "Zahlen",
                        " für Fach oder Durchgänge außerhalb des Gültigen: durch den nächsten "
                        "gültigen Wert ersetzt");
            break;
        }
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
