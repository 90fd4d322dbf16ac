#pragma once

#include "core/PrintDocument.h"

#include <QDateTime>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>

class QWidget;

#include <functional>
#include <optional>

namespace tafelix {

// The narrow seams between the windows and the desktop. The main window receives them in its
// constructor; tests hand in scripted doubles so that every box, dialog, sound, clock tick
// and random draw is under their control.

enum class MsgKind { Warning, Error, Information, Confirmation }; // "Warnung", "Fehler", ...

enum MsgButton : int {
    NoButton = 0,
    OkButton = 1,
    CancelButton = 2,
    YesButton = 4,
    NoAnswerButton = 8,
    OverwriteButton = 16, // "Überschreiben"
    SaveAsButton = 32     // "Speichern unter…"
};
using MsgButtons = int;

struct FileDialogOptions {
    QString folder;   // initial folder
    QString fileName; // preset name
    QString filterLabel = QStringLiteral("Vokabeldatei");
    QString pattern = QStringLiteral("*.vkb");
    // Several entries "Label (*.ext)" in place of the one above; in a save dialog the entry
    // the user picks also gives the extension added to a name typed without one.
    QStringList filters;
    QString defaultSuffix; // added when the user types a name without one
    bool confirmOverwrite = false;
};

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // A modal box whose top-left corner sits at `topLeft` on the screen. Returns the button
    // pressed, or NoButton when the box was closed through its frame.
    virtual MsgButton messageBox(MsgKind kind, const QString& text, MsgButtons buttons,
                                 QPoint topLeft) = 0;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<QString> openFile(const FileDialogOptions& options) = 0;
    virtual std::optional<QString> saveFile(const FileDialogOptions& options) = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual QDateTime now() = 0;
};

class IRandom {
public:
    virtual ~IRandom() = default;
    virtual void seed(quint64 value) = 0;
    // Uniform in 0 .. n - 1; 0 when n <= 0.
    virtual int below(int n) = 0;
};

class ISound {
public:
    virtual ~ISound() = default;
    // Starts playing a WAV file and returns at once, cutting off a sound still playing.
    // Every failure is silent.
    virtual void play(const QString& wavPath) = 0;
    virtual void stop() = 0;
};

// Speaks words through the desktop's speech engine. Nothing here waits for the engine: it is
// started in the background, and what is asked for meanwhile follows once it is up.
// Languages are BCP 47 codes ("en", "fr-CH").
class ISpeech {
public:
    virtual ~ISpeech() = default;
    // Starts the engine in the background unless it was started before; returns at once.
    virtual void start() = 0;
    // Speaks `text`, cutting off only this program's own word if one is still being spoken;
    // what other programs say (a screen reader) is never cut off. Starts the engine if need
    // be and returns at once; every failure (no engine, no voice for the language) is silent.
    virtual void speak(const QString& text, const QString& language) = 0;
    // Starts the engine if need be; `ready` runs later on the user-interface thread, once
    // languages() and unavailable() tell the outcome. Never runs inside the call itself.
    virtual void whenReady(std::function<void()> ready) = 0;
    // The questions below start nothing: before start() the engine is simply not ready.
    virtual bool isReady() = 0;
    // The languages with an installed voice; empty while the engine starts or without one.
    virtual QStringList languages() = 0;
    // Why nothing can be spoken at all, in the learner's words; empty while the engine
    // starts and when it works.
    virtual QString unavailable() = 0;
};

class IShell {
public:
    virtual ~IShell() = default;
    // Hands a file or web address to the desktop's default handler and returns at once.
    // When `failed` is given, it runs later on the user-interface thread if there is no
    // handler or the handler reports failure; it never runs inside open() itself.
    virtual void open(const QString& pathOrUrl, std::function<void()> failed = nullptr) = 0;
};

class IClipboard {
public:
    virtual ~IClipboard() = default;
    virtual QString text() = 0;
    virtual void setText(const QString& text) = 0;
};

// What became of a print job. A job the printer still works on when the printer gives up
// waiting counts as printed: paper and toner are the printer's own business.
struct PrintResult {
    QString failure; // why nothing (or not all) was printed, in the learner's words
    bool ok() const { return failure.isEmpty(); }
};

class IPrinter {
public:
    virtual ~IPrinter() = default;
    // Whether a default printer is chosen; without one nothing can be printed.
    virtual bool available() = 0;
    // The printer set-up dialog (printer, paper, orientation); the choices last for the run.
    virtual void setup(QWidget* parent) = 0;
    // Prints the document as one job of that title.
    virtual PrintResult print(const PrintDocument& document, const QString& jobTitle) = 0;
    // One page with the picture stretched over the middle of the printable area, in
    // landscape for this job when the printer is set to portrait.
    virtual PrintResult printPicture(const QImage& picture, const QString& jobTitle) = 0;
};

struct Platform {
    IDialogs& dialogs;
    IClock& clock;
    IRandom& random;
    ISound& sound;
    IShell& shell;
    IClipboard& clipboard;
    IPrinter& printer;
    ISpeech& speech;
};

// Shows the busy cursor for as long as it lives, so an early return cannot leave it stuck.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace tafelix
