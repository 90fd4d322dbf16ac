#include "Kvtml.h"

#include "ByteScan.h"
#include "FieldText.h"

#include <QBuffer>
#include <QXmlStreamWriter>

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
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

// A text of the file, bounded like appendBounded(). Nearly every text arrives in one piece
// and then stays where the parser left it; only a text split by a comment or a CDATA
// section is joined in a copy of its own, which does not move when the entry does.
class Text {
public:
    std::string_view view() const { return view_; }

    void append(std::string_view part)
    {
        part = part.substr(0, kKeepBytes - std::min(kKeepBytes, view_.size()));
        if (part.empty())
            return;
        if (view_.empty()) {
            view_ = part;
            return;
        }
        if (!own_)
            own_ = std::make_unique<std::string>(view_);
        own_->append(part);
        view_ = *own_;
    }

private:
    std::string_view view_;
    std::unique_ptr<std::string> own_;
};

struct Translation {
    Text text, comment, paraphrase, grade, count;
};

struct RawEntry {
    std::string_view id;
    int number = 0; // place in the file, from 1
    Translation german, foreign;
    Text inactive, errors; // the flag, and the foreign side's error count
    std::string others;    // texts of the further languages, "fr: maison"
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
    const char* const v = a.value();
    // Plain digits, as every list has them, need no detour through QString; nine of them
    // cannot overflow.
    int i = 0;
    const char* p = v;
    for (; *p >= '0' && *p <= '9' && p - v < 9; ++p)
        i = i * 10 + (*p - '0');
    if (*p == '\0' && p != v)
        return i;
    const QString s = QString::fromUtf8(v).trimmed();
    bool ok = false;
    i = s.toInt(&ok);
    return ok ? i : fallback;
}

// The element names the reader acts on; every other name is kOther.
enum class Tag : std::uint8_t {
    kNone, // above the root
    kOther,
    kKvtml,
    kIdentifiers,
    kIdentifier,
    kName,
    kLocale,
    kEntries,
    kEntry,
    kTranslation,
    kText,
    kComment,
    kParaphrase,
    kGrade,
    kCurrentGrade,
    kCount,
    kLessons,
    kContainer,
    kSynonym,
    kPair,
    kInactive,
    kErrorCount,
};

// A whole-name compare that stops at the name's end, without measuring it first.
template <std::size_t N> bool is(const char* name, const char (&literal)[N])
{
    for (std::size_t i = 0; i + 1 < N; ++i)
        if (name[i] != literal[i])
            return false;
    return name[N - 1] == '\0';
}

// A hundred thousand elements in a full list: each name is looked at once, by its first
// letter and then one compare, and afterwards only its tag.
Tag classify(const char* n)
{
    switch (n[0]) {
    case 'c':
        return is(n, "comment")        ? Tag::kComment
               : is(n, "count")        ? Tag::kCount
               : is(n, "currentgrade") ? Tag::kCurrentGrade
               : is(n, "container")    ? Tag::kContainer
                                       : Tag::kOther;
    case 'e':
        return is(n, "entry")        ? Tag::kEntry
               : is(n, "entries")    ? Tag::kEntries
               : is(n, "errorcount") ? Tag::kErrorCount
                                     : Tag::kOther;
    case 'g':
        return is(n, "grade") ? Tag::kGrade : Tag::kOther;
    case 'i':
        return is(n, "identifier")    ? Tag::kIdentifier
               : is(n, "identifiers") ? Tag::kIdentifiers
               : is(n, "inactive")    ? Tag::kInactive
                                      : Tag::kOther;
    case 'k':
        return is(n, "kvtml") ? Tag::kKvtml : Tag::kOther;
    case 'l':
        return is(n, "locale") ? Tag::kLocale : is(n, "lessons") ? Tag::kLessons : Tag::kOther;
    case 'n':
        return is(n, "name") ? Tag::kName : Tag::kOther;
    case 'p':
        return is(n, "paraphrase") ? Tag::kParaphrase : is(n, "pair") ? Tag::kPair : Tag::kOther;
    case 's':
        return is(n, "synonym") ? Tag::kSynonym : Tag::kOther;
    case 't':
        return is(n, "text") ? Tag::kText : is(n, "translation") ? Tag::kTranslation : Tag::kOther;
    default:
        return Tag::kOther;
    }
}

