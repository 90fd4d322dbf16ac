#pragma once

#include "Platform.h"

#include <QHash>
#include <random>

class QSoundEffect;
class QWidget;

namespace tafelix {

// The real seams: Qt's message boxes and file dialogs, the system clock, a seeded
// generator, QSoundEffect and the desktop's default handlers.

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

class QtSound : public ISound {
public:
    ~QtSound() override;
    void play(const QString& wavPath) override;
    void stop() override;

private:
    // One effect per file, made at its first use: creating the audio back-end costs time
    // that start-up should not pay.
    QHash<QString, QSoundEffect*> effects_;
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
