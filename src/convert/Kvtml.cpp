#include "Kvtml.h"

#include "FieldText.h"
#include "core/SpeechChoices.h"
#include "platform/Cp1252Text.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <optional>
#include <sstream>
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
constexpr int kMaxDepth = 32;
constexpr int kMaxLanguages = 64;

// No DTD entities are expanded (the parser knows none), only the five of XML itself and
// character references; the DOCTYPE is kept so that an internal subset, where entity bombs
// live and real lists never go, is refused outright.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_doctype |
                                   pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata;

ImportOutcome refused(std::string message)
{
    ImportOutcome out;
    out.message = std::move(message);
    return out;
}

ImportOutcome unreadable(std::string_view why)
{
    return refused("Keine lesbare KVTML-Datei: " + std::string(why));
}

void appendBounded(std::string& into, std::string_view part)
{
    into.append(part.substr(0, kKeepBytes - std::min(kKeepBytes, into.size())));
}

bool isBlank(std::string_view utf8)
{
    // Nearly every text starts with a letter; only the rest needs decoding.
    for (const char c : utf8)
        if (static_cast<unsigned char>(c) < 0x80 && c != ' ' && (c < '\t' || c > '\r'))
            return false;
    return convert::isBlank(QString::fromUtf8(utf8));
}

void appendPart(std::string& into, std::string_view part)
{
    if (isBlank(part))
        return;
    if (!into.empty())
        appendBounded(into, "; ");
    appendBounded(into, part);
}

bool is(const pugi::xml_node& n, const char* name)
{
    return n.type() == pugi::node_element && std::strcmp(n.name(), name) == 0;
}

// Appends an element's own text: the pieces (plain and CDATA) before its first child element.
void addText(std::string& into, const pugi::xml_node& n)
{
    appendBounded(into, n.value());
    for (pugi::xml_node c = n.first_child(); c && c.type() != pugi::node_element;
         c = c.next_sibling())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            appendBounded(into, c.value());
}

// Whether an element holds text anywhere inside, white space aside. Only asked once the
// depth of the document is known to be bounded.
bool hasContent(const pugi::xml_node& n)
{
    return std::string_view(n.value()).find_first_not_of(" \t\n\r") != std::string_view::npos ||
           std::any_of(n.begin(), n.end(), hasContent);
}

int intAttribute(const pugi::xml_node& n, const char* name, int fallback)
{
    bool ok = false;
    const int i = QString::fromUtf8(n.attribute(name).value()).trimmed().toInt(&ok);
    return ok ? i : fallback;
}

struct Translation {
    std::string text, comment, paraphrase, grade, count;
};

struct Entry {
    std::string_view id;
    int number = 0; // place in the file, from 1
    Translation german, foreign;
    std::string others; // texts of the further languages, "fr: maison"
    std::string synonyms;
    std::string place() const { return "Eintrag " + std::to_string(number); }
};

struct Reader {
    Reader(const std::vector<KvtmlLanguage>& l, int german, int foreign)
        : languages(l), germanId(german), foreignId(foreign)
    {}
    const std::vector<KvtmlLanguage>& languages;
    const int germanId, foreignId;
    // Kept to the end: synonym pairs may come after the entries they join.
    std::vector<Entry> entries;
    LossReport losses;
    int emptyEntries = 0;    // without any text at all
    int inactiveEntries = 0; // marked "inactive", which a .vkb cannot hold
    int errorEntries = 0;    // with an error count, which a .vkb cannot hold
    int entryNumber = 0;
    bool overLimitSeen = false;