bool isXmlWhitespace(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

// Grade 0 is a word never or not yet known, each grade above one more right answer in a row;
// our compartment k means k - 1 right answers, and five make the archive.
std::int32_t boxForGrade(int grade)
{
    return static_cast<std::int32_t>(std::clamp(grade, 0, 5) + 1);
}

// A number of the grade; the fallback when there is none, and a loss when it is unreadable.
int gradeNumber(std::string_view text, int fallback, LossReport& losses, int entryNumber)
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
    const QString q = QString::fromUtf8(text.data(), std::ssize(text));
    v = q.trimmed().toInt(&ok);
    if (ok)
        return v;
    losses.add(LossReport::Kind::BadNumber,
               losses.wantsExample(LossReport::Kind::BadNumber)
                   ? "Eintrag " + std::to_string(entryNumber) + ": " + quoteForReport(q)
                   : std::string());
    return fallback;
}

// One entry's word: the texts in table form, the grade as compartment and passes.
void convertEntry(const RawEntry& r, TWordEntry& e, LossReport& losses)
{
    // The synonym is the paraphrase, then the pair partners, then the further languages;
    // most entries have the paraphrase alone and need no joining.
    std::string joinedSynonym;
    std::string_view synonym;
    if (!isBlank(r.foreign.paraphrase.view()))
        synonym = r.foreign.paraphrase.view();
    if (!r.synonyms.empty() || !r.others.empty()) {
        joinedSynonym = synonym;
        appendPart(joinedSynonym, r.synonyms);
        appendPart(joinedSynonym, r.others);
        synonym = joinedSynonym;
    }
    // Both sides' comments make the remark, the same one only once.
    std::string joinedRemark;
    std::string_view remark = r.foreign.comment.view();
    if (r.german.comment.view() != remark && !isBlank(r.german.comment.view())) {
        joinedRemark = remark;
        appendPart(joinedRemark, r.german.comment.view());
        remark = joinedRemark;
    }
    const auto text = [&](std::string_view from, ShortText100& into) {
        bytesToTableText(FieldBytes(from), ByteEncoding::Utf8, into, losses, "Eintrag ", r.number);
    };
    text(r.german.text.view(), e.german);
    text(r.foreign.text.view(), e.foreign);
    text(synonym, e.synonym);
    text(remark, e.remark);
    const Translation& g =
        !r.foreign.grade.view().empty() || !r.foreign.count.view().empty() ? r.foreign : r.german;
    const int grade = gradeNumber(g.grade.view(), 0, losses, r.number);
    e.box = boxForGrade(grade);
    if (grade < 0 || grade > 7)
        losses.add(LossReport::Kind::OutOfRange, "Eintrag " + std::to_string(r.number) +
                                                     ": Stufe " + std::to_string(grade) +
                                                     " → Fach " + std::to_string(e.box));
    e.passes = gradeNumber(g.count.view(), 0, losses, r.number);
    keepInRange(e, losses, "Eintrag ", r.number);
    // The German side's paraphrase has no field: the synonym is the foreign word's.
    if (!isBlank(r.german.paraphrase.view()))
        losses.add(LossReport::Kind::NoCounterpart,
                   "Eintrag " + std::to_string(r.number) + ": <paraphrase> (Deutsch)");
}

// No DTD entities are expanded (the parser knows none), only the five of XML itself and
// character references; the DOCTYPE is kept so that an internal subset can be refused.
// Leading texts go into their elements, which spares a node for nearly every text: a
// third of the tree's memory and of the walk.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_doctype |
                                   pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata;

// Walks one parsed KVTML document as a stream of start tags, texts and end tags, the way a
// streaming reader would see it, without recursion however deep the file. The first walk
// collects the languages only; the second, with the languages chosen, the entries. Texts
// stay views into the document, which outlives the walk's results.
class Parser {
public:
    Parser(const pugi::xml_document& doc, bool languagesOnly)
        : doc_(doc), languagesOnly_(languagesOnly)
    {}

