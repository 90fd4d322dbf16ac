#include "VocabularyFile.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tafelix {

namespace {

constexpr std::size_t kLineCut = 100;
constexpr std::size_t kLinesPerWord = 6;

// Cuts bytes that arrive in pieces into lines under the reading rules of the format: a CR
// ends a line and takes one LF directly after it along, a lone LF is an ordinary character,
// the first Ctrl-Z ends the file. A line is handed on cut to kLineCut characters; a line that
// runs across pieces is gathered in a small buffer, so no piece needs to hold a whole line.
class LineSplitter {
public:
    // Hands on every line that ends in `piece`. False once the consumer said stop or a
    // Ctrl-Z ended the file (finish() has been called then).
    template <class OnLine> bool feed(std::string_view piece, OnLine& onLine)
    {
        if (ended_)
            return false;
        const char* p = piece.data();
        const char* end = p + piece.size();
        const void* eof = std::memchr(p, 0x1A, piece.size());
        if (eof)
            end = static_cast<const char*>(eof);
        while (p < end) {
            if (!inLine_) {
                if (skipLf_ && *p == '\n') {
                    skipLf_ = false;
                    ++p;
                    continue;
                }
                skipLf_ = false;
                inLine_ = true;
            }
            const void* found = std::memchr(p, '\r', static_cast<std::size_t>(end - p));
            const char* stop = found ? static_cast<const char*>(found) : end;
            const auto length = static_cast<std::size_t>(stop - p);
            if (found && !gathering_) {
                // The whole line lies in this piece: no copy.
                if (!emit({p, std::min(length, kLineCut)}, onLine))
                    return false;
            } else {
                const std::size_t take = std::min(length, kLineCut - gathered_);
                std::memcpy(gather_ + gathered_, p, take);
                gathered_ += take;
                gathering_ = true;
                if (found && !emit({gather_, gathered_}, onLine))
                    return false;
            }
            if (!found)
                break;
            p = stop + 1;
            skipLf_ = true;
        }
        if (eof) {
            finish(onLine);
            return false;
        }
        return true;
    }

    // The end of the bytes: a line begun but not ended by a CR is the last one.
    template <class OnLine> void finish(OnLine& onLine)
    {
        if (ended_)
            return;
        if (inLine_)
            emit({gather_, gathered_}, onLine);
        ended_ = true;
    }

private:
    template <class OnLine> bool emit(std::string_view line, OnLine& onLine)
    {
        inLine_ = false;
        gathering_ = false;
        gathered_ = 0;
        if (onLine(lineNo_++, line))
            return true;
        ended_ = true;
        return false;
    }

    char gather_[kLineCut];
    std::size_t gathered_ = 0;
    bool gathering_ = false; // the current line began in an earlier piece
    bool inLine_ = true;     // the first line exists even in an empty file
    bool skipLf_ = false;
    bool ended_ = false;
    std::size_t lineNo_ = 0;
};

// What one pass saw of its source: the file's stamp before and after the pass. A second
// pass with the same stamps read the same bytes.
struct Fingerprint {
    ChunkedFile::Stamp before, after;
    friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
    bool steady() const { return before == after; }
};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// What the first pass learns: whether the file loads, and how many words it holds.
class Checker {
public:
    bool operator()(std::size_t k, std::string_view line)
    {
        if (k == 0) {
            if (line == kVkbHeader)
                return true;
            result.status = LoadStatus::BadHeader;
            return false;
        }
        linesOfWord = (k - 1) % kLinesPerWord + 1;
        if (linesOfWord == 1) {
            if (words == TWordTable::MaxWords) {
                result.status = LoadStatus::TooManyWords;
                return false;
            }
            ++words;
        }
        std::int32_t value = 0;
        if (linesOfWord <= 2 && !parseInteger(line, value))
            return refuse(line);
        return true;
    }

    // After the last line: a word cut off before its second number line has an empty one.
    void finish()
    {
        if (result.status == LoadStatus::Ok && words > 0 && linesOfWord == 1)
            refuse({});
    }

