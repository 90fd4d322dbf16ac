#include "Kvtml.h"

#include "ByteScan.h"
#include "FieldText.h"

#include <QBuffer>
#include <QXmlStreamWriter>

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_map>

namespace tafelix::convert {

namespace {

// Texts are kept a little longer than a word table holds, so that the cut is still noticed
// and reported, but a 50 MB text node costs no more than this. Bytes of UTF-8: at four per
// character this still holds more than the hundred characters a field keeps.
constexpr std::size_t kKeepBytes = 2048;
// A language's name or locale, in characters.
constexpr qsizetype kMaxNameChars = 512;

// The parser builds a tree of the whole document; a node per element. Bounded so that a
// file of nothing but tags cannot take gigabytes; real lists use a few dozen per word.
constexpr std::size_t kMaxTags = 2'000'000;

bool looksGerman(const KvtmlLanguage& l)
{
    const QString loc = l.locale.trimmed().toLower();
    const QString name = l.name.trimmed().toLower();
    return loc == u"de" || loc.startsWith(u"de_") || loc.startsWith(u"de-") || loc == u"deu" ||
           loc == u"ger" || name == u"deutsch" || name == u"german" || name == u"de";
}

bool isBlank(std::string_view utf8)
{
    return isBlankBytes(utf8, ByteEncoding::Utf8);
}

void appendBounded(std::string& into, std::string_view part)
{
    into.append(part.substr(0, kKeepBytes - std::min(kKeepBytes, into.size())));
}

void appendPart(std::string& into, std::string_view part, std::string_view glue = "; ")
{
    if (isBlank(part))
        return;
    if (!into.empty())
        appendBounded(into, glue);
    appendBounded(into, part);
}

struct Translation {
    std::string text, comment, paraphrase, grade, count;
};

struct RawEntry {
    std::string_view id;
    int number = 0; // place in the file, from 1
    Translation german, foreign;
    std::string others; // texts of the further languages, "fr: maison"
    std::string synonyms;
};

struct PairSide {
    std::string_view entry;
    int translation = -1;
};

int intAttribute(const pugi::xml_node& n, const char* name, int fallback)
{
    const pugi::xml_attribute a = n.attribute(name);
    if (!a)
        return fallback;
    const QString v = QString::fromUtf8(a.value()).trimmed();
    bool ok = false;
    const int i = v.toInt(&ok);
    return ok ? i : fallback;
}

// Walks one parsed KVTML document as a stream of start tags, texts and end tags, the way a
// streaming reader would see it, without recursion however deep the file. The first walk
// collects the languages only; the second, with the languages chosen, the entries.
class Parser {
public:
    Parser(const pugi::xml_document& doc, bool languagesOnly)
        : doc_(doc), languagesOnly_(languagesOnly)
    {}

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
        pugi::xml_node n = doc_.first_child();
        while (n && !done_) {
            bool descend = false;
            switch (n.type()) {
            case pugi::node_doctype:
                if (std::strchr(n.value(), '[') != nullptr)
                    raiseError(
                        "Die Datei bringt eigene DTD-Deklarationen mit; sie wird nicht gelesen.");
                break;
            case pugi::node_element:
                start(n);
                if (done_)
                    break;
                descend = static_cast<bool>(n.first_child());
                if (!descend)
                    end();
                break;
            case pugi::node_pcdata:
            case pugi::node_cdata:
                characters(n.value());
                break;
            default:
                break;
            }
            if (done_)
                break;
            if (descend) {
                n = n.first_child();
                continue;
            }
            // On to the next sibling, closing every element left on the way up.
            while (!n.next_sibling()) {
                n = n.parent();
                if (!n || n.type() == pugi::node_document || done_)
                    return finish();
                end();
            }
            n = n.next_sibling();
        }
        return finish();
    }

    void choose(int german, int foreign)
    {
        germanId = german;
        foreignId = foreign;
    }

private:
    std::string finish()
    {
        if (!error_.empty())
            return "Keine lesbare KVTML-Datei: " + error_;
        if (!sawRoot_)
            return "Keine KVTML-Datei: das Element „kvtml“ fehlt.";
        return {};
    }

