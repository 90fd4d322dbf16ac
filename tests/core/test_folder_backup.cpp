#include "core/FolderBackup.h"

#include <gtest/gtest.h>

#include "TestFiles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace tafelix;
namespace fs = std::filesystem;

namespace {

class FolderBackupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = test::makeTempDir("tafelix-backup") + "/";
        ASSERT_NE(root, "/");
    }
    void TearDown() override { fs::remove_all(root); }

    void write(const std::string& rel, const std::string& content = "VKB Vokabeldatei\r\n")
    {
        fs::create_directories(fs::path(root + rel).parent_path());
        std::ofstream(root + rel, std::ios::binary) << content;
    }
    std::string read(const std::string& rel) const
    {
        std::ifstream in(root + rel, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> collect(const std::string& rel, bool recurse = true) const
    {
        std::vector<std::string> list;
        CollectFiles(root + rel, "*.vkb", recurse, list);
        for (std::string& path : list)
            path.erase(0, root.size());
        return list;
    }

    std::string root; // ends with '/', like ProgramDir
};

using Paths = std::vector<std::string>;

} // namespace

TEST_F(FolderBackupTest, CollectsMatchingFilesBeforeSubFoldersInNameOrder)
{
    write("Vokabeln/b.vkb");
    write("Vokabeln/a.vkb");
    write("Vokabeln/LISTE.VKB");   // made on Windows
    write("Vokabeln/.privat.vkb"); // hidden files count
    write("Vokabeln/a.bkp");
    write("Vokabeln/a.vkbx");
    write("Vokabeln/notiz.txt");
    write("Vokabeln/sub/c.vkb");
    write("Vokabeln/sub/tief/d.vkb");
    write("Vokabeln/aa/e.vkb");
    write("Vokabeln/.versteckt/f.vkb"); // hidden folders do not
    write("Vokabeln/ordner.vkb/g.vkb"); // a folder is never listed, whatever its name
    ASSERT_EQ(::mkfifo((root + "Vokabeln/rohr.vkb").c_str(), 0600), 0);

    EXPECT_EQ(collect("Vokabeln/"),
              (Paths{"Vokabeln/.privat.vkb", "Vokabeln/LISTE.VKB", "Vokabeln/a.vkb",
                     "Vokabeln/b.vkb", "Vokabeln/aa/e.vkb", "Vokabeln/ordner.vkb/g.vkb",
                     "Vokabeln/sub/c.vkb", "Vokabeln/sub/tief/d.vkb"}));
    // Without recursion, and without the trailing separator, which CollectFiles adds.
    EXPECT_EQ(collect("Vokabeln", false), (Paths{"Vokabeln/.privat.vkb", "Vokabeln/LISTE.VKB",
                                                 "Vokabeln/a.vkb", "Vokabeln/b.vkb"}));
}

TEST_F(FolderBackupTest, SymbolicLinksDoNotLeadTheWalkInCircles)
{
    write("Vokabeln/sub/c.vkb");
    fs::create_directory_symlink("..", root + "Vokabeln/sub/zurueck");
    fs::create_directory_symlink(root + "Vokabeln", root + "Vokabeln/sub/absolut");
    fs::create_symlink("sub/c.vkb", root + "Vokabeln/verweis.vkb");

    EXPECT_EQ(collect("Vokabeln/"), (Paths{"Vokabeln/verweis.vkb", "Vokabeln/sub/c.vkb"}));
}

