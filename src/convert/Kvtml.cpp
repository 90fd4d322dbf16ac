#include "Kvtml.h"

#include "FieldText.h"

#include <QBuffer>
#include <QHash>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <optional>

namespace tafelix::convert {

namespace {

// Texts are kept a little longer than a word table holds, so that the cut is still noticed
// and reported, but a 50 MB text node costs no more than this.
constexpr qsizetype kKeepChars = 512;

bool looksGerman(const KvtmlLanguage& l)
{
    const QString loc = l.locale.trimmed().toLower();
    const QString name = l.name.trimmed().toLower();
    return loc == u"de" || loc.startsWith(u"de_") || loc.startsWith(u"de-") || loc == u"deu" ||
           loc == u"ger" || name == u"deutsch" || name == u"german" || name == u"de";
}

void appendBounded(QString& into, QStringView part)
{
    into += part.left(std::max<qsizetype>(0, kKeepChars - into.size()));
}

void appendPart(QString& into, const QString& part, QStringView glue = u"; ")
{
    if (part.trimmed().isEmpty())
        return;
    if (!into.isEmpty())
        appendBounded(into, glue);
    appendBounded(into, part);
}

struct Translation {
    QString text, comment, paraphrase, grade, count;
};

struct RawEntry {
    QString id;
    int number = 0; // place in the file, from 1
    Translation german, foreign;
    QString others; // texts of the further languages, "fr: maison"
    QString synonyms;
};

struct PairSide {
    QString entry;
    int translation = -1;
};

// Streams one KVTML document. The first run collects the languages only; the second, with
// the languages chosen, the entries.
class Parser {
public:
    Parser(std::string_view bytes, bool languagesOnly)
        : data_(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()))),
          xml_(data_), languagesOnly_(languagesOnly)
    {
        xml_.setEntityExpansionLimit(1024);
    }

    std::vector<KvtmlLanguage> languages;
    std::vector<RawEntry> entries;
    std::vector<std::pair<PairSide, PairSide>> pairs;
    int lessons = 0;
    int germanId = KvtmlChoice::kNone;
    int foreignId = KvtmlChoice::kNone;
    LossReport losses;

    // An empty string on success, else the German reason.
    std::string run()
    {
        while (!xml_.atEnd() && !done_) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::DTD:
                if (xml_.text().contains(u'['))
                    xml_.raiseError(QStringLiteral(
                        "Die Datei bringt eigene DTD-Deklarationen mit; sie wird nicht gelesen."));
                break;
            case QXmlStreamReader::StartElement:
                start();
                break;
            case QXmlStreamReader::EndElement:
                end();
                break;
            case QXmlStreamReader::Characters:
                characters();
                break;
            default:
                break;
            }
        }
        if (xml_.hasError())
            return "Keine lesbare KVTML-Datei: " + xml_.errorString().toStdString() + " (Zeile " +
                   std::to_string(xml_.lineNumber()) + ")";
        if (!sawRoot_)
            return "Keine KVTML-Datei: das Element „kvtml“ fehlt.";
        return {};
    }

