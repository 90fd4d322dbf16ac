#include "UiTestSupport.h"

#include "platform/Cp1252Text.h"
#include "ui/fail.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace tafelix::test {

namespace {
struct GermanLocale {
    GermanLocale() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
} const germanLocale;
} // namespace

void UiTest::cleanup()
{
    // A window that is on its way out gets a moment to go.
    const auto openWindow = []() -> QWidget* {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                return w;
        return nullptr;
    };
    if (QTest::qWaitFor([&] { return !openWindow(); }))
        return;
    if (const QWidget* w = openWindow())
        QFAIL(qPrintable(QStringLiteral("still open: ") + w->objectName() + QLatin1Char(' ') +
                         QString::fromLatin1(w->metaObject()->className())));
}

TempProgramFolder::TempProgramFolder()
{
    QDir d(dir_.path());
    d.mkpath(QStringLiteral("SysDat"));
    d.mkpath(QStringLiteral("Vokabeln"));
    d.mkpath(QStringLiteral("Ausgabe"));
    d.mkpath(QStringLiteral("helpfiles"));
    const QString tmpl = QStringLiteral(TAFELIX_PROGRAM_TEMPLATE) + QStringLiteral("/SysDat/");
    for (const char* name : {"Init.dat", "Statistik.dat", "plop.wav", "conk.wav", "emblem.jpg"})
        QFile::copy(tmpl + QString::fromLatin1(name),
                    file(QStringLiteral("SysDat/") + QString::fromLatin1(name)));
}

void TempProgramFolder::write(const QString& relative, const QByteArray& bytes) const
{
    QFile f(file(relative));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray TempProgramFolder::read(const QString& relative) const
{
    QFile f(file(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TempProgramFolder::exists(const QString& relative) const
{
    return QFile::exists(file(relative));
}

Harness::Harness(std::optional<QString> fileArg, bool show)
{
    if (show)
        start(std::move(fileArg), show);
}

void Harness::start(std::optional<QString> fileArg, bool show)
{
    const Platform p = doubles.platform();
    form = std::make_unique<TForm1>(*table,
                                    Platform{dialogs ? *dialogs : p.dialogs, p.clock, p.random,
                                             p.sound, p.shell, p.clipboard, p.printer, p.speech},
                                    ProgramFolder(toLocalPath(folder.path())), std::move(fileArg));
    if (show) {
        form->show();
        if (!QTest::qWaitForWindowActive(form.get()))
            qWarning("the main window did not become active");
        // The settings are read once the window is on screen.
        if (!QTest::qWaitFor([this] { return form->hasBeenActivated(); }))
            qWarning("the main window was never activated");
    }
}

Harness::~Harness()
{
    if (form) {
        // The exit sequence may ask questions of its own; a test that cares scripts them.
        form->hide();
        form.reset();
    }
}

void Harness::restart(std::optional<QString> fileArg)
{
    form->close();
    form.reset();
    start(std::move(fileArg));
}

QWidget* focused()
{
    return QApplication::focusWidget();
}

bool clickInto(QWidget* w, std::optional<QPoint> pos)
{
    // A click into another window of the program activates it first.
    if (QApplication::activeWindow() != w->window())
        w->window()->activateWindow();
    QWidget* window = w->window();
    if (!QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }))
        return false;
    QPoint at = pos.value_or(w->rect().center());
    QWidget* target = w;
    if (QWidget* child = w->childAt(at)) {
        at = child->mapFrom(w, at);
        target = child;
    }
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, at);
    QWidget* f = focused();
    return f && (f == w || f == w->focusProxy() || w->isAncestorOf(f));
}

bool tabInto(QWidget* w)
{
    for (int i = 0; i < 60 && focused() != w; ++i) {
        if (!focused())
            return false;
        QTest::keyClick(focused(), Qt::Key_Tab);
    }
    return focused() == w;
}

void typeText(const QString& text)
{
    for (const QChar c : text) {
        QWidget* f = focused();
        if (!f) {
            qWarning("no widget has the focus");
            return;
        }
        // Qt Test maps only ASCII to keys; other letters come as their code with the text,
        // as a German keyboard's umlaut keys do.
        const Qt::Key key = c.unicode() < 0x80
                                ? Qt::Key(QTest::asciiToKey(static_cast<char>(c.unicode())))
                                : (c.toUpper().unicode() <= 0xFF ? Qt::Key(c.toUpper().unicode())
                                                                 : Qt::Key_unknown);
        QTest::sendKeyEvent(QTest::Click, f, key, QString(c), Qt::NoModifier);
    }
}

void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    if (QWidget* f = focused())
        QTest::keyClick(f, key, modifiers);
    else
        qWarning("no widget has the focus");
}

void onNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    auto deadline = std::make_shared<QElapsedTimer>();
    deadline->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, deadline, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        } else if (deadline->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            qWarning("no modal dialog appeared");
        }
    });
    timer->start();
}

void answerCorrection(bool confirmWrong)
{
    onNextModal([confirmWrong](QWidget* modal) {
        auto* dlg = qobject_cast<TOKBottomDlg*>(modal);
        if (!dlg) {
            qWarning("expected the wrong-answer dialog");
            modal->close();
            return;
        }
        (confirmWrong ? dlg->OKBtn : dlg->Button1)->click();
    });
}

QStringList Harness::surprises() const
{
    return doubles.dialogs.unexpected + doubles.dialogs.pending();
}

QByteArray logBytes(const std::vector<StatisticsRecord>& records)
{
    return QByteArray(reinterpret_cast<const char*>(records.data()),
                      static_cast<qsizetype>(records.size() * sizeof(StatisticsRecord)));
}

QByteArray settingsBytes(const SettingsRecord& record)
{
    const SettingsBytes bytes = encodeSettingsRecord(record);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

QByteArray vkb(std::initializer_list<std::array<const char*, 6>> words)
{
    QByteArray out("VKB Vokabeldatei\r\n");
    for (const auto& w : words)
        for (const char* line : w)
            out += QByteArray(line) + "\r\n";
    return out;
}

} // namespace tafelix::test