    std::vector<KvtmlLanguage> languages;
    // Kept to the end: synonym pairs may come after the entries they join.
    std::vector<RawEntry> entries;
    std::vector<std::pair<PairSide, PairSide>> pairs;
    int lessons = 0;
    int emptyEntries = 0;    // without any text at all
    int inactiveEntries = 0; // marked "inactive", which a .vkb cannot hold
    int errorEntries = 0;    // with an error count, which a .vkb cannot hold
    int germanId = KvtmlChoice::kNone;
    int foreignId = KvtmlChoice::kNone;
    LossReport losses;

    // An empty string on success, else the German reason.
    std::string run()
    {
        if (const pugi::xml_node n = doc_.first_child())
            walk(n);
        return finish();
    }

    void choose(int german, int foreign)
    {
        germanId = german;
        foreignId = foreign;
    }

private:
    // Walks the tree in document order from `n` and the siblings after it.
    void walk(pugi::xml_node n)
    {
        for (;;) {
            pugi::xml_node child;
            switch (n.type()) {
            case pugi::node_doctype:
                if (std::strchr(n.value(), '[') != nullptr)
                    raiseError("Die Datei bringt eigene DTD-Deklarationen mit; sie wird "
                               "nicht gelesen.");
                break;
            case pugi::node_element:
                start(n);
                if (done_)
                    break;
                // The parser keeps an element's leading text in the element itself; it is
                // the text that comes before any child.
                if (const char* text = n.value(); *text != '\0')
                    characters(text);
                child = n.first_child();
                if (!child)
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
                return;
            if (child) {
                n = child;
                continue;
            }
            // On to the next sibling, closing every element left on the way up. The open
            // elements are on the stack, so the way up asks the tree nothing.
            pugi::xml_node next;
            while (!(next = n.next_sibling())) {
                if (depth_ == 0)
                    return;
                n = nodes_[depth_ - 1];
                end();
                if (done_)
                    return;
            }
            n = next;
        }
    }

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

    Tag parent(std::size_t up = 1) const { return depth_ >= up ? tags_[depth_ - up] : Tag::kNone; }
    bool inEntries() const { return depth_ >= 2 && tags_[1] == Tag::kEntries; }

    void start(const pugi::xml_node& node)
    {
        const char* const rawName = node.name();
        const Tag name = classify(rawName);
        // Text is collected only directly inside the element that chose the target; a child
        // element ends that, and a stale pointer into a growing list must not survive it.
        target_ = nullptr;
        targetQ_ = nullptr;
        if (depth_ >= static_cast<std::size_t>(kKvtmlMaxDepth)) {
            raiseError("Die Elemente sind zu tief verschachtelt.");
            return;
        }
        const Tag p = parent();
        if (depth_ == 0) {
            sawRoot_ = true;
            if (name != Tag::kKvtml)
                raiseError("Das Wurzelelement ist nicht „kvtml“.");
            else if (std::string_view(node.attribute("version").value()).substr(0, 1) != "2")
                raiseError("Nur KVTML 2.0 wird gelesen; diese Datei ist älter (KVTML 1).");
            if (done_)
                return;
        } else if (p == Tag::kIdentifiers && name == Tag::kIdentifier) {
            if (std::ssize(languages) >= kKvtmlMaxLanguages) {
                raiseError("Die Datei hat zu viele Sprachen.");
                return;
            }
            languages.push_back(
                {intAttribute(node, "id", static_cast<int>(languages.size())), {}, {}});
        } else if (p == Tag::kIdentifier && !languages.empty() && depth_ == 3) {
            targetQ_ = name == Tag::kName     ? &languages.back().name
                       : name == Tag::kLocale ? &languages.back().locale
                                              : nullptr;
        } else if (name == Tag::kEntries && languagesOnly_) {
            done_ = true;
            return;
        } else if (inEntries()) {
            startInEntries(node, name, rawName, p);
        } else if (p == Tag::kLessons && name == Tag::kContainer) {
            ++lessons;
        } else if (depth_ >= 3 && tags_[1] == Tag::kSynonym) {
            if (p == Tag::kPair && name == Tag::kEntry) {
                side_().entry = node.attribute("id").value();
            } else if (parent(2) == Tag::kPair && p == Tag::kEntry && name == Tag::kTranslation) {
                side_().translation = intAttribute(node, "id", -1);
            }
        }
        if (depth_ == 2 && tags_[1] == Tag::kSynonym && name == Tag::kPair) {
            pairs.emplace_back();
            pairSide_ = 0;
        }
        tags_[depth_] = name;
        nodes_[depth_] = node;
        ++depth_;
    }

    PairSide& side_()
    {
        if (pairs.empty())
            pairs.emplace_back();
        return pairSide_ == 0 ? pairs.back().first : pairs.back().second;
    }

    void startInEntries(const pugi::xml_node& node, Tag name, const char* rawName, Tag p)
    {
        if (depth_ == 2 && name == Tag::kEntry) {
            entry_ = RawEntry{};
            entry_.id = node.attribute("id").value();
            entry_.number = ++entryNumber_;
            return;
        }
        if (depth_ == 3 && p == Tag::kEntry && name == Tag::kTranslation) {
            const int id = intAttribute(node, "id", -1);
            otherText_ = Text{};
            translation_ = id == germanId    ? &entry_.german
                           : id == foreignId ? &entry_.foreign
                                             : nullptr;
            otherLanguage_ = id;
            return;
        }
        if (depth_ == 3 && p == Tag::kEntry && name == Tag::kInactive) {
            target_ = &entry_.inactive;
            return;
        }
        if (depth_ == 4 && p == Tag::kTranslation) {
            Translation* t = translation_;
            if (name == Tag::kText)
                target_ = t ? &t->text : &otherText_;
            else if (t && name == Tag::kComment)
                target_ = &t->comment;
            else if (t && name == Tag::kParaphrase)
                target_ = &t->paraphrase;
            else if (name != Tag::kGrade || !t) {
                // Its end is the next end at this depth, so the name itself needs no keeping
                // beyond the report. A further language keeps only its text, in the synonym.
                unknown_ = rawName;
                unknownHasContent_ = false;
                unknownLanguage_ = t ? std::string() : languageLabel(otherLanguage_);
            }
            return;
        }
        if (depth_ == 5 && p == Tag::kGrade && translation_) {
            target_ = name == Tag::kCurrentGrade ? &translation_->grade
                      : name == Tag::kCount      ? &translation_->count
                      : name == Tag::kErrorCount && translation_ == &entry_.foreign ? &entry_.errors
                                                                                    : nullptr;
        }
    }

    void characters(const char* value)
    {
        if (target_) {
            target_->append(value);
        } else if (targetQ_ && targetQ_->size() < kMaxNameChars) {
            const std::string_view text(value);
            *targetQ_ += QString::fromUtf8(
                             text.data(), static_cast<qsizetype>(std::min(text.size(), kKeepBytes)))
                             .left(kMaxNameChars - targetQ_->size());
        } else if (unknown_ != nullptr && !isXmlWhitespace(value)) {
            unknownHasContent_ = true;
        }
    }

    void end()
    {
        Tag name = Tag::kNone;
        if (depth_ > 0)
            name = tags_[--depth_];
        target_ = nullptr;
        targetQ_ = nullptr;
        if (unknown_ != nullptr && depth_ == 4) {
            if (unknownHasContent_)
                losses.add(LossReport::Kind::NoCounterpart,
                           "Eintrag " + std::to_string(entry_.number) + ": " + unknownLanguage_ +
                               "<" + unknown_ + ">");
            unknown_ = nullptr;
        }
        if (languagesOnly_ && name == Tag::kIdentifiers)
            done_ = true;
        if (depth_ == 3 && name == Tag::kTranslation && tags_[1] == Tag::kEntries) {
            if (!translation_ && !isBlank(otherText_.view()))
                appendPart(entry_.others,
                           languageLabel(otherLanguage_) + std::string(otherText_.view()));
            translation_ = nullptr;
        } else if (depth_ == 2 && name == Tag::kEntry && tags_[1] == Tag::kEntries) {
            finishEntry();
        } else if (depth_ == 3 && name == Tag::kEntry && tags_[2] == Tag::kPair) {
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
        const bool hasWord =
            !isBlank(entry_.german.text.view()) || !isBlank(entry_.foreign.text.view());
        if (!hasWord) {
            // Comments and paraphrases without a word to go with them are reported with
            // whatever further languages the entry holds; an entry of nothing is counted.
            std::string content = entry_.others;
            for (const Translation* t : {&entry_.german, &entry_.foreign})
                for (const Text* part : {&t->comment, &t->paraphrase})
                    appendPart(content, part->view());
            if (content.empty())
                ++emptyEntries;
            else
                losses.add(LossReport::Kind::SkippedRow,
                           "Eintrag " + std::to_string(entry_.number) + ": " +
                               quoteForReport(QString::fromStdString(content)));
            return;
        }
        const auto isSet = [](const Text& t) {
            const QString v = QString::fromUtf8(t.view().data(), std::ssize(t.view())).trimmed();
            return !v.isEmpty() && v != u"0" && v.compare(u"false", Qt::CaseInsensitive) != 0;
        };
        inactiveEntries += isSet(entry_.inactive) ? 1 : 0;
        errorEntries += isSet(entry_.errors) ? 1 : 0;
        if (kept_ >= static_cast<std::size_t>(TWordTable::MaxWords)) {
            losses.add(LossReport::Kind::OverLimit,
                       overLimitSeen_ ? std::string()
                                      : "ab Eintrag " + std::to_string(entry_.number));
            overLimitSeen_ = true;
            return;
        }
        ++kept_;
        entries.push_back(std::move(entry_));
    }

    const pugi::xml_document& doc_;
    bool languagesOnly_;
    bool done_ = false;
    bool sawRoot_ = false;
    std::string error_;
    // The open elements, outermost first.
    std::array<Tag, kKvtmlMaxDepth> tags_{};
    std::array<pugi::xml_node, kKvtmlMaxDepth> nodes_{};
    std::size_t depth_ = 0;
    Text* target_ = nullptr;
    QString* targetQ_ = nullptr; // a language's name or locale
    RawEntry entry_;
    int entryNumber_ = 0;
    std::size_t kept_ = 0;
    Translation* translation_ = nullptr;
    int otherLanguage_ = -1;
    Text otherText_;                // the text of a language that is neither side
    const char* unknown_ = nullptr; // an element of a translation we have no field for
    bool unknownHasContent_ = false;
    std::string unknownLanguage_; // "fr: " for a further language's element
    bool overLimitSeen_ = false;
    int pairSide_ = 0;
};

bool hasLanguage(const std::vector<KvtmlLanguage>& langs, int id)
{
    return std::any_of(langs.begin(), langs.end(), [&](const auto& l) { return l.id == id; });
}

const char* const kTooManyTags = "Keine lesbare KVTML-Datei: sie hat zu viele Elemente.";
const char* const kNoRoot = "Keine KVTML-Datei: das Element „kvtml“ fehlt.";

// Checked before the tree is built, so that a file of nothing but tags costs no tree.
bool hasTooManyTags(std::string_view bytes)
{
    return scan::count(bytes.data(), bytes.data() + bytes.size(), '<') > kMaxTags;
}

// A list with more tags than the parser may take, cut after the entries that fit; the rest
// are only counted, in `dropped`. Nothing when it cannot be cut so: the tags lie outside the
// entries, or among them in numbers no real entry has. Real entries use a few dozen.
std::optional<std::string> cutToTagLimit(std::string_view bytes, int& dropped)
{
    constexpr std::size_t npos = std::string_view::npos, kTagsPerEntry = 64;
    const std::size_t open = bytes.find("<entries>"), close = bytes.rfind("</entries>");
    if (open == npos || close == npos || close < open)
        return std::nullopt;
    const std::size_t from = open + std::string_view("<entries>").size();
    const auto tagsIn = [&](std::size_t a, std::size_t b) {
        return scan::count(bytes.data() + a, bytes.data() + b, '<');
    };
    const std::size_t around = tagsIn(0, from) + tagsIn(close, bytes.size());
    if (around > kMaxTags)
        return std::nullopt;
    std::size_t cut = from, tags = around;
    for (std::size_t end; (end = bytes.find("</entry>", cut)) < close;) {
        const std::size_t next = end + std::string_view("</entry>").size();
        tags += tagsIn(cut, next);
        if (tags > kMaxTags)
            break;
        cut = next;
    }
    dropped = 0;
    for (std::size_t at = cut; (at = bytes.find("</entry>", at)) < close; ++at)
        ++dropped;
    if (dropped == 0 || tagsIn(cut, close) > kTagsPerEntry * static_cast<std::size_t>(dropped))
        return std::nullopt;
    return std::string(bytes.substr(0, cut)).append(bytes.substr(close));
}

// Whether the parser takes the bytes for UTF-8: no byte order mark or NUL of a wider
// encoding, and an XML declaration that names UTF-8 or no encoding.
bool readAsUtf8(std::string_view bytes)
{
    const auto at = [&](std::size_t i) { return i < bytes.size() ? bytes[i] : '\x01'; };
    if ((at(0) == '\xFE' && at(1) == '\xFF') || (at(0) == '\xFF' && at(1) == '\xFE') ||
        at(0) == '\0' || at(1) == '\0' || at(2) == '\0' || at(3) == '\0')
        return false;
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (!bytes.starts_with("<?xml"))
        return true;
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    const std::size_t name = declaration.find("encoding");
    if (name == std::string_view::npos)
        return true;
    const std::size_t quote = declaration.find_first_of("\"'", name);
    const std::size_t end = declaration.find_first_of("\"'", quote + 1);
    if (quote == std::string_view::npos || end == std::string_view::npos)
        return true;
    const QString value = QString::fromLatin1(declaration.data() + quote + 1,
                                              static_cast<qsizetype>(end - quote - 1));
    return value.compare(u"utf-8", Qt::CaseInsensitive) == 0 ||
           value.compare(u"utf8", Qt::CaseInsensitive) == 0;
}

// Readies the bytes for the parser; false with a reason in `refusal` when they are refused
// before it. A list over the tag limit is cut after the entries that fit, and a file that
// claims UTF-8 but is none is read as Windows-1252 (Latin-1 with the printer's quotes and
// the euro sign), as the CSV import does with the same bytes; either way `bytes` then views
// a copy in `own`, and the report says so in `losses`.
bool prepare(std::string_view& bytes, std::string& own, LossReport& losses, std::string& refusal)
{
    if (hasTooManyTags(bytes)) {
        int dropped = 0;
        std::optional<std::string> cut = cutToTagLimit(bytes, dropped);
        if (!cut) {
            refusal = kTooManyTags;
            return false;
        }
        own = std::move(*cut);
        bytes = own;
        losses.add(LossReport::Kind::OverLimit, dropped, {});
    }
    if (readAsUtf8(bytes) && !isValidUtf8(bytes)) {
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3); // UTF-8 needs no mark, and read as Windows-1252 it is text
        own = fromTableText(bytes).toStdString();
        bytes = own;
        losses.note("Die Datei gibt UTF-8 an, enthält aber andere Bytes: als Windows-1252 "
                    "(Latin-1) gelesen");
    }
    return true;
}

// The German reason for a file the parser refused; `bytes` as they were before the parse.
std::string parseError(const pugi::xml_parse_result& r, std::string_view bytes)
{
    if (r.status == pugi::status_no_document_element)
        return kNoRoot;
    const auto at = static_cast<std::size_t>(std::max<std::ptrdiff_t>(r.offset, 0));
    const auto line =
        1 + std::count(bytes.begin(),
                       bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at, bytes.size())),
                       '\n');
    return std::string("Keine lesbare KVTML-Datei: ") + r.description() + " (Zeile " +
           std::to_string(line) + ")";
}