    void raiseError(std::string message)
    {
        if (error_.empty())
            error_ = std::move(message);
        done_ = true;
    }

    std::string_view parent(std::size_t up = 1) const
    {
        return stack_.size() >= up ? stack_[stack_.size() - up] : std::string_view();
    }
    bool inEntries() const { return stack_.size() >= 2 && stack_[1] == "entries"; }

    void start(const pugi::xml_node& node)
    {
        const std::string_view name = node.name();
        // Text is collected only directly inside the element that chose the target; a child
        // element ends that, and a stale pointer into a growing list must not survive it.
        target_ = nullptr;
        targetQ_ = nullptr;
        if (stack_.size() >= static_cast<std::size_t>(kKvtmlMaxDepth)) {
            raiseError("Die Elemente sind zu tief verschachtelt.");
            return;
        }
        const std::string_view p = parent();
        if (stack_.empty()) {
            sawRoot_ = true;
            if (name != "kvtml")
                raiseError("Das Wurzelelement ist nicht „kvtml“.");
            else if (std::string_view(node.attribute("version").value()).substr(0, 1) != "2")
                raiseError("Nur KVTML 2.0 wird gelesen; diese Datei ist älter (KVTML 1).");
            if (done_)
                return;
        } else if (p == "identifiers" && name == "identifier") {
            if (std::ssize(languages) >= kKvtmlMaxLanguages) {
                raiseError("Die Datei hat zu viele Sprachen.");
                return;
            }
            languages.push_back(
                {intAttribute(node, "id", static_cast<int>(languages.size())), {}, {}});
        } else if (p == "identifier" && !languages.empty() && stack_.size() == 3) {
            targetQ_ = name == "name"     ? &languages.back().name
                       : name == "locale" ? &languages.back().locale
                                          : nullptr;
        } else if (name == "entries" && languagesOnly_) {
            done_ = true;
            return;
        } else if (inEntries()) {
            startInEntries(node, name, p);
        } else if (p == "lessons" && name == "container") {
            ++lessons;
        } else if (stack_.size() >= 3 && stack_[1] == "synonym") {
            if (p == "pair" && name == "entry") {
                side_().entry = node.attribute("id").value();
            } else if (parent(2) == "pair" && p == "entry" && name == "translation") {
                side_().translation = intAttribute(node, "id", -1);
            }
        }
        if (stack_.size() == 2 && stack_[1] == "synonym" && name == "pair") {
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

    void startInEntries(const pugi::xml_node& node, std::string_view name, std::string_view p)
    {
        if (stack_.size() == 2 && name == "entry") {
            entry_ = RawEntry{};
            entry_.id = node.attribute("id").value();
            entry_.number = ++entryNumber_;
            return;
        }
        if (stack_.size() == 3 && p == "entry" && name == "translation") {
            const int id = intAttribute(node, "id", -1);
            otherText_.clear();
            translation_ = id == germanId    ? &entry_.german
                           : id == foreignId ? &entry_.foreign
                                             : nullptr;
            otherLanguage_ = id;
            return;
        }
        if (stack_.size() == 4 && p == "translation") {
            Translation* t = translation_;
            if (name == "text")
                target_ = t ? &t->text : &otherText_;
            else if (t && name == "comment")
                target_ = &t->comment;
            else if (t && name == "paraphrase")
                target_ = &t->paraphrase;
            else if (name != "grade" && t) {
                unknown_ = name;
                unknownHasContent_ = false;
            }
            return;
        }
        if (stack_.size() == 5 && p == "grade" && translation_) {
            target_ = name == "currentgrade" ? &translation_->grade
                      : name == "count"      ? &translation_->count
                                             : nullptr;
        }
    }

    void characters(std::string_view text)
    {
        if (target_)
            appendBounded(*target_, text);
        else if (targetQ_ && targetQ_->size() < kMaxNameChars)
            *targetQ_ += QString::fromUtf8(
                             text.data(), static_cast<qsizetype>(std::min(text.size(), kKeepBytes)))
                             .left(kMaxNameChars - targetQ_->size());
        else if (!unknown_.empty() && !isXmlWhitespace(text))
            unknownHasContent_ = true;
    }

    static bool isXmlWhitespace(std::string_view text)
    {
        return std::all_of(text.begin(), text.end(),
                           [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
    }

    void end()
    {
        std::string_view name;
        if (!stack_.empty()) {
            name = stack_.back();
            stack_.pop_back();
        }
        target_ = nullptr;
        targetQ_ = nullptr;
        if (!unknown_.empty() && stack_.size() == 4 && name == unknown_) {
            if (unknownHasContent_)
                losses.add(LossReport::Kind::NoCounterpart, "Eintrag " +
                                                                std::to_string(entry_.number) +
                                                                ": <" + std::string(name) + ">");
            unknown_ = {};
        }
        if (languagesOnly_ && name == "identifiers")
            done_ = true;
        if (stack_.size() == 3 && name == "translation" && stack_[1] == "entries") {
            if (!translation_ && !isBlank(otherText_))
                appendPart(entry_.others, languageLabel(otherLanguage_) + otherText_);
            translation_ = nullptr;
        } else if (stack_.size() == 2 && name == "entry" && stack_[1] == "entries") {
            finishEntry();
        } else if (stack_.size() == 3 && name == "entry" && stack_[2] == "pair") {
            pairSide_ = 1;
        }
    }

    std::string languageLabel(int id) const
    {
        for (const KvtmlLanguage& l : languages)
            if (l.id == id) {
                const QString label =
                    !l.locale.trimmed().isEmpty() ? l.locale.trimmed() : l.name.trimmed();
                return label.isEmpty() ? std::string() : label.toStdString() + ": ";
            }
        return {};
    }

    void finishEntry()
    {
        const bool hasWord = !isBlank(entry_.german.text) || !isBlank(entry_.foreign.text);
        if (!hasWord) {
            if (!entry_.others.empty())
                losses.add(LossReport::Kind::SkippedRow,
                           "Eintrag " + std::to_string(entry_.number) + ": " +
                               quoteForReport(QString::fromStdString(entry_.others)));
            return;
        }
        if (entries.size() >= static_cast<std::size_t>(TWordTable::MaxWords)) {
            losses.add(LossReport::Kind::OverLimit,
                       overLimitSeen_ ? std::string()
                                      : "ab Eintrag " + std::to_string(entry_.number));
            overLimitSeen_ = true;
            return;
        }
        entries.push_back(std::move(entry_));
    }

    const pugi::xml_document& doc_;
    bool languagesOnly_;
    bool done_ = false;
    bool sawRoot_ = false;
    std::string error_;
    std::vector<std::string_view> stack_; // names live in the document
    std::string* target_ = nullptr;
    QString* targetQ_ = nullptr; // a language's name or locale
    RawEntry entry_;
    int entryNumber_ = 0;
    Translation* translation_ = nullptr;
    int otherLanguage_ = -1;
    std::string otherText_;
    std::string_view unknown_;
    bool unknownHasContent_ = false;
    bool overLimitSeen_ = false;
    int pairSide_ = 0;
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

// Parses the whole file into `doc`; an empty string on success, else the German reason.
std::string parseDocument(std::string_view bytes, pugi::xml_document& doc)
{
    if (scan::count(bytes.data(), bytes.data() + bytes.size(), '<') > kMaxTags)
        return "Keine lesbare KVTML-Datei: sie hat zu viele Elemente.";
    // No DTD entities are expanded (the parser knows none), only the five of XML itself and
    // character references; the DOCTYPE is kept so that an internal subset can be refused.
    const unsigned options =
        pugi::parse_default | pugi::parse_doctype | pugi::parse_ws_pcdata_single;
    const pugi::xml_parse_result r =
        doc.load_buffer(bytes.data(), bytes.size(), options, pugi::encoding_auto);
    if (r.status == pugi::status_no_document_element)
        return "Keine KVTML-Datei: das Element „kvtml“ fehlt.";
    if (!r) {
        const auto at = static_cast<std::size_t>(std::max<std::ptrdiff_t>(r.offset, 0));
        const auto line =
            1 + std::count(bytes.begin(),
                           bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at, bytes.size())),
                           '\n');
        return std::string("Keine lesbare KVTML-Datei: ") + r.description() + " (Zeile " +
               std::to_string(line) + ")";
    }
    return {};
}

// A number of the grade; the fallback when there is none, and a loss when it is unreadable.
int gradeNumber(const std::string& text, int fallback, LossReport& losses, int entryNumber)
{
    if (isBlank(text))
        return fallback;
    std::string_view t = text;
    while (!t.empty() && (t.front() == ' ' || (t.front() >= '\t' && t.front() <= '\r')))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || (t.back() >= '\t' && t.back() <= '\r')))
        t.remove_suffix(1);
    int v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec == std::errc() && end == t.data() + t.size() && !t.empty())
        return v;
    // Signs and blanks beyond ASCII as Qt reads numbers.
    bool ok = false;
    v = QString::fromUtf8(text.data(), std::ssize(text)).trimmed().toInt(&ok);
    if (ok)
        return v;
    losses.add(LossReport::Kind::BadNumber, losses.wantsExample(LossReport::Kind::BadNumber)
                                                ? "Eintrag " + std::to_string(entryNumber) + ": " +
                                                      quoteForReport(QString::fromStdString(text))
                                                : std::string());
    return fallback;
}

} // namespace