private:
    QStringView parent(qsizetype up = 1) const
    {
        return stack_.size() >= up ? QStringView(stack_[stack_.size() - up]) : QStringView();
    }
    bool inEntries() const { return stack_.size() >= 2 && stack_[1] == u"entries"; }

    int intAttribute(QLatin1StringView name, int fallback) const
    {
        bool ok = false;
        const int v = xml_.attributes().value(name).toInt(&ok);
        return ok ? v : fallback;
    }

    void start()
    {
        const QString name = xml_.name().toString();
        // Text is collected only directly inside the element that chose the target; a child
        // element ends that, and a stale pointer into a growing list must not survive it.
        target_ = nullptr;
        if (stack_.size() >= kKvtmlMaxDepth) {
            xml_.raiseError(QStringLiteral("Die Elemente sind zu tief verschachtelt."));
            return;
        }
        const QStringView p = parent();
        if (stack_.isEmpty()) {
            sawRoot_ = true;
            if (name != u"kvtml")
                xml_.raiseError(QStringLiteral("Das Wurzelelement ist nicht „kvtml“."));
            else if (!xml_.attributes().value(QLatin1StringView("version")).startsWith(u"2"))
                xml_.raiseError(QStringLiteral("Nur KVTML 2.0 wird gelesen; diese Datei ist "
                                               "älter (KVTML 1)."));
        } else if (p == u"identifiers" && name == u"identifier") {
            if (std::ssize(languages) >= kKvtmlMaxLanguages) {
                xml_.raiseError(QStringLiteral("Die Datei hat zu viele Sprachen."));
                return;
            }
            languages.push_back(
                {intAttribute(QLatin1StringView("id"), static_cast<int>(languages.size())),
                 {},
                 {}});
        } else if (p == u"identifier" && !languages.empty() && stack_.size() == 3) {
            target_ = name == u"name"     ? &languages.back().name
                      : name == u"locale" ? &languages.back().locale
                                          : nullptr;
        } else if (name == u"entries" && languagesOnly_) {
            done_ = true;
        } else if (inEntries()) {
            startInEntries(name, p);
        } else if (p == u"lessons" && name == u"container") {
            ++lessons;
        } else if (stack_.size() >= 3 && stack_[1] == u"synonym") {
            if (p == u"pair" && name == u"entry") {
                side_().entry = xml_.attributes().value(QLatin1StringView("id")).toString();
            } else if (parent(2) == u"pair" && p == u"entry" && name == u"translation") {
                side_().translation = intAttribute(QLatin1StringView("id"), -1);
            }
        }
        if (stack_.size() == 2 && stack_[1] == u"synonym" && name == u"pair") {
            pairs.emplace_back();
            pairSide_ = 0;
        }
        stack_.push_back(name);
    }

    PairSide& side_()
    {
        if (pairs.empty())
            pairs.emplace_back();
        return pairSide_ == 0 ? pairs.back().first : pairs.back().second;
    }

    void startInEntries(const QString& name, QStringView p)
    {
        if (stack_.size() == 2 && name == u"entry") {
            entry_ = RawEntry{};
            entry_.id = xml_.attributes().value(QLatin1StringView("id")).toString();
            entry_.number = ++entryNumber_;
            return;
        }
        if (stack_.size() == 3 && p == u"entry" && name == u"translation") {
            const int id = intAttribute(QLatin1StringView("id"), -1);
            otherText_.clear();
            translation_ = id == germanId    ? &entry_.german
                           : id == foreignId ? &entry_.foreign
                                             : nullptr;
            otherLanguage_ = id;
            return;
        }
        if (stack_.size() == 4 && p == u"translation") {
            Translation* t = translation_;
            if (name == u"text")
                target_ = t ? &t->text : &otherText_;
            else if (t && name == u"comment")
                target_ = &t->comment;
            else if (t && name == u"paraphrase")
                target_ = &t->paraphrase;
            else if (name != u"grade" && t) {
                unknown_ = name;
                unknownHasContent_ = false;
            }
            return;
        }
        if (stack_.size() == 5 && p == u"grade" && translation_) {
            target_ = name == u"currentgrade" ? &translation_->grade
                      : name == u"count"      ? &translation_->count
                                              : nullptr;
        }
    }

    void characters()
    {
        if (target_)
            appendBounded(*target_, xml_.text());
        else if (!unknown_.isEmpty() && !xml_.isWhitespace())
            unknownHasContent_ = true;
    }

    void end()
    {
        const QString name = stack_.isEmpty() ? QString() : stack_.takeLast();
        target_ = nullptr;
        if (!unknown_.isEmpty() && stack_.size() == 4 && name == unknown_) {
            if (unknownHasContent_)
                losses.add(LossReport::Kind::NoCounterpart, "Eintrag " +
                                                                std::to_string(entry_.number) +
                                                                ": <" + name.toStdString() + ">");
            unknown_.clear();
        }
        if (languagesOnly_ && name == u"identifiers")
            done_ = true;
        if (stack_.size() == 3 && name == u"translation" && stack_[1] == u"entries") {
            if (!translation_ && !otherText_.trimmed().isEmpty())
                appendPart(entry_.others, languageLabel(otherLanguage_) + otherText_);
            translation_ = nullptr;
        } else if (stack_.size() == 2 && name == u"entry" && stack_[1] == u"entries") {
            finishEntry();
        } else if (stack_.size() == 3 && name == u"entry" && stack_[2] == u"pair") {
            pairSide_ = 1;
        }
    }

    QString languageLabel(int id) const
    {
        for (const KvtmlLanguage& l : languages)
            if (l.id == id) {
                const QString label =
                    !l.locale.trimmed().isEmpty() ? l.locale.trimmed() : l.name.trimmed();
                return label.isEmpty() ? QString() : label + QStringLiteral(": ");
            }
        return {};
    }

    void finishEntry()
    {
        const std::string where = "Eintrag " + std::to_string(entry_.number);
        const bool hasWord =
            !entry_.german.text.trimmed().isEmpty() || !entry_.foreign.text.trimmed().isEmpty();
        if (!hasWord) {
            if (!entry_.others.isEmpty())
                losses.add(LossReport::Kind::SkippedRow,
                           where + ": " + quoteForReport(entry_.others));
            return;
        }
        if (entries.size() >= static_cast<std::size_t>(TWordTable::MaxWords)) {
            losses.add(LossReport::Kind::OverLimit, overLimitSeen_ ? std::string() : "ab " + where);
            overLimitSeen_ = true;
            return;
        }
        entries.push_back(std::move(entry_));
    }

    QByteArray data_;
    QXmlStreamReader xml_;
    bool languagesOnly_;
    bool done_ = false;
    bool sawRoot_ = false;
    QStringList stack_;
    QString* target_ = nullptr;
    RawEntry entry_;
    int entryNumber_ = 0;
    Translation* translation_ = nullptr;
    int otherLanguage_ = -1;
    QString otherText_;
    QString unknown_;
    bool unknownHasContent_ = false;
    bool overLimitSeen_ = false;
    int pairSide_ = 0;

