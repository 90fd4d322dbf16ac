// The speech seam: the widget tests' double and the real module must answer the same
// questions the same way (which of them starts the engine, when it is ready, what it
// reports), and the real module must be a good neighbour to a screen reader and let the
// program end while the daemon hangs.
//
// The real module talks to a stand-in daemon served here: it speaks the daemon's protocol,
// lists three voices, keeps every command it was sent, and can be told to answer nothing.
// Each real engine loads its own copy of the module, so whether a copy is mapped tells
// whether that engine was started.
#include "TestDoubles.h"
#include "platform/QtPlatform.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace tafelix;

namespace {

const QString kNoDaemon = QStringLiteral("speech-dispatcher");

class StandInDaemon : public QObject {
public:
    bool answers = true;
    int connections = 0;
    QStringList commands; // every command line, and the text of each SPEAK as "text: ..."

    explicit StandInDaemon(const QString& path)
    {
        server_.listen(path);
        connect(&server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* s = server_.nextPendingConnection()) {
                ++connections;
                sockets_ << s;
                connect(s, &QLocalSocket::readyRead, this, [this, s] { read(s); });
            }
        });
    }
    // Lets go of every client, as a daemon that ends does.
    void hangUp()
    {
        for (QLocalSocket* s : std::as_const(sockets_))
            s->abort();
    }

private:
    void read(QLocalSocket* s)
    {
        while (s->canReadLine()) {
            const QString line = QString::fromUtf8(s->readLine()).trimmed();
            if (!answers)
                continue;
            if (inText_) {
                if (line == QLatin1String(".")) {
                    inText_ = false;
                    s->write("225-1\r\n225 OK MESSAGE QUEUED\r\n");
                } else {
                    commands << QStringLiteral("text: ") + line;
                }
                continue;
            }
            commands << line;
            const QString upper = line.toUpper();
            if (upper == QLatin1String("LIST SYNTHESIS_VOICES")) {
                s->write("249-English (America)\ten-US\tnone\r\n"
                         "249-French (France)\tfr-FR\tnone\r\n"
                         "249-German\tde\tnone\r\n"
                         "249 OK VOICE LIST SENT\r\n");
            } else if (upper == QLatin1String("SPEAK")) {
                inText_ = true;
                s->write("230 OK RECEIVING DATA\r\n");
            } else {
                s->write("200 OK\r\n");
            }
        }
    }

    QLocalServer server_;
    QList<QLocalSocket*> sockets_;
    bool inText_ = false;
};

// One engine under test, with what only its own kind can tell or do.
class Engine {
public:
    virtual ~Engine() = default;
    virtual ISpeech& speech() = 0;
    virtual bool started() = 0;
    // Lets the engine come up: the double waits for the test, the real one for the daemon.
    virtual void comeUp() = 0;
};

class DoubleEngine : public Engine {
public:
    explicit DoubleEngine(bool daemon)
    {
        speech_.voices = {QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("fr")};
        if (!daemon)
            speech_.reason = QStringLiteral("Keine Sprachausgabe: speech-dispatcher ist nicht "
                                            "installiert oder startet nicht.");
    }
    ISpeech& speech() override { return speech_; }
    bool started() override { return speech_.started; }
    void comeUp() override { speech_.finishStarting(); }

private:
    RecordingSpeech speech_;
};

class ModuleEngine : public Engine {
public:
    explicit ModuleEngine(bool daemon)
    {
        const QString socket = dir_.filePath(QStringLiteral("speechd.sock"));
        qputenv("SPEECHD_ADDRESS", "unix_socket:" + QFile::encodeName(socket));
        // Never the real daemon: without the stand-in nobody serves the socket.
        qputenv("SPEECHD_CMD", "/nonexistent/speech-dispatcher");
        if (daemon)
            daemon_ = std::make_unique<StandInDaemon>(socket);
        copy_ = dir_.filePath(QString::fromLatin1(kSpeechModule));
        QFile::copy(QStringLiteral(TAFELIX_MODULE_DIR "/") + QString::fromLatin1(kSpeechModule),
                    copy_);
        speech_ = std::make_unique<QtSpeech>(QStringList{dir_.path()});
    }
    ~ModuleEngine() override
    {
        speech_.reset();
        qunsetenv("SPEECHD_ADDRESS");
        qunsetenv("SPEECHD_CMD");
    }
    ISpeech& speech() override { return *speech_; }
    bool started() override
    {
        QFile maps(QStringLiteral("/proc/self/maps"));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(QFile::encodeName(copy_));
    }
    void comeUp() override {}
    StandInDaemon* daemon() { return daemon_.get(); }
    void endSpeech() { speech_.reset(); }

private:
    QTemporaryDir dir_;
    QString copy_;
    std::unique_ptr<StandInDaemon> daemon_;
    std::unique_ptr<QtSpeech> speech_;
};

std::unique_ptr<Engine> make(bool real, bool daemon)
{
    if (real)
        return std::make_unique<ModuleEngine>(daemon);
    return std::make_unique<DoubleEngine>(daemon);
}

// The engine's threads of this process, by the name the module gives them: other threads
// (Qt's, or one an earlier case left inside its daemon) come and go on their own.
int threadCount()
{
    int n = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task) + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "tafelix-speech")
            ++n;
    }
    return n;
}

} // namespace