// How many entries the list will likely hold: the children of its <entries>, at most a
// full table. Reserved up front, the list is built once instead of doubling into freshly
// allocated memory.
std::size_t expectedEntries(const pugi::xml_document& doc)
{
    std::size_t n = 0;
    for (pugi::xml_node e = doc.child("kvtml").child("entries").first_child();
         e && n < static_cast<std::size_t>(TWordTable::MaxWords); e = e.next_sibling())
        n += e.type() == pugi::node_element ? 1 : 0;
    return n;
}

KvtmlImport refused(std::string message)
{
    KvtmlImport out;
    out.message = std::move(message);
    return out;
}

// Everything after the parse: the languages, the choice, the words.
KvtmlImport importParsed(const pugi::xml_document& doc, const KvtmlChoice& choice)
{
    KvtmlImport out;
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
    p.entries.reserve(expectedEntries(doc));
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
            return std::string(s.translation == foreign  ? e.foreign.text.view()
                               : s.translation == german ? e.german.text.view()
                                                         : std::string_view());
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
    // into several does. Each of these once, for the whole file.
    const auto entries = [](int n) {
        return std::to_string(n) + (n == 1 ? " Eintrag" : " Einträge");
    };
    if (p.lessons > 1)
        losses.note("Lektionen nicht übernommen: " + std::to_string(p.lessons) +
                    " (die Wörter selbst sind übernommen)");
    if (p.inactiveEntries > 0)
        losses.note("Markierung „inaktiv“ nicht übernommen: " + entries(p.inactiveEntries));
    if (p.errorEntries > 0)
        losses.note("Fehlerzähler nicht übernommen: " + entries(p.errorEntries));
    if (p.emptyEntries > 0)
        losses.note(std::to_string(p.emptyEntries) +
                    (p.emptyEntries == 1 ? " leerer Eintrag" : " leere Einträge") +
                    " übersprungen");
    out.result.words.resize(p.entries.size());
    for (std::size_t i = 0; i < p.entries.size(); ++i)
        convertEntry(p.entries[i], out.result.words[i], losses);
    out.status = KvtmlImport::Status::Ok;
    return out;
}

} // namespace