public:
    void choose(int german, int foreign)
    {
        germanId = german;
        foreignId = foreign;
    }
};

bool hasLanguage(const std::vector<KvtmlLanguage>& langs, int id)
{
    return std::any_of(langs.begin(), langs.end(), [&](const auto& l) { return l.id == id; });
}

// Grade 0 is a word never or not yet known, each grade above one more right answer in a row;
// our compartment k means k - 1 right answers, and five make the archive.
std::int32_t boxForGrade(int grade)
{
    return static_cast<std::int32_t>(std::clamp(grade, 0, 5) + 1);
}

} // namespace

KvtmlImport importKvtml(std::string_view bytes, const KvtmlChoice& choice)
{
    KvtmlImport out;
    Parser first(bytes, true);
    if (std::string err = first.run(); !err.empty()) {
        out.message = std::move(err);
        return out;
    }
    out.languages = first.languages;
    const auto& langs = out.languages;

    int german = choice.german;
    if (german == KvtmlChoice::kAuto) {
        std::vector<int> germans;
        for (const KvtmlLanguage& l : langs)
            if (looksGerman(l))
                germans.push_back(l.id);
        if (germans.size() == 1)
            german = germans.front();
        else if (langs.size() <= 1)
            german = KvtmlChoice::kNone; // one language that is not German: the foreign side
        else {
            out.status = KvtmlImport::Status::Ambiguous;
            out.message = "Welche Sprache der Datei ist Deutsch?";
            return out;
        }
    } else if (german != KvtmlChoice::kNone && !hasLanguage(langs, german)) {
        out.message = "Die Datei hat keine Sprache mit der Nummer " + std::to_string(german) + ".";
        return out;
    }
    int foreign = choice.foreign;
    if (foreign == KvtmlChoice::kAuto) {
        foreign = KvtmlChoice::kNone;
        for (const KvtmlLanguage& l : langs)
            if (l.id != german) {
                foreign = l.id;
                break;
            }
    } else if (foreign != KvtmlChoice::kNone && !hasLanguage(langs, foreign)) {
        out.message = "Die Datei hat keine Sprache mit der Nummer " + std::to_string(foreign) + ".";
        return out;
    }
    if (german == foreign && german != KvtmlChoice::kNone) {
        out.message = "Deutsch und Fremdsprache müssen verschiedene Sprachen sein.";
        return out;
    }

    Parser p(bytes, false);
    p.languages = langs;
    p.choose(german, foreign);
    if (std::string err = p.run(); !err.empty()) {
        out.message = std::move(err);
        return out;
    }
    out.germanId = german;
    out.foreignId = foreign;

    // Synonym pairs link two entries; each side's word is a further meaning of the other.
    QHash<QString, std::size_t> byId;
    for (std::size_t i = 0; i < p.entries.size(); ++i)
        byId.insert(p.entries[i].id, i);
    const auto textOf = [&](const PairSide& s) -> QString {
        const auto it = byId.find(s.entry);
        if (it == byId.end())
            return {};
        const RawEntry& e = p.entries[*it];
        return s.translation == foreign  ? e.foreign.text
               : s.translation == german ? e.german.text
                                         : QString();
    };
    for (const auto& [a, b] : p.pairs) {
        for (const auto& [self, other] : {std::pair{a, b}, std::pair{b, a}}) {
            const auto it = byId.find(self.entry);
            if (it != byId.end() && self.translation == foreign)
                appendPart(p.entries[*it].synonyms, textOf(other));
        }
    }

    LossReport& losses = out.result.losses;
    losses = p.losses;
    // One lesson holding everything (as we write it ourselves) loses nothing; a division
    // into several does.
    if (p.lessons > 1)
        losses.add(LossReport::Kind::NoCounterpart, p.lessons,
                   "die Einteilung in Lektionen; die Wörter selbst sind übernommen");
    for (const RawEntry& r : p.entries) {
        const std::string where = "Eintrag " + std::to_string(r.number);
        QString synonym =
            r.foreign.paraphrase.trimmed().isEmpty() ? QString() : r.foreign.paraphrase;
        appendPart(synonym, r.synonyms);
        appendPart(synonym, r.others);
        QString remark = r.foreign.comment;
        if (r.german.comment != r.foreign.comment)
            appendPart(remark, r.german.comment);
        TWordEntry e;
        e.german = toTableText(r.german.text, losses, where);
        e.foreign = toTableText(r.foreign.text, losses, where);
        e.synonym = toTableText(synonym, losses, where);
        e.remark = toTableText(remark, losses, where);
        const Translation& g =
            !r.foreign.grade.isEmpty() || !r.foreign.count.isEmpty() ? r.foreign : r.german;
        const auto number = [&](const QString& text, int fallback) {
            if (text.trimmed().isEmpty())
                return fallback;
            bool ok = false;
            const int v = text.trimmed().toInt(&ok);
            if (!ok)
                losses.add(LossReport::Kind::BadNumber, where + ": " + quoteForReport(text));
            return ok ? v : fallback;
        };
        e.box = boxForGrade(number(g.grade, 0));
        e.passes = number(g.count, 0);
        out.result.words.push_back(e);
    }
    out.status = KvtmlImport::Status::Ok;
    return out;
}

