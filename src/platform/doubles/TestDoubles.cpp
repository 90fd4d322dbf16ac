#include "TestDoubles.h"

#include <QCoreApplication>
#include <QTimer>

#include <utility>

namespace tafelix {

void ScriptedDialogs::expectBox(const QString& textPart, MsgButton answer)
{
    boxes_.push_back({textPart, answer});
}

void ScriptedDialogs::expectOpen(std::optional<QString> path)
{
    opens_.push_back(path.value_or(QString()));
}

void ScriptedDialogs::expectSave(std::optional<QString> path)
{
    saves_.push_back(path.value_or(QString()));
}

MsgButton ScriptedDialogs::messageBox(MsgKind kind, const QString& text, MsgButtons buttons,
                                      QPoint topLeft)
{
    shown.push_back({kind, text, buttons, topLeft});
    if (boxes_.empty() || !text.contains(boxes_.front().textPart)) {
        unexpected << QStringLiteral("box: ") + text;
        return NoButton;
    }
    const MsgButton answer = boxes_.front().answer;
    boxes_.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::openFile(const FileDialogOptions& options)
{
    openDialogs.push_back(options);
    if (opens_.empty()) {
        unexpected << QStringLiteral("open dialog");
        return std::nullopt;
    }
    const QString r = opens_.front();
    opens_.pop_front();
    if (r.isNull())
        return std::nullopt;
    return r;
}

std::optional<QString> ScriptedDialogs::saveFile(const FileDialogOptions& options)
{
    saveDialogs.push_back(options);
    if (saves_.empty()) {
        unexpected << QStringLiteral("save dialog");
        return std::nullopt;
    }
    const QString r = saves_.front();
    saves_.pop_front();
    if (r.isNull())
        return std::nullopt;
    return r;
}

QStringList ScriptedDialogs::pending() const
{
    QStringList out;
    for (const auto& b : boxes_)
        out << QStringLiteral("box: ") + b.textPart;
    for (std::size_t i = 0; i < opens_.size(); ++i)
        out << QStringLiteral("open dialog");
    for (std::size_t i = 0; i < saves_.size(); ++i)
        out << QStringLiteral("save dialog");
    return out;
}

void RecordingShell::open(const QString& pathOrUrl, std::function<void()> failed)
{
    opened << pathOrUrl;
    if (fails && failed)
        QTimer::singleShot(0, QCoreApplication::instance(), std::move(failed));
}

void RecordingSpeech::start()
{
    if (std::exchange(started, true))
        return;
    // Never inside the call, as with the real engine.
    if (up_)
        QTimer::singleShot(0, &context_, [this] { becomeReady(); });
}

void RecordingSpeech::speak(const QString& text, const QString& language)
{
    start();
    spoken.push_back({text, language});
}

void RecordingSpeech::whenReady(std::function<void()> done)
{
    start();
    if (ready_)
        QTimer::singleShot(0, QCoreApplication::instance(), std::move(done));
    else
        waiting_.push_back(std::move(done));
}

void RecordingSpeech::finishStarting()
{
    up_ = true;
    if (started && !ready_)
        becomeReady();
}

void RecordingSpeech::becomeReady()
{
    ready_ = true;
    for (auto& done : std::exchange(waiting_, {}))
        done();
}

} // namespace tafelix
