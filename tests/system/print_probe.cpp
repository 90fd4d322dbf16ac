// Both printouts of a real main window through the real printer seam: the word list and the
// statistics go to the system's default printer, then both go to files. test_print.sh runs
// this against a CUPS queue that writes PDF files and checks what arrived.
//
// Usage: print_probe <folder> [<box text>]
// The RTF and BMP files the program wrote are copied into <folder>. Exit 0 when every step
// went as planned and no unexpected box appeared.
// With a box text, the printer is expected to fail: both printouts to the printer must end
// in an error box containing that text, and nothing goes to files.
#include "UiTestSupport.h"

#include "core/StatisticsLog.h"
#include "platform/QtPrinter.h"
#include "ui/print.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>

#include <cstdio>

using namespace tafelix;
using namespace tafelix::test;

namespace {

int fail(const QString& what)
{
    std::fprintf(stderr, "print_probe: %s\n", qPrintable(what));
    return 1;
}

void answerPrintOptions(bool toFile)
{
    onNextModal([toFile](QWidget* modal) {
        if (auto* dlg = qobject_cast<TOKBottomDlg2*>(modal)) {
            dlg->CheckBox1->setChecked(toFile);
            dlg->CheckBox2->setChecked(false);
            dlg->OKBtn->click();
        } else {
            modal->close();
        }
    });
}

// 120 words: more than one page of 8-point lines.
QByteArray manyWords()
{
    QByteArray out("VKB Vokabeldatei\r\n");
    for (int i = 1; i <= 120; ++i) {
        const QByteArray n = QByteArray::number(i);
        out +=
            "1\r\n0\r\nT\xFCr " + n + "\r\ndoor " + n + "\r\nSynonym {" + n + "} \\ gate\r\n\r\n";
    }
    return out;
}

// Five drills of 20 answers with 10, 15, 12, 18 and 16 right.
QByteArray statisticsLog()
{
    std::vector<StatisticsRecord> rows;
    for (const int right : {10, 15, 12, 18, 16}) {
        const std::string percent = std::to_string(right * 5) + ",00";
        const std::string cells[] = {"Probe.vkb", "05.03.2024",          "20",
                                     "00:02:00",  std::to_string(right), std::to_string(20 - right),
                                     percent};
        StatisticsRecord& r = rows.emplace_back();
        for (int c = 0; c < StatisticsColumnCount; ++c)
            setStatisticsCell(r, c, cells[c]);
    }
    return QByteArray(reinterpret_cast<const char*>(rows.data()),
                      static_cast<qsizetype>(rows.size() * sizeof(StatisticsRecord)));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return fail(QStringLiteral("usage: print_probe <folder>"));
    const QString out = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    const QString failure = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    TempProgramFolder folder;
    folder.write(QStringLiteral("Vokabeln/Probe.vkb"), manyWords());
    folder.write(QStringLiteral("SysDat/Statistik.dat"), statisticsLog());

    TestPlatform doubles;
    QtPrinter printer({QStringLiteral(TAFELIX_MODULE_DIR)}); // the real one, outliving the window
    if (!printer.available())
        return fail(QStringLiteral("Qt sees no default printer"));
    const Platform platform{doubles.dialogs, doubles.clock,     doubles.random, doubles.sound,
                            doubles.shell,   doubles.clipboard, printer,        doubles.speech};
    auto table = std::make_unique<TWordTable>();
    auto form =
        std::make_unique<TForm1>(*table, platform, ProgramFolder(toLocalPath(folder.path())),
                                 folder.file(QStringLiteral("Vokabeln/Probe.vkb")));
    form->show();
    TForm1::TestAccess ui(*form);
    ui.PageControl1->setCurrentWidget(ui.edit);

    if (!failure.isEmpty()) {
        // Each printout reports the failure once; the statistics do not try the picture after
        // the text failed.
        doubles.dialogs.expectBox(failure, OkButton);
        answerPrintOptions(false);
        ui.edit->ToolButton22->click();
        ui.PageControl1->setCurrentWidget(ui.stats);
        doubles.dialogs.expectBox(failure, OkButton);
        answerPrintOptions(false);
        ui.stats->ToolButton24->click();
        const QStringList surprises = doubles.dialogs.unexpected + doubles.dialogs.pending();
        form->hide();
        form.reset();
        if (!surprises.isEmpty())
            return fail(QStringLiteral("boxes: ") + surprises.join(QStringLiteral(" | ")));
        std::printf("print_probe: both printouts reported \"%s\"\n", qPrintable(failure));
        return 0;
    }

    // To the printer: "Vokabeln", then "Statistik" as text and as a landscape picture, then
    // "Vokabeln" again, which must be back in portrait.
    answerPrintOptions(false);
    ui.edit->ToolButton22->click();
    ui.PageControl1->setCurrentWidget(ui.stats);
    answerPrintOptions(false);
    ui.stats->ToolButton24->click();
    ui.PageControl1->setCurrentWidget(ui.edit);
    answerPrintOptions(false);
    ui.edit->ToolButton22->click();

    // To files.
    const QString ausgabe = folder.file(QStringLiteral("Ausgabe/"));
    doubles.dialogs.expectBox(QStringLiteral("gespeichert"), OkButton);
    answerPrintOptions(true);
    ui.edit->ToolButton22->click();
    ui.PageControl1->setCurrentWidget(ui.stats);
    doubles.dialogs.expectBox(QStringLiteral("gespeichert"), OkButton);
    answerPrintOptions(true);
    ui.stats->ToolButton24->click();

    const QStringList surprises = doubles.dialogs.unexpected + doubles.dialogs.pending();
    form->hide();
    form.reset();
    if (!surprises.isEmpty())
        return fail(QStringLiteral("unexpected boxes: ") + surprises.join(QStringLiteral(" | ")));
    for (const char* name : {"Probe.rtf", "Statistik05.03.2024.rtf", "Statistik05.03.2024.bmp"}) {
        const QString file = QString::fromLatin1(name);
        QFile::remove(out + file);
        if (!QFile::copy(ausgabe + file, out + file))
            return fail(QStringLiteral("missing output file ") + ausgabe + file);
    }
    std::printf("print_probe: 4 print jobs sent, 3 files written\n");
    return 0;
}