    void read(const pugi::xml_node& entry)
    {
        Entry e;
        e.id = entry.attribute("id").value();
        e.number = ++entryNumber;
        std::string inactive, errors;
        for (const pugi::xml_node& part : entry.children()) {
            if (is(part, "inactive"))
                addText(inactive, part);
            else if (is(part, "translation"))
                readTranslation(part, e, errors);
        }
        const auto isSet = [](const std::string& flag) {
            const QString v = QString::fromUtf8(flag).trimmed();
            return !v.isEmpty() && v != u"0" && v.compare(u"false", Qt::CaseInsensitive) != 0;
        };
        if (isBlank(e.german.text) && isBlank(e.foreign.text)) {
            // Comments and paraphrases without a word to go with them are reported with
            // whatever further languages the entry holds; an entry of nothing is counted.
            std::string content = e.others;
            for (const Translation* t : {&e.german, &e.foreign})
                for (const std::string* part : {&t->comment, &t->paraphrase})
                    appendPart(content, *part);
            if (content.empty())
                ++emptyEntries;
            else
                losses.add(LossReport::Kind::SkippedRow,
                           e.place() + ": " + quoteForReport(QString::fromUtf8(content)));
            return;
        }
        inactiveEntries += isSet(inactive) ? 1 : 0;
        errorEntries += isSet(errors) ? 1 : 0;
        if (entries.size() >= static_cast<std::size_t>(TWordTable::MaxWords)) {
            losses.add(LossReport::Kind::OverLimit,
                       std::exchange(overLimitSeen, true) ? std::string() : "ab " + e.place());
            return;
        }
        entries.push_back(std::move(e));
    }

    // "fr: " for a further language's text: its locale, or else its name.
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

    void readTranslation(const pugi::xml_node& translation, Entry& e, std::string& errors)
    {
        const int id = intAttribute(translation, "id", -1);
        Translation* const t = id == germanId ? &e.german : id == foreignId ? &e.foreign : nullptr;
        std::string other; // the text of a language that is neither side
        for (const pugi::xml_node& part : translation.children()) {
            if (part.type() != pugi::node_element)
                continue;
            const std::string_view name = part.name();
            if (name == "text") {
                addText(t ? t->text : other, part);
            } else if (t && (name == "comment" || name == "paraphrase")) {
                addText(name == "comment" ? t->comment : t->paraphrase, part);
            } else if (t && name == "grade") {
                for (const pugi::xml_node& g : part.children()) {
                    std::string* const into = is(g, "currentgrade")                    ? &t->grade
                                              : is(g, "count")                         ? &t->count
                                              : is(g, "errorcount") && t == &e.foreign ? &errors
                                                                                       : nullptr;
                    if (into)
                        addText(*into, g);
                }
            } else if (hasContent(part)) {
                // A further language keeps only its text, in the synonym.
                losses.add(LossReport::Kind::NoCounterpart,
                           e.place() + ": " + (t ? std::string() : languageLabel(id)) + "<" +
                               std::string(name) + ">");
            }
        }
        if (!t && !isBlank(other))
            appendPart(e.others, languageLabel(id) + other);
    }
};

// A number of the grade; 0 when there is none, and a loss when it is unreadable.
int gradeNumber(const std::string& text, LossReport& losses, const std::string& where)
{
    const QString q = QString::fromUtf8(text).trimmed();
    bool ok = false;
    const int v = q.toInt(&ok);
    if (q.isEmpty() || ok)
        return v;
    losses.add(LossReport::Kind::BadNumber, where + ": " + quoteForReport(q));
    return 0;
}