    LoadResult result;
    std::int32_t words = 0;
    std::size_t linesOfWord = 0;

private:
    bool refuse(std::string_view line)
    {
        result.status = LoadStatus::BadInteger;
        result.badText = std::string(line);
        return false;
    }
};

// The second pass: the same lines again, now into the table. It trusts nothing it did not
// check itself, so a file that changed between the passes cannot make it write past the
// words the first pass counted.
class Storer {
public:
    Storer(TWordTable& table, std::int32_t expected) : table_(table), expected_(expected) {}

    bool operator()(std::size_t k, std::string_view line)
    {
        if (k == 0)
            return line == kVkbHeader || differs();
        const std::size_t pos = (k - 1) % kLinesPerWord;
        if (pos == 0) {
            completeWord();
            if (stored == expected_)
                return differs();
            ++stored;
            linesOfWord_ = 0;
        }
        ++linesOfWord_;
        TWordEntry& e = table_[stored];
        switch (pos) {
        case 0:
            return parseInteger(line, e.box) || differs();
        case 1:
            return parseInteger(line, e.passes) || differs();
        case 2:
            e.german.assign(line);
            break;
        case 3:
            e.foreign.assign(line);
            break;
        case 4:
            e.synonym.assign(line);
            break;
        default:
            e.remark.assign(line);
            break;
        }
        return true;
    }

    void finish()
    {
        const bool cutBeforePasses = stored > 0 && linesOfWord_ < 2;
        completeWord();
        if (stored != expected_ || cutBeforePasses)
            differs();
    }

    bool changed = false;
    std::int32_t stored = 0;

private:
    // Lines missing at the end of the file read as empty: clear what an old word left there.
    void completeWord()
    {
        if (stored == 0)
            return;
        TWordEntry& e = table_[stored];
        ShortText100* texts[] = {&e.german, &e.foreign, &e.synonym, &e.remark};
        for (std::size_t i = linesOfWord_ < 2 ? 0 : linesOfWord_ - 2; i < 4; ++i)
            texts[i]->assign({});
        linesOfWord_ = kLinesPerWord;
    }

    bool differs()
    {
        changed = true;
        return false;
    }

    TWordTable& table_;
    std::int32_t expected_;
    std::size_t linesOfWord_ = kLinesPerWord;
};

// The file's bytes, one word at a time.
template <class Put> void produceVocabulary(const TWordTable& table, Put&& put)
{
    put(std::string_view("VKB Vokabeldatei\r\n"));
    // Two numbers of at most 11 characters and four texts of at most 100, each with CR LF.
    char word[2 * (11 + 2) + 4 * (ShortText100::capacity + 2)];
    for (std::int32_t k = 1; k <= table.wordCount; ++k) {
        const TWordEntry& e = table[k];
        char* out = word;
        for (const std::int32_t v : {e.box, e.passes}) {
            out = std::to_chars(out, out + 11, v).ptr;
            *out++ = '\r';
            *out++ = '\n';
        }
        for (const ShortText100* t : {&e.german, &e.foreign, &e.synonym, &e.remark}) {
            std::memcpy(out, t->chars, t->size());
            out += t->size();
            *out++ = '\r';
            *out++ = '\n';
        }
        put(std::string_view(word, static_cast<std::size_t>(out - word)));
    }
}

// Empties the slots that no loaded word now holds, from `from` up to `upTo` (inclusive).
void clearSlots(TWordTable& table, std::int32_t from, std::int32_t upTo)
{
    for (std::int32_t k = std::max(from, 1); k <= upTo && k <= TWordTable::MaxWords; ++k)
        table[k] = EmptyEntry;
}

// Both passes over a source that hands out its bytes in pieces. `feedAll(consume)` runs one
// pass and reports a read error; `fingerprint` is set to what that pass saw.
template <class FeedAll> LoadResult loadInTwoPasses(FeedAll&& feedAll, TWordTable& table)
{
    // Every line is checked before the table is touched, so that a bad file leaves the
    // previous vocabulary exactly as it was.
    Checker check;
    Fingerprint first;
    if (IoResult io = feedAll(check, first); !io) {
        LoadResult r;
        r.status = LoadStatus::ReadError;
        r.message = io.message;
        return r;
    }
    check.finish();
    if (check.result.status != LoadStatus::Ok)
        return check.result;

    // Every field of a stored word is assigned, and each text clears what a longer old one
    // left behind, so the slots need no clearing first.
    Storer store(table, check.words);
    Fingerprint second;
    const IoResult io = feedAll(store, second);
    if (io)
        store.finish();
    if (!io || store.changed || !first.steady() || first != second) {
        // The words are a mix of two files now. An empty table is the honest state to leave.
        clearSlots(table, 1, std::max(store.stored, table.wordCount));
        table.wordCount = 0;
        table.currentIndex = 0;
        LoadResult r;
        r.status = LoadStatus::ReadError;
        r.message = io ? std::string(kChangedWhileLoadingText) : io.message;
        return r;
    }
    // Slots past the old words are empty already; only the old tail needs clearing.
    clearSlots(table, check.words + 1, table.wordCount);
    table.wordCount = check.words;
    table.currentIndex = check.words;
    LoadResult r;
    r.wordCount = check.words;
    return r;
}

} // namespace

