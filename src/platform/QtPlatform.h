#pragma once

#include "Modules.h"

#include <functional>
#include <memory>
#include <random>

class QWidget;

namespace tafelix {

// The real seams: Qt's message boxes and file dialogs, the system clock, a seeded
// generator, QSoundEffect (in its module) and the desktop's default handlers.

class QtDialogs : public IDialogs {
public:
    explicit QtDialogs(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }
    MsgButton messageBox(MsgKind kind, const QString& text, MsgButtons buttons,
                         QPoint topLeft) override;
    std::optional<QString> openFile(const FileDialogOptions& options) override;
    std::optional<QString> saveFile(const FileDialogOptions& options) override;

private:
    QWidget* owner_;
};

class QtClock : public IClock {
public:
    QDateTime now() override { return QDateTime::currentDateTime(); }
};

class StdRandom : public IRandom {
public:
    void seed(quint64 value) override { engine_.seed(value); }
    int below(int n) override;

private:
    std::mt19937_64 engine_{0};
};

// Plays through the sound module, loaded at the first sound. Without the module every sound
// is silent, as any other failure of sound is, but the learner is told once why there is no
// sound (by `tellMissing`, which gets the German message; by default a box after the
// handler that wanted the sound has returned).
class QtSound : public ISound {
public:
    explicit QtSound(QStringList moduleDirs = defaultModuleDirs(),
                     std::function<void(const QString&)> tellMissing = nullptr);
    ~QtSound() override;
    void play(const QString& wavPath) override;
    void stop() override;

private:
    ISound* player();

    ModuleLoader module_;
    std::unique_ptr<ISound> player_;
    std::function<void(const QString&)> tellMissing_;
    bool told_ = false;
};

// Speaks through the speech module, loaded when the engine is started. Without the module
// nothing is spoken, and unavailable() says which file is missing.
class QtSpeech : public ISpeech {
public:
    explicit QtSpeech(QStringList moduleDirs = defaultModuleDirs());
    ~QtSpeech() override;
    void start() override;
    void speak(const QString& text, const QString& language) override;
    void whenReady(std::function<void()> ready) override;
    bool isReady() override;
    QStringList languages() override;
    QString unavailable() override;

private:
    ModuleLoader module_;
    std::unique_ptr<ISpeech> engine_;
    bool missing_ = false; // started, but the module could not be loaded
};

// Opens through xdg-open, watched asynchronously: a desktop without any viewer for the file
// makes it exit non-zero, which QDesktopServices would not tell us.
class QtShell : public IShell {
public:
    void open(const QString& pathOrUrl, std::function<void()> failed = nullptr) override;
};

class QtClipboard : public IClipboard {
public:
    QString text() override;
    void setText(const QString& text) override;
};

} // namespace tafelix