TWordEntry convertEntry(const Entry& r, LossReport& losses)
{
    const std::string place = r.place();
    // The synonym is the paraphrase, then the pair partners, then the further languages.
    std::string synonym;
    for (const std::string* part : {&r.foreign.paraphrase, &r.synonyms, &r.others})
        appendPart(synonym, *part);
    // Both sides' comments make the remark, the same one only once.
    std::string remark = r.foreign.comment;
    if (r.german.comment != remark)
        appendPart(remark, r.german.comment);
    TWordEntry e;
    e.german = toTableText(QString::fromUtf8(r.german.text), losses, place);
    e.foreign = toTableText(QString::fromUtf8(r.foreign.text), losses, place);
    e.synonym = toTableText(QString::fromUtf8(synonym), losses, place);
    e.remark = toTableText(QString::fromUtf8(remark), losses, place);
    const Translation& g =
        !r.foreign.grade.empty() || !r.foreign.count.empty() ? r.foreign : r.german;
    // Grade 0 is a word never or not yet known, each grade above one more right answer in a
    // row; our compartment k means k - 1 right answers, and five make the archive.
    const int grade = gradeNumber(g.grade, losses, place);
    e.box = static_cast<std::int32_t>(std::clamp(grade, 0, 5) + 1);
    if (grade < 0 || grade > 7)
        losses.add(LossReport::Kind::OutOfRange,
                   place + ": Stufe " + std::to_string(grade) + " → Fach " + std::to_string(e.box));
    e.passes = gradeNumber(g.count, losses, place);
    keepInRange(e, losses, place);
    // The German side's paraphrase has no field: the synonym is the foreign word's.
    if (!isBlank(r.german.paraphrase))
        losses.add(LossReport::Kind::NoCounterpart, place + ": <paraphrase> (Deutsch)");
    return e;
}

// With find (memchr), many times faster than a byte loop on a whole list.
std::size_t countTags(std::string_view bytes)
{
    std::size_t n = 0;
    for (std::size_t at = bytes.find('<'); at != bytes.npos; at = bytes.find('<', at + 1))
        ++n;
    return n;
}

// A list with more tags than the parser may take, cut after the entries that fit; the rest
// are only counted, in `dropped`. Nothing when it cannot be cut so: the tags lie outside the
// entries, or among them in numbers no real entry has. Real entries use a few dozen.
std::optional<std::string> cutToTagLimit(std::string_view bytes, int& dropped)
{
    constexpr std::size_t npos = std::string_view::npos, kTagsPerEntry = 64;
    constexpr std::string_view kOpen = "<entries>", kEnd = "</entry>";
    const std::size_t open = bytes.find(kOpen), close = bytes.rfind("</entries>");
    if (open == npos || close == npos || close < open)
        return std::nullopt;
    const std::size_t from = open + kOpen.size();
    const auto tagsIn = [&](std::size_t a, std::size_t b) {
        return countTags(bytes.substr(a, b - a));
    };
    const std::size_t around = tagsIn(0, from) + tagsIn(close, bytes.size());
    std::size_t cut = from, tags = around;
    for (std::size_t end; (end = bytes.find(kEnd, cut)) < close;) {
        const std::size_t next = end + kEnd.size();
        tags += tagsIn(cut, next);
        if (tags > kMaxTags)
            break;
        cut = next;
    }
    dropped = 0;
    for (std::size_t at = cut; (at = bytes.find(kEnd, at)) < close; ++at)
        ++dropped;
    if (dropped == 0 || around > kMaxTags ||
        tagsIn(cut, close) > kTagsPerEntry * static_cast<std::size_t>(dropped))
        return std::nullopt;
    return std::string(bytes.substr(0, cut)).append(bytes.substr(close));
}

// Whether the parser takes the bytes for UTF-8: no byte order mark or NUL of a wider
// encoding, and an XML declaration that names UTF-8 or no encoding.
bool readAsUtf8(std::string_view bytes)
{
    if (bytes.starts_with("\xFE\xFF") || bytes.starts_with("\xFF\xFE") ||
        bytes.substr(0, 4).find('\0') != std::string_view::npos)
        return false;
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (!bytes.starts_with("<?xml"))
        return true;
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    const std::size_t quote = declaration.find_first_of("\"'", declaration.find("encoding"));
    const std::size_t end = declaration.find_first_of("\"'", quote + 1);
    if (quote == std::string_view::npos || end == std::string_view::npos)
        return true;
    const QString value = QString::fromLatin1(declaration.substr(quote + 1, end - quote - 1));
    return value.toLower() == u"utf-8" || value.toLower() == u"utf8";
}