TEST_F(FolderBackupTest, BackupCopiesFlatAndTheLaterFileOfANameWins)
{
    write("Vokabeln/Liste.vkb", "oben");
    write("Vokabeln/Englisch/Liste.vkb", "unten");
    write("Vokabeln/Englisch/Verben.vkb", "verben");
    write("Vokabeln/.versteckt.vkb", "versteckt");
    write("Vokabeln/.alt/Alt.vkb", "alt");
    write("Vokabeln/Liste.bkp", "sicherung");
    write("Ausgabe/Verben.vkb", "vorher");

    const BackupReport report = backupVocabularies(root);

    EXPECT_EQ(report.found, 4u);
    EXPECT_TRUE(report.failed.empty());
    EXPECT_EQ(read("Ausgabe/Liste.vkb"), "unten");
    EXPECT_EQ(read("Ausgabe/Verben.vkb"), "verben");
    EXPECT_EQ(read("Ausgabe/.versteckt.vkb"), "versteckt");
    Paths inOutput;
    for (const auto& entry : fs::directory_iterator(root + "Ausgabe"))
        inOutput.push_back(entry.path().filename().string());
    std::sort(inOutput.begin(), inOutput.end());
    EXPECT_EQ(inOutput, (Paths{".versteckt.vkb", "Liste.vkb", "Verben.vkb"}));

    const BackupMessage message = backupMessage(report);
    EXPECT_FALSE(message.isError);
    EXPECT_EQ(message.text, "Dateien nach \\Tafelix\\Ausgabe\nkopiert !");
}

TEST_F(FolderBackupTest, NothingToCopyWithoutVocabularyFolder)
{
    write("Ausgabe/alt.vkb");
    const BackupReport report = backupVocabularies(root);
    EXPECT_EQ(report.found, 0u);
    const BackupMessage message = backupMessage(report);
    EXPECT_FALSE(message.isError);
    EXPECT_EQ(message.text, "Keine Dateien zum\nkopieren vorhanden");
}

TEST_F(FolderBackupTest, MissingOutputFolderIsReportedAndNotCreated)
{
    write("Vokabeln/a.vkb");
    write("Vokabeln/Englisch/b.vkb");

    const BackupReport report = backupVocabularies(root);

    EXPECT_EQ(report.found, 2u);
    ASSERT_EQ(report.failed.size(), 2u);
    EXPECT_EQ(report.failed[1].name, "Englisch/b.vkb");
    EXPECT_EQ(report.failed[1].reason, "Verzeichnis Ausgabe fehlt");
    EXPECT_FALSE(fs::exists(root + "Ausgabe"));
    const BackupMessage message = backupMessage(report);
    EXPECT_TRUE(message.isError);
    EXPECT_EQ(message.text, "2 Dateien konnten nicht nach \\Tafelix\\Ausgabe\nkopiert werden:\n"
                            "\na.vkb (Verzeichnis Ausgabe fehlt)"
                            "\nEnglisch/b.vkb (Verzeichnis Ausgabe fehlt)");
}

TEST_F(FolderBackupTest, OneFailedCopyDoesNotStopTheOthers)
{
    write("Vokabeln/a.vkb", "a");
    write("Vokabeln/b.vkb", "b");
    write("Vokabeln/c.vkb", "c");
    fs::create_directories(root + "Ausgabe/b.vkb"); // a folder in the way, even for root

    const BackupReport report = backupVocabularies(root);

    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].name, "b.vkb");
    EXPECT_EQ(read("Ausgabe/a.vkb"), "a");
    EXPECT_EQ(read("Ausgabe/c.vkb"), "c");
    const BackupMessage message = backupMessage(report);
    EXPECT_TRUE(message.isError);
    EXPECT_NE(message.text.find("Eine Datei konnte nicht"), std::string::npos) << message.text;
    EXPECT_NE(message.text.find("\nb.vkb ("), std::string::npos) << message.text;
    EXPECT_NE(message.text.find("Die übrigen 2 Dateien wurden kopiert."), std::string::npos);
}

TEST(BackupMessage, LongFailureListIsCut)
{
    BackupReport report;
    report.found = 13;
    for (int i = 1; i <= 13; ++i)
        report.failed.push_back({"Datei" + std::to_string(i) + ".vkb", "Dateizugriff verweigert"});

    const std::string text = backupMessage(report).text;

    EXPECT_NE(text.find("\nDatei10.vkb (Dateizugriff verweigert)"), std::string::npos);
    EXPECT_EQ(text.find("Datei11.vkb"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 18), "\n… und 3 weitere");
}
