#include "QtPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace tafelix {

namespace {

// Tells a close through the window frame apart from a button: only the frame goes through
// closeEvent, Escape and Enter press a button.
class PositionedMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool closedByFrame = false;

protected:
    void closeEvent(QCloseEvent* e) override
    {
        closedByFrame = true;
        QMessageBox::closeEvent(e);
    }
};

QString titleFor(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Warning:
        return QStringLiteral("Warnung");
    case MsgKind::Error:
        return QStringLiteral("Fehler");
    case MsgKind::Information:
        return QStringLiteral("Information");
    case MsgKind::Confirmation:
        return QStringLiteral("Bestätigung");
    }
    return {};
}

QMessageBox::Icon iconFor(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Warning:
        return QMessageBox::Warning;
    case MsgKind::Error:
        return QMessageBox::Critical;
    case MsgKind::Information:
        return QMessageBox::Information;
    case MsgKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

void prepare(QFileDialog& dlg, const FileDialogOptions& o)
{
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    // Qt's own dialog shows a filter's pattern beside its label unless told not to; the
    // learner reads just "Vokabeldatei".
    dlg.setOption(QFileDialog::HideNameFilterDetails, true);
    if (o.filters.isEmpty()) {
        dlg.setNameFilter(QStringLiteral("%1 (%2)").arg(o.filterLabel, o.pattern));
    } else {
        dlg.setNameFilters(o.filters);
        // "liste" typed under "CSV" must become liste.csv, not liste.kvtml: the format
        // follows the extension. With the details hidden the dialog reports only the label.
        QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg,
                         [&dlg, filters = o.filters](const QString& label) {
                             static const QRegularExpression suffix(
                                 QStringLiteral("\\(\\*\\.(\\w+)"));
                             for (const QString& f : filters)
                                 if (f == label || f.startsWith(label + QStringLiteral(" (")))
                                     if (const auto m = suffix.match(f); m.hasMatch())
                                         dlg.setDefaultSuffix(m.captured(1));
                         });
    }
    if (!o.folder.isEmpty())
        dlg.setDirectory(o.folder);
    if (!o.fileName.isEmpty())
        dlg.selectFile(o.fileName);
}

} // namespace

MsgButton QtDialogs::messageBox(MsgKind kind, const QString& text, MsgButtons buttons,
                                QPoint topLeft)
{
    PositionedMessageBox box(iconFor(kind), titleFor(kind), text, QMessageBox::NoButton, owner_);
    QHash<QAbstractButton*, MsgButton> map;
    auto add = [&](MsgButton b, const char* caption, QMessageBox::ButtonRole role) {
        if (buttons & b)
            map.insert(box.addButton(QString::fromUtf8(caption), role), b);
    };
    add(YesButton, "Ja", QMessageBox::YesRole);
    add(NoAnswerButton, "Nein", QMessageBox::NoRole);
    add(OkButton, "OK", QMessageBox::AcceptRole);
    add(OverwriteButton, "Überschreiben", QMessageBox::AcceptRole);
    add(SaveAsButton, "Speichern unter…", QMessageBox::ActionRole);
    add(CancelButton, "Abbrechen", QMessageBox::RejectRole);
    // Enter alone must never replace a file that someone else has changed.
    if (buttons & OverwriteButton)
        box.setDefaultButton(qobject_cast<QPushButton*>(map.key(CancelButton)));
    // A box placed by hand keeps its place; Qt only centres boxes that were not moved.
    box.move(topLeft);
    box.exec();
    if (box.closedByFrame)
        return NoButton;
    return map.value(box.clickedButton(), NoButton);
}

std::optional<QString> QtDialogs::openFile(const FileDialogOptions& options)
{
    QFileDialog dlg(owner_, QStringLiteral("Öffnen"));
    prepare(dlg, options);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name need not exist; loading it then reports "Datei nicht gefunden".
    dlg.setFileMode(QFileDialog::AnyFile);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().constFirst();
}

std::optional<QString> QtDialogs::saveFile(const FileDialogOptions& options)
{
    QFileDialog dlg(owner_, QStringLiteral("Speichern unter"));
    prepare(dlg, options);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(options.defaultSuffix);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().constFirst();
}