// Stops at an element nested too deep, walking the tree without recursion.
struct DepthCheck : pugi::xml_tree_walker {
    bool for_each(pugi::xml_node& n) override
    {
        return n.type() != pugi::node_element || depth() < kMaxDepth;
    }
};

// XML 1.0 has no room for most C0 control characters, not even as character references.
QString xmlSafe(QString s, LossReport& losses, const std::string& where)
{
    int replaced = 0;
    for (QChar& c : s)
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            c = (++replaced, u'?');
    if (replaced > 0)
        losses.add(LossReport::Kind::XmlControl, replaced, where + ": " + quoteForReport(s));
    return s;
}

} // namespace

ImportOutcome importKvtml(std::string_view bytes, const KvtmlChoice& choice)
{
    // A list over the tag limit is cut after the entries that fit, before any tree is built;
    // a file that claims UTF-8 but is none is read as Windows-1252 (Latin-1 with the
    // printer's quotes and the euro sign), as the CSV import does with the same bytes.
    LossReport prepared;
    std::string own;
    if (countTags(bytes) > kMaxTags) {
        int dropped = 0;
        std::optional<std::string> cut = cutToTagLimit(bytes, dropped);
        if (!cut)
            return unreadable("sie hat zu viele Elemente.");
        own = std::move(*cut);
        bytes = own;
        prepared.add(LossReport::Kind::OverLimit, dropped, {});
    }
    if (readAsUtf8(bytes) && !QByteArrayView(bytes).isValidUtf8()) {
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3); // UTF-8 needs no mark, and read as Windows-1252 it is text
        own = fromCp1252(bytes).toStdString();
        bytes = own;
        prepared.note("Die Datei gibt UTF-8 an, enthält aber andere Bytes: als Windows-1252 "
                      "(Latin-1) gelesen");
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), kParseOptions, pugi::encoding_auto);
    if (parsed.status == pugi::status_no_document_element)
        return refused("Keine KVTML-Datei: das Element „kvtml“ fehlt.");
    if (!parsed) {
        // The parser rewrites its buffer up to the fault: the line is counted in the bytes.
        const std::string_view before =
            bytes.substr(0, static_cast<std::size_t>(std::max<std::ptrdiff_t>(parsed.offset, 0)));
        const auto line = 1 + std::count(before.begin(), before.end(), '\n');
        return unreadable(parsed.description() + (" (Zeile " + std::to_string(line) + ")"));
    }
    for (const pugi::xml_node& top : doc.children()) {
        if (top.type() == pugi::node_doctype && std::strchr(top.value(), '[') != nullptr)
            return unreadable(
                "Die Datei bringt eigene DTD-Deklarationen mit; sie wird nicht gelesen.");
        if (top.type() != pugi::node_element)
            continue;
        if (std::strcmp(top.name(), "kvtml") != 0)
            return unreadable("Das Wurzelelement ist nicht „kvtml“.");
        if (std::string_view(top.attribute("version").value()).substr(0, 1) != "2")
            return unreadable("Nur KVTML 2.0 wird gelesen; diese Datei ist älter (KVTML 1).");
    }
    if (DepthCheck check; !doc.traverse(check))
        return unreadable("Die Elemente sind zu tief verschachtelt.");

    ImportOutcome out;
    const pugi::xml_node root = doc.document_element();
    auto& langs = out.languages;
    for (const pugi::xml_node& l : root.child("identifiers").children("identifier")) {
        if (std::ssize(langs) >= kMaxLanguages)
            return unreadable("Die Datei hat zu viele Sprachen.");
        const auto text = [&](const char* name) {
            std::string t;
            addText(t, l.child(name));
            return QString::fromUtf8(t).left(kMaxNameChars);
        };
        langs.push_back(
            {intAttribute(l, "id", static_cast<int>(langs.size())), text("name"), text("locale")});
    }

    int german = choice.german;
    if (german == KvtmlChoice::kAuto) {
        std::vector<int> germans;
        for (const KvtmlLanguage& l : langs)
            if (namesGerman(l.locale) || namesGerman(l.name))
                germans.push_back(l.id);
        if (germans.size() == 1)
            german = germans.front();
        else if (langs.size() <= 1)
            german = KvtmlChoice::kNone; // one language that is not German: the foreign side
        else {
            out.status = ImportOutcome::Status::Ambiguous;
            out.message = "Welche Sprache der Datei ist Deutsch?";
            return out;
        }
    }
    int foreign = choice.foreign;
    if (foreign == KvtmlChoice::kAuto) {
        const auto other = std::find_if(langs.begin(), langs.end(),
                                        [&](const KvtmlLanguage& l) { return l.id != german; });
        foreign = other != langs.end() ? other->id : KvtmlChoice::kNone;
    }
    for (const int id : {german, foreign}) {
        if (id != KvtmlChoice::kNone &&
            std::none_of(langs.begin(), langs.end(), [&](const auto& l) { return l.id == id; })) {
            out.message = "Die Datei hat keine Sprache mit der Nummer " + std::to_string(id) + ".";
            return out;
        }
    }
    if (german == foreign && german != KvtmlChoice::kNone) {
        out.message = "Deutsch und Fremdsprache müssen verschiedene Sprachen sein.";
        return out;
    }
    out.germanId = german;
    out.foreignId = foreign;
    for (const KvtmlLanguage& l : langs) {
        // The foreign language's locale ("fr_CA") as a language code ("fr-CA").
        const QString code = l.locale.trimmed().replace(QLatin1Char('_'), QLatin1Char('-'));
        if (l.id == foreign && foreign != KvtmlChoice::kNone &&
            SpeechChoices::isLanguageCode(code.toStdString()))
            out.foreignLocale = code;
    }

    Reader reader(langs, german, foreign);
    int lessons = 0;
    for (const pugi::xml_node& top : root.children()) {
        if (is(top, "entries"))
            for (const pugi::xml_node& e : top.children("entry"))
                reader.read(e);
        else if (is(top, "lessons"))
            lessons += static_cast<int>(
                std::distance(top.children("container").begin(), top.children("container").end()));
    }

    // Synonym pairs link two entries; each side's word is a further meaning of the other.
    std::vector<Entry>& entries = reader.entries;
    std::unordered_map<std::string_view, std::size_t> byId;
    for (std::size_t i = 0; i < entries.size(); ++i)
        byId.insert_or_assign(entries[i].id, i);
    for (const pugi::xml_node& pair : root.child("synonym").children("pair")) {
        // Each side's entry, when it gave a word, and the language of its word.
        std::array<std::pair<Entry*, int>, 2> sides{{{nullptr, -1}, {nullptr, -1}}};
        std::size_t side = 0;
        for (const pugi::xml_node& e : pair.children("entry")) {
            const auto it = byId.find(e.attribute("id").value());
            sides[side].first = it == byId.end() ? nullptr : &entries[it->second];
            for (const pugi::xml_node& t : e.children("translation"))
                sides[side].second = intAttribute(t, "id", -1);
            side = 1;
        }
        for (const auto& [self, other] :
             {std::pair{sides[0], sides[1]}, std::pair{sides[1], sides[0]}})
            if (self.first && other.first && self.second == foreign)
                appendPart(self.first->synonyms, other.second == foreign ? other.first->foreign.text
                                                 : other.second == german ? other.first->german.text
                                                                          : std::string());
    }

    LossReport& losses = out.imported.losses;
    losses = std::move(reader.losses);
    // One lesson holding everything (as we write it ourselves) loses nothing; a division
    // into several does. Each of these once, for the whole file.
    const auto counted = [](int n, const char* one = " Eintrag", const char* many = " Einträge") {
        return std::to_string(n) + (n == 1 ? one : many);
    };
    if (lessons > 1)
        losses.note("Lektionen nicht übernommen: " + std::to_string(lessons) +
                    " (die Wörter selbst sind übernommen)");
    if (reader.inactiveEntries > 0)
        losses.note("Markierung „inaktiv“ nicht übernommen: " + counted(reader.inactiveEntries));
    if (reader.errorEntries > 0)
        losses.note("Fehlerzähler nicht übernommen: " + counted(reader.errorEntries));
    if (reader.emptyEntries > 0)
        losses.note(counted(reader.emptyEntries, " leerer Eintrag", " leere Einträge") +
                    " übersprungen");
    out.imported.words.reserve(entries.size());
    for (const Entry& e : entries)
        out.imported.words.push_back(convertEntry(e, losses));
    out.imported.losses.merge(prepared);
    out.status = ImportOutcome::Status::Ok;
    return out;
}