KvtmlImport importKvtml(std::string_view bytes, const KvtmlChoice& choice)
{
    std::string own, refusal;
    LossReport prepared;
    if (!prepare(bytes, own, prepared, refusal))
        return refused(refusal);
    pugi::xml_document doc;
    if (const pugi::xml_parse_result r =
            doc.load_buffer(bytes.data(), bytes.size(), kParseOptions, pugi::encoding_auto);
        !r)
        return refused(parseError(r, bytes));
    KvtmlImport out = importParsed(doc, choice);
    out.result.losses.merge(prepared);
    return out;
}

std::optional<KvtmlImport> importKvtmlInPlace(std::string& bytes, const KvtmlChoice& choice)
{
    std::string_view view = bytes;
    std::string own, refusal;
    LossReport prepared;
    if (!prepare(view, own, prepared, refusal))
        return refused(refusal);
    std::string& buffer = own.empty() ? bytes : own;
    pugi::xml_document doc;
    // The string's terminator ends the buffer, as the NUL that load_buffer() puts behind its
    // copy does: a NUL inside the file then ends the parse in the same place.
    if (const pugi::xml_parse_result r = doc.load_buffer_inplace(
            buffer.data(), buffer.size() + 1, kParseOptions, pugi::encoding_auto);
        !r)
        return r.status == pugi::status_no_document_element ? std::optional(refused(kNoRoot))
                                                            : std::nullopt;
    KvtmlImport out = importParsed(doc, choice);
    out.result.losses.merge(prepared);
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

std::string exportKvtml(const TWordTable& table, const QString& title, LossReport& losses,
                        const QString& foreignLocale)
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
    identifier("1", QStringLiteral("Fremdsprache"), foreignLocale);
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
