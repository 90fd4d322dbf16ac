// Printing the word list and the statistics: to an RTF file in "Ausgabe" or the printer.
#include "main.h"

#include "StatisticsModel.h"
#include "print.h"

#include "core/FileIo.h"
#include "core/FilePair.h"
#include "core/PrintText.h"
#include "core/RtfWriter.h"
#include "platform/Cp1252Text.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFileInfo>
#include <QLocale>

namespace tafelix {

namespace {

const QString kNoPrinter = QStringLiteral("Zur Zeit ist kein Standard-Drucker gewählt");

QString cannotCreate(const QString& path)
{
    return QStringLiteral("Datei %1 kann nicht erstellt werden").arg(path);
}

// The locale's short date for file names. A two-digit year would make names of different
// centuries collide, so the year is always written with four digits.
QString shortDateForFileName(const QDate& date)
{
    const QLocale locale;
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return locale.toString(date, format);
}

// Runs the print options dialog; true when the learner chose "OK".
bool confirmPrintOptions(TOKBottomDlg2* dialog)
{
    return dialog->exec() == QDialog::Accepted;
}

} // namespace

void TForm1::ToolButton22Click()
{
    if (statusText().trimmed().isEmpty()) {
        message(MsgKind::Error, QStringLiteral("Drucken nicht möglich, keine Vokabeldatei geladen"),
                OkButton, 300);
        return;
    }
    BuildVocabularyPrintText();
    if (!confirmPrintOptions(OKBottomDlg2))
        return;
    ApplyPrintFont();
    if (OKBottomDlg2->CheckBox1->isChecked()) {
        const std::string name = vocabularyRtfName(toLocalPath(QFileInfo(openFileName).fileName()));
        const QString path = fromLocalPath(folder_.output() + name);
        if (!writeFileAtomically(toLocalPath(path), toRtf(RichEdit1))) {
            showError(cannotCreate(path));
            return;
        }
        message(MsgKind::Information,
                QStringLiteral("Datei in\n") + path + QStringLiteral("\ngespeichert"), OkButton,
                300);
        return;
    }
    if (!platform_.printer.available()) {
        showError(kNoPrinter);
        return;
    }
    if (const PrintResult r = platform_.printer.print(RichEdit1, QStringLiteral("Vokabeln"));
        !r.ok())
        showError(r.failure);
}

void TForm1::ToolButton24Click()
{
    // A damaged cell stops the diagram, and with it the printout that would carry it.
    if ((stats->ToolButton18->isChecked() || diagramImage.isNull()) && !showDiagram())
        return;
    const auto& records = statisticsModel->records();
    if (records.empty() || statisticsCell(records.front(), ColumnDate).empty()) {
        message(MsgKind::Error,
                QStringLiteral("Drucken nicht möglich, keine Statistikdatei vorhanden"), OkButton,
                300);
        return;
    }
    if (!confirmPrintOptions(OKBottomDlg2))
        return;
    ApplyPrintFont();
    BuildStatisticsPrintText();

    if (!OKBottomDlg2->CheckBox1->isChecked()) {
        if (!platform_.printer.available()) {
            showError(kNoPrinter);
            return;
        }
        const QString title = QStringLiteral("Statistik");
        // The picture is not sent after the text failed: half a printout helps nobody.
        PrintResult r = platform_.printer.print(RichEdit1, title);
        if (r.ok())
            r = platform_.printer.printPicture(diagramImage, title);
        if (!r.ok())
            showError(r.failure);
        return;
    }

    const QString stem = fromLocalPath(
        folder_.output() +
        statisticsFileStem(toLocalPath(shortDateForFileName(platform_.clock.now().date()))));
    const QString rtfPath = stem + QStringLiteral(".rtf");
    const QString bmpPath = stem + QStringLiteral(".bmp");
    // Encoded before anything is written, so a picture that cannot be encoded leaves both
    // files as they were.
    QByteArray bmp;
    {
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        if (!diagramImage.save(&buffer, "BMP")) {
            showError(cannotCreate(bmpPath));
            return;
        }
    }
    const std::string rtf = toRtf(RichEdit1);
    if (const PairResult r = writeFilePair(
            {toLocalPath(rtfPath), rtf},
            {toLocalPath(bmpPath),
             std::string_view(bmp.constData(), static_cast<std::size_t>(bmp.size()))});
        !r) {
        showError(cannotCreate(r.failed == 1 ? rtfPath : bmpPath));
        return;
    }
    message(MsgKind::Information,
            QStringLiteral("Datei in\n") + bmpPath + QStringLiteral(" und .rtf\ngespeichert"),
            OkButton, 300);
}

void TForm1::BuildVocabularyPrintText()
{
    const QDate today = platform_.clock.now().date();
    buildVocabularyPrint(RichEdit1, table_, toCp1252(statusText()),
                         formatLogDate(today.day(), today.month(), today.year()),
                         currentSettings().limitPrintFields);
}

void TForm1::BuildStatisticsPrintText()
{
    std::array<std::string, StatisticsColumnCount> titles;
    for (int c = 0; c < StatisticsColumnCount; ++c)
        titles[static_cast<std::size_t>(c)] =
            toCp1252(statisticsModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    buildStatisticsPrint(RichEdit1, titles, statisticsModel->records());
}

void TForm1::ApplyPrintFont()
{
    const QString name = OKBottomDlg2->CheckBox2->isChecked() ? currentSettings().fontName
                                                              : QStringLiteral("Courier New");
    // Without a font chosen on the settings page the previous printout's font stays.
    if (!name.isEmpty())
        RichEdit1.fontName = toCp1252(name);
}

void TForm1::TabSheet4Exit()
{
    RichEdit1.clear({});
}

} // namespace tafelix