bool parseInteger(std::string_view text, std::int32_t& value)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size())
        return false;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t acc = 0;
    for (; i < text.size(); ++i) {
        const int d =
            hex ? hexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0)
            return false;
        acc = acc * (hex ? 16 : 10) + d;
        if (acc > limit)
            return false;
    }
    value = static_cast<std::int32_t>(negative ? -acc : acc);
    return true;
}

LoadResult loadVocabulary(std::string_view bytes, TWordTable& table)
{
    return loadInTwoPasses(
        [bytes](auto& onLine, Fingerprint&) {
            LineSplitter lines;
            if (lines.feed(bytes, onLine))
                lines.finish(onLine);
            return IoResult::success();
        },
        table);
}

LoadResult loadVocabularyFile(const std::string& path, TWordTable& table)
{
    // Read twice in small pieces rather than once into memory: the second pass comes from the
    // page cache, and the load never holds more than the table and one piece.
    const FileStamp before = fileStampOf(path);
    ChunkedFile file;
    if (IoResult io = file.open(path); !io) {
        LoadResult r;
        r.status = LoadStatus::ReadError;
        r.message = io.message;
        return r;
    }
    LoadResult r = loadInTwoPasses(
        [&file](auto& onLine, Fingerprint& seen) {
            LineSplitter lines;
            seen.before = file.stamp();
            IoResult io =
                file.read([&](std::string_view piece) { return lines.feed(piece, onLine); });
            if (io)
                lines.finish(onLine);
            seen.after = file.stamp();
            return io;
        },
        table);
    r.stamp = before;
    return r;
}

std::string serializeVocabulary(const TWordTable& table)
{
    std::string out;
    std::size_t size = kVkbHeader.size() + 2;
    for (std::int32_t k = 1; k <= table.wordCount; ++k) {
        const TWordEntry& e = table[k];
        size += 12 + 24 + e.german.size() + e.foreign.size() + e.synonym.size() + e.remark.size();
    }
    out.reserve(size);
    produceVocabulary(table, [&out](std::string_view bytes) { out.append(bytes); });
    return out;
}

IoResult saveVocabularyFile(const std::string& path, const TWordTable& table, FileStamp* written)
{
    return writeFileAtomically(
        path,
        [&table](ByteSink& sink) {
            produceVocabulary(table, [&sink](std::string_view bytes) { sink.write(bytes); });
            return IoResult::success();
        },
        written);
}

CheckedWrite saveVocabularyFileIfUnchanged(const std::string& path, const TWordTable& table,
                                           const FileStamp* expected, FileStamp* written)
{
    return writeFileIfUnchanged(
        path, expected,
        [&table](ByteSink& sink) {
            produceVocabulary(table, [&sink](std::string_view bytes) { sink.write(bytes); });
            return IoResult::success();
        },
        written);
}

std::string backupFileName(std::string_view openFileName)
{
    std::string name(openFileName);
    if (name.size() >= 3)
        name.resize(name.size() - 3);
    else
        name.clear();
    return name + "bkp";
}

IoResult writeBackupCopy(std::string_view openFileName, const TWordTable& table)
{
    return saveVocabularyFile(backupFileName(openFileName), table);
}

} // namespace tafelix