std::string exportKvtml(const TWordTable& table, const QString& title, LossReport& losses,
                        const QString& foreignLocale)
{
    pugi::xml_document doc;
    doc.append_child(pugi::node_doctype)
        .set_value(R"(kvtml PUBLIC "kvtml2.dtd" "http://edu.kde.org/kvtml/kvtml2.dtd")");
    const auto add = [](pugi::xml_node parent, const char* name, const QString& text) {
        parent.append_child(name).text().set(text.toStdString().c_str());
    };
    pugi::xml_node root = doc.append_child("kvtml");
    root.append_attribute("version") = "2.0";
    pugi::xml_node information = root.append_child("information");
    add(information, "generator", QStringLiteral("Tafelix"));
    add(information, "title", title);
    pugi::xml_node identifiers = root.append_child("identifiers");
    for (const auto& [name, locale] : {std::pair{QStringLiteral("Deutsch"), QStringLiteral("de")},
                                       std::pair{QStringLiteral("Fremdsprache"), foreignLocale}}) {
        pugi::xml_node identifier = identifiers.append_child("identifier");
        identifier.append_attribute("id") = name == u"Deutsch" ? 0 : 1;
        add(identifier, "name", name);
        if (!locale.isEmpty())
            add(identifier, "locale", locale);
    }
    pugi::xml_node entries = root.append_child("entries");
    pugi::xml_node lesson = root.append_child("lessons").append_child("container");
    add(lesson, "name", title);
    add(lesson, "inpractice", QStringLiteral("true"));
    for (std::int32_t n = 1; n <= table.wordCount; ++n) {
        const TWordEntry& e = table[n];
        const std::string where = "Wort " + std::to_string(n);
        const auto text = [&](const auto& field) {
            return xmlSafe(fromCp1252(field.view()), losses, where);
        };
        pugi::xml_node entry = entries.append_child("entry");
        entry.append_attribute("id") = n - 1;
        lesson.append_child("entry").append_attribute("id") = n - 1;
        pugi::xml_node german = entry.append_child("translation");
        german.append_attribute("id") = 0;
        add(german, "text", text(e.german));
        pugi::xml_node foreign = entry.append_child("translation");
        foreign.append_attribute("id") = 1;
        add(foreign, "text", text(e.foreign));
        if (!e.remark.empty())
            add(foreign, "comment", text(e.remark));
        if (!e.synonym.empty())
            add(foreign, "paraphrase", text(e.synonym));
        const int grade = e.box >= 1 && e.box <= 6 ? e.box - 1 : 0;
        if (grade != e.box - 1)
            losses.add(LossReport::Kind::NoCounterpart,
                       where + ": Fach " + std::to_string(e.box) + ", geschrieben als Fach 1");
        if (grade != 0 || e.passes != 0) {
            pugi::xml_node g = foreign.append_child("grade");
            add(g, "currentgrade", QString::number(grade));
            add(g, "count", QString::number(e.passes));
        }
    }
    std::ostringstream out;
    doc.save(out, " ", pugi::format_default, pugi::encoding_utf8);
    return out.str();
}

} // namespace tafelix::convert