namespace {

// XML 1.0 has no room for most C0 control characters, not even as character references.
QString xmlSafe(const QString& text, LossReport& losses, const std::string& where)
{
    QString s = text;
    int replaced = 0;
    for (QChar& c : s) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') {
            c = QLatin1Char('?');
            ++replaced;
        }
    }
    if (replaced > 0)
        losses.add(LossReport::Kind::XmlControl, replaced, where + ": " + quoteForReport(s));
    return s;
}

} // namespace

std::string exportKvtml(const TWordTable& table, const QString& title, LossReport& losses)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter w(&buffer);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);
    w.writeStartDocument();
    w.writeDTD(QStringLiteral(
        R"(<!DOCTYPE kvtml PUBLIC "kvtml2.dtd" "http://edu.kde.org/kvtml/kvtml2.dtd">)"));
    w.writeStartElement(QStringLiteral("kvtml"));
    w.writeAttribute(QStringLiteral("version"), QStringLiteral("2.0"));

    w.writeStartElement(QStringLiteral("information"));
    w.writeTextElement(QStringLiteral("generator"), QStringLiteral("Tafelix"));
    w.writeTextElement(QStringLiteral("title"), title);
    w.writeEndElement();

    w.writeStartElement(QStringLiteral("identifiers"));
    const auto identifier = [&](const char* id, const QString& name, const QString& locale) {
        w.writeStartElement(QStringLiteral("identifier"));
        w.writeAttribute(QStringLiteral("id"), QString::fromLatin1(id));
        w.writeTextElement(QStringLiteral("name"), name);
        if (!locale.isEmpty())
            w.writeTextElement(QStringLiteral("locale"), locale);
        w.writeEndElement();
    };
    identifier("0", QStringLiteral("Deutsch"), QStringLiteral("de"));
    identifier("1", QStringLiteral("Fremdsprache"), QString());
    w.writeEndElement();

    w.writeStartElement(QStringLiteral("entries"));
    for (std::int32_t n = 1; n <= table.wordCount; ++n) {
        const TWordEntry& e = table[n];
        const std::string where = "Wort " + std::to_string(n);
        const auto text = [&](const auto& field) {
            return xmlSafe(fromTableText(field.view()), losses, where);
        };
        w.writeStartElement(QStringLiteral("entry"));
        w.writeAttribute(QStringLiteral("id"), QString::number(n - 1));
        w.writeStartElement(QStringLiteral("translation"));
        w.writeAttribute(QStringLiteral("id"), QStringLiteral("0"));
        w.writeTextElement(QStringLiteral("text"), text(e.german));
        w.writeEndElement();
        w.writeStartElement(QStringLiteral("translation"));
        w.writeAttribute(QStringLiteral("id"), QStringLiteral("1"));
        w.writeTextElement(QStringLiteral("text"), text(e.foreign));
        if (!e.remark.empty())
            w.writeTextElement(QStringLiteral("comment"), text(e.remark));
        if (!e.synonym.empty())
            w.writeTextElement(QStringLiteral("paraphrase"), text(e.synonym));
        int grade = e.box - 1;
        if (e.box < 1 || e.box > 6) {
            losses.add(LossReport::Kind::NoCounterpart,
                       where + ": Fach " + std::to_string(e.box) + ", geschrieben als Fach 1");
            grade = 0;
        }
        if (grade != 0 || e.passes != 0) {
            w.writeStartElement(QStringLiteral("grade"));
            w.writeTextElement(QStringLiteral("currentgrade"), QString::number(grade));
            w.writeTextElement(QStringLiteral("count"), QString::number(e.passes));
            w.writeEndElement();
        }
        w.writeEndElement();
        w.writeEndElement();
    }
    w.writeEndElement();

    w.writeStartElement(QStringLiteral("lessons"));
    w.writeStartElement(QStringLiteral("container"));
    w.writeTextElement(QStringLiteral("name"), title);
    w.writeTextElement(QStringLiteral("inpractice"), QStringLiteral("true"));
    for (std::int32_t n = 1; n <= table.wordCount; ++n) {
        w.writeEmptyElement(QStringLiteral("entry"));
        w.writeAttribute(QStringLiteral("id"), QString::number(n - 1));
    }
    w.writeEndElement();
    w.writeEndElement();

    w.writeEndElement();
    w.writeEndDocument();
    return bytes.toStdString();
}

} // namespace tafelix::convert
