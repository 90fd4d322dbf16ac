#include "TestDoubles.h"
#include "UiTestSupport.h"
#include "platform/JpegImage.h"
#include "ui/Info.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace tafelix;

namespace {

QString emblemPath()
{
    return QStringLiteral(TAFELIX_TEST_DATA "/../../data/SysDat/emblem.jpg");
}

bool near(QRgb pixel, int r, int g, int b, int tolerance = 8)
{
    return qAbs(qRed(pixel) - r) <= tolerance && qAbs(qGreen(pixel) - g) <= tolerance &&
           qAbs(qBlue(pixel) - b) <= tolerance;
}

QStringList shownTexts(const TAboutBox& box)
{
    QStringList texts;
    for (const QLabel* label : box.findChildren<QLabel*>())
        texts << label->objectName() + QLatin1Char('=') + label->text();
    return texts;
}

} // namespace

class TestInfo : public test::UiTest {
    Q_OBJECT

private slots:
    void decodesTheEmblem()
    {
        const QImage image = decodeJpegFile(emblemPath());
        QCOMPARE(image.size(), QSize(140, 140));
        QVERIFY2(near(image.pixel(12, 50), 42, 157, 142), "teal tile");
        QVERIFY2(near(image.pixel(70, 110), 255, 255, 255), "white T on the box");
    }

    // emblem_gray.jpg: a one-component 16 x 32 JPEG, black at the top, white at the bottom.
    void decodesGrayscale()
    {
        const QImage image = decodeJpegFile(QStringLiteral(TAFELIX_TEST_DATA "/emblem_gray.jpg"));
        QCOMPARE(image.size(), QSize(16, 32));
        QVERIFY(near(image.pixel(3, 0), 0, 0, 0));
        QVERIFY(near(image.pixel(3, 31), 255, 255, 255));
    }

    void damagedFileGivesNoImage_data()
    {
        QFile file(emblemPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray good = file.readAll();

        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("create");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("cut in the header") << good.left(120) << true;
        QTest::newRow("cut in the picture") << good.left(good.size() / 2) << true;
        QTest::newRow("end marker missing") << good.chopped(2) << true;
        QTest::newRow("text") << QByteArray("VKB Vokabeldatei\r\n1\r\n0\r\n") << true;
        QTest::newRow("only the start marker") << QByteArray("\xFF\xD8\xFF", 3) << true;
    }

    // The program must survive all of these: libjpeg's default reaction would be exit().
    void damagedFileGivesNoImage()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, create);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("emblem.jpg"));
        if (create) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QVERIFY(decodeJpegFile(path).isNull());
    }

    void aboutBoxShowsTheSameTextsEveryTime()
    {
        RecordingShell shell;
        TAboutBox box(shell, emblemPath());

        QCOMPARE(box.windowTitle(), QStringLiteral("Info"));
        QCOMPARE(box.ProductName->text(), QStringLiteral("Tafelix"));
        QCOMPARE(box.Version->text(), QStringLiteral("Version : 1.32"));
        QCOMPARE(box.Author->text(), QStringLiteral("Autor :"));
        // Free software under the GPL, version 3 or later, and the whole line on the label.
        QVERIFY(box.Copyright->text().contains(QStringLiteral("GNU GPL 3 oder später")));
        QVERIFY(box.Adresse->text().contains(QLatin1Char('\n')));

        const QStringList first = shownTexts(box);
        for (int round = 0; round < 2; ++round) {
            box.show();
            const QPixmap icon = box.ProgramIcon->pixmap();
            QVERIFY(!icon.isNull());
            QVERIFY(icon.width() <= 70 && icon.height() <= 70);
            QCOMPARE(box.size(), QSize(298, 213));
            QVERIFY2(box.Copyright->heightForWidth(box.Copyright->width()) <=
                         box.Copyright->height(),
                     "the copyright line is cut off");
            QCOMPARE(box.frameGeometry().center(), box.screen()->availableGeometry().center());
            QCOMPARE(shownTexts(box), first);
            box.OKButton->click();
            QVERIFY(!box.isVisible());
        }
        QVERIFY(shell.opened.isEmpty());
    }

    // The box picks its fonts when it first shows (not while the main window starts); what
    // it shows must still be in them, the link underlined in the box's own face.
    void aboutBoxShowsItsTextsInItsOwnFonts()
    {
        RecordingShell shell;
        TAboutBox box(shell, emblemPath());
        box.show();
        const QStringList sans{QStringLiteral("MS Sans Serif"),
                               QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                               QStringLiteral("Liberation Sans")};
        QVERIFY(sans.contains(box.font().family()));
        QCOMPARE(box.font().pointSize(), 8);
        QVERIFY(QStringList({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")})
                    .contains(box.ProductName->font().family()));
        QCOMPARE(box.ProductName->font().pointSize(), 14);
        QVERIFY(box.ProductName->font().bold());
        QVERIFY(QStringList({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")})
                    .contains(box.Adresse->font().family()));
        QCOMPARE(box.Adresse->font().pointSize(), 9);
        QCOMPARE(box.Comments->font().family(), box.font().family());
        QVERIFY(box.Comments->font().underline());
        QCOMPARE(box.Version->font().family(), box.font().family());
        box.close();
    }

    void clickingTheWebAddressOpensIt()
    {
        RecordingShell shell;
        TAboutBox box(shell, emblemPath());
        box.show();

        QTest::mouseClick(box.Comments, Qt::LeftButton);
        QCOMPARE(shell.opened, QStringList{box.Comments->text()});
        QVERIFY(box.Comments->text().startsWith(QStringLiteral("https://")));
        QVERIFY(box.isVisible()); // the box stays open behind the browser

        QTest::mouseClick(box.Comments, Qt::RightButton);
        QCOMPARE(shell.opened.size(), 1);
        box.close();
    }
};

QTEST_MAIN(TestInfo)
#include "tst_info.moc"
