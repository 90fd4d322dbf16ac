#pragma once

#include "Platform.h"

#include <QObject>
#include <QStringList>

#include <deque>
#include <vector>

namespace tafelix {

// A message box, file dialog or sound as the windows asked for it.
struct ShownBox {
    MsgKind kind;
    QString text;
    MsgButtons buttons;
    QPoint topLeft;
};

// Answers every box and dialog from a script. A box nobody scripted is recorded as
// unexpected and answered with NoButton, so a test can prove that no stray message appeared.
class ScriptedDialogs : public IDialogs {
public:
    // The next box must contain `textPart`; it is answered with `answer`.
    void expectBox(const QString& textPart, MsgButton answer);
    // The next open / save dialog returns `path` (nullopt = cancelled).
    void expectOpen(std::optional<QString> path);
    void expectSave(std::optional<QString> path);

    MsgButton messageBox(MsgKind kind, const QString& text, MsgButtons buttons,
                         QPoint topLeft) override;
    std::optional<QString> openFile(const FileDialogOptions& options) override;
    std::optional<QString> saveFile(const FileDialogOptions& options) override;

    std::vector<ShownBox> shown;
    std::vector<FileDialogOptions> openDialogs, saveDialogs;
    QStringList unexpected; // boxes and dialogs that no script answered
    // What is still scripted but was never asked for.
    QStringList pending() const;

private:
    struct Expected {
        QString textPart;
        MsgButton answer;
    };
    std::deque<Expected> boxes_;
    std::deque<QString> opens_, saves_; // a null string means "cancelled"
};

class FakeClock : public IClock {
public:
    QDateTime time = QDateTime(QDate(2024, 3, 5), QTime(10, 0, 0));
    QDateTime now() override { return time; }
};

class FakeRandom : public IRandom {
public:
    int value = 0; // what below() returns, kept inside 0 .. n - 1
    std::vector<quint64> seeds;
    void seed(quint64 v) override { seeds.push_back(v); }
    int below(int n) override { return n <= 0 ? 0 : (value % n); }
};

class RecordingSound : public ISound {
public:
    QStringList played;
    int stops = 0;
    void play(const QString& wavPath) override { played << wavPath; }
    void stop() override { ++stops; }
};

// A speech engine that says nothing and keeps what it was asked to speak. Like the real one
// it is started by start(), speak() and whenReady(), never by a question; it becomes ready
// only when the test calls finishStarting(), so a test controls when the engine is up.
class RecordingSpeech : public ISpeech {
public:
    struct Spoken {
        QString text, language;
    };
    std::vector<Spoken> spoken;
    QStringList voices = {QStringLiteral("en"), QStringLiteral("fr"), QStringLiteral("la")};
    QString reason;       // what unavailable() reports once started
    bool started = false; // start(), speak() or whenReady() came

    void start() override;
    void speak(const QString& text, const QString& language) override;
    void whenReady(std::function<void()> done) override;
    bool isReady() override { return ready_; }
    QStringList languages() override { return ready_ && reason.isEmpty() ? voices : QStringList(); }
    QString unavailable() override { return ready_ ? reason : QString(); }
    // The engine is up: every waiting whenReady() callback runs. Before start() it only
    // marks the engine to be up as soon as it is started.
    void finishStarting();

private:
    void becomeReady();

    bool up_ = false;
    bool ready_ = false;
    std::vector<std::function<void()>> waiting_;
    QObject context_; // calls that come later die with the engine, as with the real one
};

// Keeps what was opened. With `fails` set it behaves like a desktop without a viewer: the
// failure is reported from the event loop, as the real opener reports it.
class RecordingShell : public IShell {
public:
    QStringList opened;
    bool fails = false;
    void open(const QString& pathOrUrl, std::function<void()> failed = nullptr) override;
};

class MemoryClipboard : public IClipboard {
public:
    QString content;
    QString text() override { return content; }
    void setText(const QString& text) override { content = text; }
};

// A printer that keeps what it was given instead of printing it. With `refusal` set it
// refuses every job with that reason, as a queue that rejects jobs does.
class RecordingPrinter : public IPrinter {
public:
    bool present = true;
    QString refusal;
    int setups = 0;
    struct Job {
        QString title;
        PrintDocument document;
        QImage picture;
    };
    std::vector<Job> jobs;
    bool available() override { return present; }
    void setup(QWidget*) override { ++setups; }
    PrintResult print(const PrintDocument& document, const QString& jobTitle) override
    {
        if (const PrintResult r = accept(); !r.ok())
            return r;
        jobs.push_back({jobTitle, document, {}});
        return {};
    }
    PrintResult printPicture(const QImage& picture, const QString& jobTitle) override
    {
        if (const PrintResult r = accept(); !r.ok())
            return r;
        jobs.push_back({jobTitle, {}, picture});
        return {};
    }

private:
    PrintResult accept() const
    {
        if (!present)
            return {QStringLiteral("Zur Zeit ist kein Standard-Drucker gewählt")};
        return {refusal};
    }
};

// All doubles in one place, with the Platform the main window wants.
struct TestPlatform {
    ScriptedDialogs dialogs;
    FakeClock clock;
    FakeRandom random;
    RecordingSound sound;
    RecordingShell shell;
    MemoryClipboard clipboard;
    RecordingPrinter printer;
    RecordingSpeech speech;
    Platform platform()
    {
        return Platform{dialogs, clock, random, sound, shell, clipboard, printer, speech};
    }
};

} // namespace tafelix
