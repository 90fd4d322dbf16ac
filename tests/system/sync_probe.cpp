// One learner's computer, for the test with two real sync engines: what a drill and an edit
// leave in the program folder, and what the window does as it starts and opens a list (the
// same core calls), then "Speichern". Prints the list and the log so the script can check them.
//
//   sync_probe drill <program-folder> <list> <date> <answers> <word>...  each word one box up
//   sync_probe edit  <program-folder> <list> <word> <foreign>
//   sync_probe open  <program-folder> <list>
#include "core/FileIo.h"
#include "core/StatisticsLog.h"
#include "core/SyncMerge.h"
#include "core/VocabularyFile.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

using namespace tafelix;

namespace {

int fail(const std::string& what)
{
    std::cerr << "sync_probe: " << what << '\n';
    return 1;
}

void print(const TWordTable& t, const std::vector<StatisticsRecord>& log)
{
    for (std::int32_t i = 1; i <= t.wordCount; ++i)
        std::cout << "word " << t[i].german.view() << '|' << t[i].foreign.view() << '|' << t[i].box
                  << '|' << t[i].passes << '\n';
    for (const StatisticsRecord& r : log)
        std::cout << "log " << r.file.view() << '|' << r.date.view() << '|' << r.answers.view()
                  << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return fail("usage: drill|edit|open <program-folder> <list> ...");
    const std::string command = argv[1];
    const std::string root = std::string(argv[2]) + "/";
    const std::string list = root + "Vokabeln/" + argv[3];
    const std::string logPath = root + "SysDat/Statistik.dat";
    const std::string aside = root + std::string(kConflictFolderName);
    auto table = std::make_unique<TWordTable>();

    ConflictReport report;
    if (command == "open") // the start-up's look at SysDat, after the first paint
        report.add(mergeStatisticsConflictCopies(logPath, aside));
    if (const LoadResult r = loadVocabularyFile(list, *table); r.status != LoadStatus::Ok)
        return fail("the list does not load: " + r.message);

    if (command == "drill" && argc >= 7) {
        for (int a = 6; a < argc; ++a) {
            TWordEntry& w = (*table)[std::atoi(argv[a])];
            ++w.box;
            ++w.passes;
        }
        StatisticsRecord rec;
        setStatisticsCell(rec, ColumnFile, argv[3]);
        setStatisticsCell(rec, ColumnDate, argv[4]);
        setStatisticsCell(rec, ColumnAnswers, argv[5]);
        setStatisticsCell(rec, ColumnTime, "00:00:42");
        setStatisticsCell(rec, ColumnRight, argv[5]);
        setStatisticsCell(rec, ColumnWrong, "0");
        setStatisticsCell(rec, ColumnPercent, "100,00");
        StatisticsChange change;
        change.added.push_back(rec);
        if (IoResult w = changeStatisticsFile(logPath, change); !w)
            return fail("log: " + w.message);
    } else if (command == "edit" && argc == 6) {
        (*table)[std::atoi(argv[4])].foreign = std::string_view(argv[5]);
    } else if (command == "open") {
        report.add(mergeListConflictCopies(list, *table, aside));
        std::cerr << conflictReportText(report) << '\n';
    } else {
        return fail("unknown command " + command);
    }
    if (IoResult w = saveVocabularyFile(list, *table); !w)
        return fail("list: " + w.message);
    if (command == "open")
        print(*table, loadStatisticsFile(logPath).records);
    return 0;
}
