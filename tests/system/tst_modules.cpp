// Sound, printing and speech as loadable modules: the real ones are found in the later of
// several folders, and a missing or damaged module makes printing and speech say why each
// time, and sound once.
#include "platform/QtPlatform.h"
#include "platform/QtPrinter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace tafelix;

class TestModules : public QObject {
    Q_OBJECT

private slots:
    void realModulesAreFoundInALaterFolder_data();
    void realModulesAreFoundInALaterFolder();
    void withoutPrinterModulePrintingSaysWhy_data();
    void withoutPrinterModulePrintingSaysWhy();
    void withoutSoundModuleTheLearnerIsToldOnce();
    void withTheSoundModuleNothingIsTold();
    void withoutSpeechModuleSpeechSaysWhy();
};

void TestModules::realModulesAreFoundInALaterFolder_data()
{
    QTest::addColumn<QByteArray>("module");
    QTest::addColumn<QByteArray>("factory");
    QTest::newRow("sound") << QByteArray(kSoundModule) << QByteArray(kCreateSoundModule);
    QTest::newRow("printer") << QByteArray(kPrinterModule) << QByteArray(kCreatePrinterModule);
    QTest::newRow("speech") << QByteArray(kSpeechModule) << QByteArray(kCreateSpeechModule);
}

void TestModules::realModulesAreFoundInALaterFolder()
{
    QFETCH(QByteArray, module);
    QFETCH(QByteArray, factory);
    QTemporaryDir empty;
    ModuleLoader loader(module.constData(), {empty.path(), QStringLiteral("/nonexistent"),
                                             QStringLiteral(TAFELIX_MODULE_DIR)});
    QVERIFY(loader.resolve(factory.constData()) != nullptr);
    QCOMPARE(loader.describe(),
             QStringLiteral(TAFELIX_MODULE_DIR "/") + QString::fromLatin1(module));
    QVERIFY(loader.resolve("noSuchFunction") == nullptr);
}

// What a printout and the set-up need: a German message naming the module that failed.
void TestModules::withoutPrinterModulePrintingSaysWhy_data()
{
    QTest::addColumn<QByteArray>("content"); // of the module file; empty: no file at all
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("not a library") << QByteArray("\x7f"
                                                 "ELF but nothing more");
    QTest::newRow("empty file") << QByteArray("", 0);
}

void TestModules::withoutPrinterModulePrintingSaysWhy()
{
    QFETCH(QByteArray, content);
    QTemporaryDir broken;
    const QString path = broken.filePath(QString::fromLatin1(kPrinterModule));
    if (!content.isNull()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    // A damaged module is not passed over for a good one further down: that would not be the
    // one the learner installed.
    QStringList dirs{broken.path()};
    if (!content.isNull())
        dirs << QStringLiteral(TAFELIX_MODULE_DIR);
    QtPrinter printer(dirs);
    QVERIFY(printer.available()); // so that the printout gets to tell why it cannot print
    PrintDocument document;
    document.lines = {"Haus\thouse"};
    const PrintResult text = printer.print(document, QStringLiteral("Vokabeln"));
    QImage picture(10, 10, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const PrintResult diagram = printer.printPicture(picture, QStringLiteral("Statistik"));
    for (const PrintResult& r : {text, diagram}) {
        QVERIFY(!r.ok());
        QVERIFY2(r.failure.startsWith(QStringLiteral("Drucken ist nicht möglich")),
                 qPrintable(r.failure));
        QVERIFY2(r.failure.contains(content.isNull() ? QString::fromLatin1(kPrinterModule) : path),
                 qPrintable(r.failure));
    }
}

void TestModules::withoutSoundModuleTheLearnerIsToldOnce()
{
    QTemporaryDir empty;
    QStringList told;
    QtSound sound({empty.path()}, [&told](const QString& message) { told << message; });
    sound.stop(); // before anything was loaded: nothing to say yet
    QVERIFY(told.isEmpty());
    for (int i = 0; i < 3; ++i)
        sound.play(QStringLiteral(TAFELIX_PROGRAM_TEMPLATE "/SysDat/plop.wav"));
    sound.stop();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.constFirst().startsWith(QStringLiteral("Tafelix kann keine Töne abspielen")),
             qPrintable(told.constFirst()));
    QVERIFY2(told.constFirst().contains(QString::fromLatin1(kSoundModule)),
             qPrintable(told.constFirst()));
}

void TestModules::withTheSoundModuleNothingIsTold()
{
    QStringList told;
    QtSound sound({QStringLiteral(TAFELIX_MODULE_DIR)},
                  [&told](const QString& message) { told << message; });
    sound.play(QStringLiteral(TAFELIX_PROGRAM_TEMPLATE "/SysDat/plop.wav"));
    sound.stop();
    QVERIFY2(told.isEmpty(), qPrintable(told.join(u'\n')));
}

void TestModules::withoutSpeechModuleSpeechSaysWhy()
{
    QTemporaryDir empty;
    QtSpeech speech({empty.path()});
    QVERIFY(speech.unavailable().isEmpty()); // nothing was tried yet
    bool ready = false;
    speech.whenReady([&ready] { ready = true; });
    QVERIFY(!ready); // never inside the call
    QVERIFY(QTest::qWaitFor([&ready] { return ready; }));
    QVERIFY(speech.isReady());
    QVERIFY(speech.languages().isEmpty());
    QVERIFY2(speech.unavailable().contains(QString::fromLatin1(kSpeechModule)),
             qPrintable(speech.unavailable()));
    speech.speak(QStringLiteral("house"), QStringLiteral("en"));
}

QTEST_MAIN(TestModules)
#include "tst_modules.moc"