KvtmlImport importKvtml(std::string_view bytes, const KvtmlChoice& choice)
{
    KvtmlImport out;
    pugi::xml_document doc;
    if (std::string err = parseDocument(bytes, doc); !err.empty()) {
        out.message = std::move(err);
        return out;
    }
    Parser first(doc, true);
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

    Parser p(doc, false);
    p.languages = langs;
    p.choose(german, foreign);
    if (std::string err = p.run(); !err.empty()) {
        out.message = std::move(err);
        return out;
    }
    out.germanId = german;
    out.foreignId = foreign;

    // Synonym pairs link two entries; each side's word is a further meaning of the other.
    if (!p.pairs.empty()) {
        std::unordered_map<std::string_view, std::size_t> byId;
        for (std::size_t i = 0; i < p.entries.size(); ++i)
            byId.insert_or_assign(p.entries[i].id, i);
        const auto textOf = [&](const PairSide& s) -> std::string {
            const auto it = byId.find(s.entry);
            if (it == byId.end())
                return {};
            const RawEntry& e = p.entries[it->second];
            return s.translation == foreign  ? e.foreign.text
                   : s.translation == german ? e.german.text
                                             : std::string();
        };
        for (const auto& [a, b] : p.pairs) {
            for (const auto& [self, other] : {std::pair{a, b}, std::pair{b, a}}) {
                const auto it = byId.find(self.entry);
                if (it != byId.end() && self.translation == foreign)
                    appendPart(p.entries[it->second].synonyms, textOf(other));
            }
        }
    }

    LossReport& losses = out.result.losses;
    losses = p.losses;
    // One lesson holding everything (as we write it ourselves) loses nothing; a division
    // into several does.
    if (p.lessons > 1)
        losses.add(LossReport::Kind::NoCounterpart, p.lessons,
                   "die Einteilung in Lektionen; die Wörter selbst sind übernommen");
    out.result.words.reserve(p.entries.size());
    std::string synonym;
    for (const RawEntry& r : p.entries) {
        synonym.clear();
        if (!isBlank(r.foreign.paraphrase))
            synonym = r.foreign.paraphrase;
        appendPart(synonym, r.synonyms);
        appendPart(synonym, r.others);
        const std::string* remark = &r.foreign.comment;
        std::string joined;
        if (r.german.comment != r.foreign.comment) {
            joined = r.foreign.comment;
            appendPart(joined, r.german.comment);
            remark = &joined;
        }
        TWordEntry& e = out.result.words.emplace_back();
        const auto text = [&](const std::string& from, ShortText100& into) {
            bytesToTableText(FieldBytes(from), ByteEncoding::Utf8, into, losses, "Eintrag ",
                             r.number);
        };
        text(r.german.text, e.german);
        text(r.foreign.text, e.foreign);
        text(synonym, e.synonym);
        text(*remark, e.remark);
        const Translation& g =
            !r.foreign.grade.empty() || !r.foreign.count.empty() ? r.foreign : r.german;
        e.box = boxForGrade(gradeNumber(g.grade, 0, losses, r.number));
        e.passes = gradeNumber(g.count, 0, losses, r.number);
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