class TestSpeechContract : public QObject {
    Q_OBJECT

private slots:
    // Asking about the engine starts nothing; only start(), whenReady() and speak() do.
    void questionsStartNothing_data()
    {
        QTest::addColumn<bool>("real");
        QTest::addColumn<bool>("daemon");
        QTest::newRow("double") << false << true;
        QTest::newRow("module") << true << true;
        QTest::newRow("double without daemon") << false << false;
        QTest::newRow("module without daemon") << true << false;
    }
    void questionsStartNothing()
    {
        QFETCH(bool, real);
        QFETCH(bool, daemon);
        const auto engine = make(real, daemon);
        ISpeech& s = engine->speech();
        QVERIFY(!s.isReady());
        QVERIFY(s.languages().isEmpty());
        QVERIFY(s.unavailable().isEmpty());
        QVERIFY(!engine->started());
    }

    void startingTellsTheOutcomeLater_data()
    {
        QTest::addColumn<bool>("real");
        QTest::addColumn<bool>("daemon");
        QTest::addColumn<int>("how"); // 0 start(), 1 whenReady(), 2 speak()
        for (const bool real : {false, true})
            for (const bool daemon : {true, false})
                for (int how = 0; how < 3; ++how)
                    QTest::addRow("%s%s, %s", real ? "module" : "double",
                                  daemon ? "" : " without daemon",
                                  std::array{"start", "whenReady", "speak"}[how])
                        << real << daemon << how;
    }
    void startingTellsTheOutcomeLater()
    {
        QFETCH(bool, real);
        QFETCH(bool, daemon);
        QFETCH(int, how);
        const auto engine = make(real, daemon);
        ISpeech& s = engine->speech();
        int calls = 0;
        if (how == 0)
            s.start();
        else if (how == 1)
            s.whenReady([&calls] { ++calls; });
        else
            s.speak(QStringLiteral("house"), QStringLiteral("en"));
        QVERIFY(engine->started());
        QVERIFY(!s.isReady()); // never inside the call
        QCOMPARE(calls, 0);
        engine->comeUp();
        QVERIFY(QTest::qWaitFor([&s] { return s.isReady(); }, 20000));
        if (how == 1)
            QVERIFY(QTest::qWaitFor([&calls] { return calls == 1; }));
        if (daemon) {
            QCOMPARE(s.languages(), (QStringList{QStringLiteral("de"), QStringLiteral("en"),
                                                 QStringLiteral("fr")}));
            QVERIFY2(s.unavailable().isEmpty(), qPrintable(s.unavailable()));
        } else {
            QVERIFY(s.languages().isEmpty());
            QVERIFY2(s.unavailable().contains(kNoDaemon), qPrintable(s.unavailable()));
        }
        // Once ready, a new callback still runs later, not inside the call, and once.
        int late = 0;
        s.whenReady([&late] { ++late; });
        QCOMPARE(late, 0);
        QVERIFY(QTest::qWaitFor([&late] { return late == 1; }));
        QCOMPARE(calls, how == 1 ? 1 : 0);
    }

    // Under the priority chosen for words, another program's message (a screen reader's)
    // is never cut off; and only this program's own speech is ever cancelled.
    void wordsCancelOnlyTheirOwnSpeech()
    {
        ModuleEngine engine(true);
        ISpeech& s = engine.speech();
        const QStringList& sent = engine.daemon()->commands;
        s.speak(QStringLiteral("house"), QStringLiteral("en"));
        QVERIFY(QTest::qWaitFor([&sent] { return sent.contains(QStringLiteral("text: house")); }));
        s.speak(QStringLiteral("maison"), QStringLiteral("fr-CH")); // a voice of another region
        QVERIFY(QTest::qWaitFor([&sent] { return sent.contains(QStringLiteral("text: maison")); }));
        QCOMPARE(sent.count(QStringLiteral("LIST SYNTHESIS_VOICES")), 1); // asked once
        QVERIFY(sent.contains(QStringLiteral("SET SELF LANGUAGE en-US")));
        QVERIFY(sent.contains(QStringLiteral("SET SELF LANGUAGE fr-FR")));
        for (const QString& c : sent) {
            if (c.startsWith(QStringLiteral("SET SELF PRIORITY"), Qt::CaseInsensitive))
                QCOMPARE(c.toUpper(), QStringLiteral("SET SELF PRIORITY NOTIFICATION"));
            if (c.startsWith(QStringLiteral("CANCEL"), Qt::CaseInsensitive) ||
                c.startsWith(QStringLiteral("STOP"), Qt::CaseInsensitive))
                QCOMPARE(c.toUpper().section(QLatin1Char(' '), 1), QStringLiteral("SELF"));
        }
        QVERIFY(sent.count(QStringLiteral("CANCEL SELF")) >= 1);
    }

    // A daemon that takes a connection and never answers: the engine reports it after its
    // limit, the end does not wait for it, and the engine's thread, let go, finishes later
    // without anything it uses having been freed.
    void aHangingDaemonDoesNotHoldUpTheEnd()
    {
        // Threads of earlier cases end as their daemons go; this case counts its own.
        QVERIFY(QTest::qWaitFor([] { return threadCount() == 0; }));
        const int before = threadCount();
        ModuleEngine engine(true);
        StandInDaemon* daemon = engine.daemon();
        daemon->answers = false;
        engine.speech().speak(QStringLiteral("house"), QStringLiteral("en"));
        QVERIFY(QTest::qWaitFor([daemon] { return daemon->connections == 1; }));
        QCOMPARE(threadCount(), before + 1);
        engine.endSpeech();                  // would never return if it waited for the daemon
        QCOMPARE(threadCount(), before + 1); // still inside the daemon
        daemon->hangUp();
        QVERIFY(QTest::qWaitFor([before] { return threadCount() == before; }));
    }
};

QTEST_MAIN(TestSpeechContract)
#include "tst_speech_contract.moc"