int StdRandom::below(int n)
{
    if (n <= 0)
        return 0;
    std::uniform_int_distribution<int> dist(0, n - 1);
    return dist(engine_);
}

QtSound::QtSound(QStringList moduleDirs, std::function<void(const QString&)> tellMissing)
    : module_(kSoundModule, std::move(moduleDirs)), tellMissing_(std::move(tellMissing))
{
    if (!tellMissing_)
        tellMissing_ = [](const QString& message) {
            // Not inside the drill's handler that asked for the sound: the box would run an
            // event loop in the middle of an answer.
            QTimer::singleShot(0, qApp, [message] {
                QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("Warnung"),
                                     message);
            });
        };
}

QtSound::~QtSound() = default;

ISound* QtSound::player()
{
    if (!player_)
        if (auto create = reinterpret_cast<CreateSoundModule>(module_.resolve(kCreateSoundModule)))
            player_.reset(create());
    if (!player_ && !told_) {
        told_ = true;
        tellMissing_(QStringLiteral("Tafelix kann keine Töne abspielen: Der Programmteil für "
                                    "den Ton (%1) fehlt oder ist beschädigt. Bitte installieren "
                                    "Sie Tafelix neu.")
                         .arg(module_.describe()));
    }
    return player_.get();
}

void QtSound::play(const QString& wavPath)
{
    if (ISound* p = player())
        p->play(wavPath);
}

void QtSound::stop()
{
    // Nothing can be playing before the module is there.
    if (player_)
        player_->stop();
}

QtSpeech::QtSpeech(QStringList moduleDirs) : module_(kSpeechModule, std::move(moduleDirs)) {}

QtSpeech::~QtSpeech() = default;

void QtSpeech::start()
{
    if (engine_ || missing_)
        return;
    if (auto create = reinterpret_cast<CreateSpeechModule>(module_.resolve(kCreateSpeechModule)))
        engine_.reset(create());
    missing_ = !engine_;
}

void QtSpeech::speak(const QString& text, const QString& language)
{
    start();
    if (engine_)
        engine_->speak(text, language);
}

void QtSpeech::whenReady(std::function<void()> ready)
{
    start();
    if (engine_)
        engine_->whenReady(std::move(ready));
    else
        QTimer::singleShot(0, QCoreApplication::instance(), std::move(ready));
}

bool QtSpeech::isReady()
{
    return engine_ ? engine_->isReady() : missing_;
}

QStringList QtSpeech::languages()
{
    return engine_ ? engine_->languages() : QStringList();
}

QString QtSpeech::unavailable()
{
    if (engine_)
        return engine_->unavailable();
    if (missing_)
        return QStringLiteral("Keine Sprachausgabe: %1 fehlt oder ist beschädigt.")
            .arg(module_.describe());
    return {};
}

void QtShell::open(const QString& pathOrUrl, std::function<void()> failed)
{
    const QUrl url = pathOrUrl.contains(QStringLiteral("://")) ? QUrl(pathOrUrl)
                                                               : QUrl::fromLocalFile(pathOrUrl);
    if (!failed) {
        QDesktopServices::openUrl(url);
        return;
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        QTimer::singleShot(0, qApp, std::move(failed));
        return;
    }
    // xdg-open may wait for the viewer to end, so the process is only watched, never waited
    // for. It belongs to the application, which outlives any window that asked; at the end it
    // is let go rather than destroyed, because destroying a QProcess kills the viewer.
    auto* process = new QProcess(qApp);
    process->setProgram(opener);
    process->setArguments(
        {url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, process,
                     [process] { process->setParent(nullptr); });
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status != QProcess::NormalExit || exitCode != 0)
                             failed();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         process->deleteLater();
                         failed();
                     });
    process->start();
}

QString QtClipboard::text()
{
    return QApplication::clipboard()->text();
}

void QtClipboard::setText(const QString& text)
{
    QApplication::clipboard()->setText(text);
}

BusyCursor::BusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    QApplication::restoreOverrideCursor();
}

} // namespace tafelix
