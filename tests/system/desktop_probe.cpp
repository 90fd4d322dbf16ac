// The program's windows as another desktop shows them, read back from the X server's pixels:
// a desktop theme with its own font and a dark palette (test_desktop.sh sets one up), or a
// screen too small for the window.
//
// Usage: desktop_probe look|reach
//   look   every caption of the dialogs is whole; the coloured texts and the toolbar icons
//          stand out from what is behind them; the pages show no scroll bar at the designed
//          size.
//   reach  every control of every page can be brought into view and then lies wholly inside
//          the window.
// With TAFELIX_SHOTS naming a folder, every window looked at is saved there as a PNG.
// Exit 0 when every check holds; each failure is printed.
#include "UiTestSupport.h"

#include "ui/EditPage.h"
#include "ui/Info.h"
#include "ui/LearnPage.h"
#include "ui/SettingsPage.h"
#include "ui/SpeechPanel.h"
#include "ui/StatisticsPage.h"
#include "ui/chrkt.h"
#include "ui/convertdlg.h"
#include "ui/fail.h"
#include "ui/find.h"
#include "ui/help.h"
#include "ui/print.h"
#include "ui/sort.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <map>

using namespace tafelix;
using namespace tafelix::test;

namespace {

int failures = 0;

void fail(const QString& what)
{
    ++failures;
    std::fprintf(stderr, "FAIL: %s\n", qPrintable(what));
}

void note(const QString& what)
{
    std::printf("%s\n", qPrintable(what));
}

QString nameOf(const QWidget* w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

// ---------------------------------------------------------------- pixels

// What the X server shows of a top-level window, in device pixels.
QImage shot(QWidget* window, const QString& name)
{
    if (!QTest::qWaitForWindowExposed(window))
        fail(name + QStringLiteral(": the window was never exposed"));
    window->raise();
    window->repaint();
    QCoreApplication::processEvents();
    const QImage image = window->screen()->grabWindow(window->winId()).toImage();
    const QString folder = qEnvironmentVariable("TAFELIX_SHOTS");
    if (!folder.isEmpty())
        image.save(QDir(folder).filePath(name + QStringLiteral(".png")));
    return image;
}

// The part of `image` (a shot of `window`) that shows `area` of `w`.
QRect devicePart(const QWidget* window, const QWidget* w, const QImage& image, QRect area)
{
    const qreal ratio = window->devicePixelRatioF();
    area.translate(w->mapTo(window, QPoint(0, 0)));
    const QRect device(qRound(area.x() * ratio), qRound(area.y() * ratio),
                       qRound(area.width() * ratio), qRound(area.height() * ratio));
    return device & image.rect();
}

double luminance(QRgb c)
{
    const auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The background of a part (its most frequent colour) and the ink that stands out most from
// it: the core of a glyph or of an icon's stroke, where no smoothing mixes the two.
struct Ink {
    QRgb background = 0;
    QRgb ink = 0;
    double ratio = 1;
};

Ink inkIn(const QImage& image, const QRect& part)
{
    std::map<QRgb, int> counts;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    Ink ink;
    int most = 0;
    for (const auto& [colour, n] : counts)
        if (n > most) {
            most = n;
            ink.background = colour;
        }
    for (const auto& [colour, n] : counts)
        if (const double r = contrast(colour, ink.background); r > ink.ratio) {
            ink.ratio = r;
            ink.ink = colour;
        }
    return ink;
}

QString hex(QRgb c)
{
    return QColor(c).name();
}

// A coloured text: at least `least` against its background, and drawn in its own colour.
void checkText(QWidget* window, const QImage& image, QLabel* label, QColor colour, double least)
{
    const Ink ink = inkIn(image, devicePart(window, label, image, label->contentsRect()));
    note(QStringLiteral("%1: %2 on %3, contrast %4:1")
             .arg(nameOf(label), hex(ink.ink), hex(ink.background))
             .arg(ink.ratio, 0, 'f', 2));
    if (ink.ratio < least)
        fail(QStringLiteral("%1 \"%2\": contrast %3:1 (%4 on %5), not at least %6:1")
                 .arg(nameOf(label), label->text())
                 .arg(ink.ratio, 0, 'f', 2)
                 .arg(hex(ink.ink), hex(ink.background))
                 .arg(least));
    const QColor seen(ink.ink);
    if (std::abs(seen.red() - colour.red()) > 8 || std::abs(seen.green() - colour.green()) > 8 ||
        std::abs(seen.blue() - colour.blue()) > 8)
        fail(QStringLiteral("%1 is drawn in %2, not in its colour %3")
                 .arg(nameOf(label), hex(ink.ink), colour.name()));
}

// An icon of a button: its strokes must stand out from the button (3:1, as for any graphic
// that carries meaning).
void checkIcon(QWidget* window, const QImage& image, QAbstractButton* button)
{
    const QSize icon = button->iconSize();
    QRect area;
    if (auto* tool = qobject_cast<QToolButton*>(button);
        tool && tool->toolButtonStyle() == Qt::ToolButtonTextUnderIcon)
        area = QRect((button->width() - icon.width()) / 2, 3, icon.width(), icon.height());
    else // beside the caption, on the left of the text
        area =
            QRect(4, (button->height() - icon.height()) / 2,
                  button->width() / 2 - button->fontMetrics().horizontalAdvance(button->text()) / 2,
                  icon.height());
    const Ink ink = inkIn(image, devicePart(window, button, image, area));
    note(QStringLiteral("icon of %1 \"%2\": %3 on %4, contrast %5:1")
             .arg(nameOf(button), button->text(), hex(ink.ink), hex(ink.background))
             .arg(ink.ratio, 0, 'f', 2));
    if (ink.ratio < 3.0)
        fail(QStringLiteral("the icon of \"%1\" hardly stands out: %2:1 (%3 on %4)")
                 .arg(button->text())
                 .arg(ink.ratio, 0, 'f', 2)
                 .arg(hex(ink.ink), hex(ink.background)));
}

// ---------------------------------------------------------------- captions

// Every caption in `window` gets the room its font needs: the widget is at least as large as
// its own size hint (a wrapped label as tall as its text at its width).
void checkCaptions(QWidget* window, const QString& name)
{
    int checked = 0;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window))
            continue;
        QString text;
        QSize needs;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty())
                continue;
            text = label->text();
            needs = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                      : label->sizeHint();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (button->text().isEmpty())
                continue;
            text = button->text();
            needs = button->sizeHint();
            if (qobject_cast<QPushButton*>(w)) {
                // A push button's hint holds the style's taste for a minimum width as well;
                // the caption needs its text, the margin and the frame.
                const QStyle* style = w->style();
                const int room = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w) +
                                 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
                needs = w->fontMetrics().size(Qt::TextShowMnemonic, text) + QSize(room, room);
            }
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            text = group->title();
            needs = group->minimumSizeHint();
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            text = combo->currentText();
            needs = combo->minimumSizeHint();
        } else {
            continue;
        }
        ++checked;
        if (w->width() < needs.width() || w->height() < needs.height())
            fail(QStringLiteral("%1: %2 \"%3\" is %4 x %5, its text needs %6 x %7 (font %8 %9)")
                     .arg(name, nameOf(w), text)
                     .arg(w->width())
                     .arg(w->height())
                     .arg(needs.width())
                     .arg(needs.height())
                     .arg(w->font().family())
                     .arg(w->font().pointSizeF()));
    }
    note(QStringLiteral("%1: %2 captions checked").arg(name).arg(checked));
}

// Shows a window of its own, looks at it and hides it again.
void lookAt(QWidget* window, const QString& name, const std::function<void(const QImage&)>& more)
{
    window->show();
    QTest::qWait(0);
    const QImage image = shot(window, name);
    checkCaptions(window, name);
    if (more)
        more(image);
    window->hide();
}

// ---------------------------------------------------------------- pages

QList<QWidget*> pages(TForm1::TestAccess& ui)
{
    return {ui.learn, ui.edit, ui.statsTab, ui.settingsTab};
}

// Whether a sibling drawn later lies over all of `w`: a control hidden there by design.
bool covered(const QWidget* w)
{
    const QWidget* parent = w->parentWidget();
    bool above = false;
    for (QObject* o : parent->children()) {
        if (o == w) {
            above = true;
            continue;
        }
        auto* sibling = qobject_cast<QWidget*>(o);
        if (above && sibling && !sibling->isHidden() && sibling->geometry().contains(w->geometry()))
            return true;
    }
    return false;
}

// The controls a learner works with on a page, enabled or not (a disabled one becomes
// usable later): what takes the focus or a click.
QList<QWidget*> controls(QWidget* page)
{
    QList<QWidget*> out;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page) || covered(w))
            continue;
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
            qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSlider*>(w) ||
            qobject_cast<QAbstractItemView*>(w)) {
            // Scroll bars of a list or a scroll area come with their owner.
            if (qobject_cast<QScrollBar*>(w) && !w->parentWidget()->inherits("QGroupBox") &&
                w->objectName().isEmpty())
                continue;
            if (w->focusPolicy() == Qt::NoFocus && !qobject_cast<QAbstractButton*>(w))
                continue;
            out << w;
        }
    }
    return out;
}

QScrollArea* scrollAreaOf(QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(p))
            return area;
    return nullptr;
}

void lookAtPages(TForm1::TestAccess& ui)
{
    const QStringList names = {QStringLiteral("main-learn"), QStringLiteral("main-edit"),
                               QStringLiteral("main-statistics"), QStringLiteral("main-settings")};
    const QList<QWidget*> tabs = pages(ui);
    for (int i = 0; i < tabs.size(); ++i) {
        ui.PageControl1->setCurrentWidget(tabs[i]);
        QTest::qWait(0);
        const QImage image = shot(&ui.form, names[i]);
        for (QScrollBar* bar : tabs[i]->window()->findChildren<QScrollBar*>()) {
            QScrollArea* area = scrollAreaOf(bar);
            if (area && area->horizontalScrollBar() != bar && area->verticalScrollBar() != bar)
                continue;
            if (area && bar->isVisible())
                fail(QStringLiteral("%1: a scroll bar shows at the designed size").arg(names[i]));
        }
        if (i == 0)
            for (QAbstractButton* b : {static_cast<QAbstractButton*>(ui.learn->ToolButton12),
                                       static_cast<QAbstractButton*>(ui.learn->ToolButton13),
                                       static_cast<QAbstractButton*>(ui.learn->ToolButton16),
                                       static_cast<QAbstractButton*>(ui.learn->BitBtn1)})
                checkIcon(&ui.form, image, b);
        if (i == 1)
            for (QAbstractButton* b : {ui.edit->ToolButton1, ui.edit->ToolButton2})
                checkIcon(&ui.form, image, b);
    }
}

void reachEveryControl(TForm1::TestAccess& ui)
{
    int reached = 0;
    for (QWidget* page : pages(ui)) {
        ui.PageControl1->setCurrentWidget(page);
        QTest::qWait(0);
        for (QWidget* w : controls(page)) {
            if (QScrollArea* area = scrollAreaOf(w))
                area->ensureWidgetVisible(w, 0, 0);
            QCoreApplication::processEvents();
            // Clipped by the page or the window, the visible part is a smaller rectangle (a
            // list's visible region has holes where its children paint themselves).
            const QRect seen = w->visibleRegion().boundingRect();
            const QRect inWindow(w->mapTo(&ui.form, QPoint(0, 0)), w->size());
            if (seen != w->rect() || !ui.form.rect().contains(inWindow))
                fail(QStringLiteral("%1: %2 \"%3\" cannot be brought wholly into view "
                                    "(%4 x %5 of %6 x %7 pixels visible)")
                         .arg(nameOf(page), nameOf(w), w->property("text").toString())
                         .arg(seen.width())
                         .arg(seen.height())
                         .arg(w->width())
                         .arg(w->height()));
            else
                ++reached;
        }
    }
    note(QStringLiteral("%1 controls reached in a %2 x %3 window")
             .arg(reached)
             .arg(ui.form.width())
             .arg(ui.form.height()));
}

void lookAtDialogs(TForm1::TestAccess& ui)
{
    lookAt(ui.OKBottomDlg1, QStringLiteral("find-field"), {});
    ui.FindDialog1->FindText->setText(QStringLiteral("Haus"));
    lookAt(ui.FindDialog1, QStringLiteral("find"), {});
    TOKBottomDlg3 sort(&ui.form);
    lookAt(&sort, QStringLiteral("sort"), {});
    ui.OKBottomDlg->present(QStringLiteral("the house"), QString());
    lookAt(ui.OKBottomDlg, QStringLiteral("correction"), [&ui](const QImage& image) {
        checkText(ui.OKBottomDlg, image, ui.OKBottomDlg->Label2, QColor(0, 0, 255), 4.5);
        // Pure red reaches 4.5:1 on no light background (4:1 on white), only on near-black;
        // the caption keeps the desktop's background, where it stays as readable as designed.
        checkText(ui.OKBottomDlg, image, ui.OKBottomDlg->Label1, QColor(255, 0, 0), 3.0);
    });
    lookAt(ui.OKBottomDlg2, QStringLiteral("print-options"), {});
    lookAt(ui.AboutBox, QStringLiteral("about"), [&ui](const QImage& image) {
        checkText(ui.AboutBox, image, ui.AboutBox->ProductName, QColor(0, 0, 128), 4.5);
        checkText(ui.AboutBox, image, ui.AboutBox->Comments, QColor(0, 0, 255), 4.5);
    });
    ui.Sonderzeichen->show();
    lookAt(ui.Sonderzeichen, QStringLiteral("special-characters"), {});
    THelpWindow help(&ui.form);
    help.showPage(QStringLiteral(TAFELIX_PROGRAM_TEMPLATE "/helpfiles/index.htm"));
    lookAt(&help, QStringLiteral("help"), {});

    // The import dialog is modal: it is looked at while it waits for an answer.
    TImportDialog import(&ui.form);
    const std::string csv = "Deutsch;Englisch;Bemerkung\r\nHaus;house;\r\nBaum;tree;Natur\r\n";
    QTimer::singleShot(0, &import, [&import] {
        shot(&import, QStringLiteral("import"));
        checkCaptions(&import, QStringLiteral("import"));
        import.reject();
    });
    convert::CsvFormat format;
    convert::CsvColumns columns;
    import.choose(QStringLiteral("Englisch.csv"), csv, format, columns);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode != QStringLiteral("look") && mode != QStringLiteral("reach")) {
        std::fprintf(stderr, "usage: desktop_probe look|reach\n");
        return 2;
    }
    note(QStringLiteral("desktop_probe %1: application font %2 %3 pt, window colour %4, "
                        "screen %5 x %6 at %7x")
             .arg(mode, QApplication::font().family())
             .arg(QApplication::font().pointSizeF())
             .arg(QApplication::palette().color(QPalette::Window).name())
             .arg(QGuiApplication::primaryScreen()->size().width())
             .arg(QGuiApplication::primaryScreen()->size().height())
             .arg(QGuiApplication::primaryScreen()->devicePixelRatio()));

    Harness h(std::nullopt, false);
    h.folder.write(
        QStringLiteral("Vokabeln/Englisch.vkb"),
        vkb({{"1", "0", "Haus", "house", "", "ein Gebäude"}, {"2", "1", "Baum", "tree", "", ""}}));
    h.start(h.folder.file(QStringLiteral("Vokabeln/Englisch.vkb")));
    TForm1::TestAccess ui = h.ui();
    if (mode == QStringLiteral("look")) {
        lookAtPages(ui);
        lookAtDialogs(ui);
    } else {
        shot(&ui.form, QStringLiteral("scale2-learn"));
        reachEveryControl(ui);
        // Each page as the last control brought into view left it.
        const QStringList names = {
            QStringLiteral("scale2-learn-end"), QStringLiteral("scale2-edit-end"),
            QStringLiteral("scale2-statistics-end"), QStringLiteral("scale2-settings-end")};
        for (int i = 0; i < names.size(); ++i) {
            ui.PageControl1->setCurrentWidget(pages(ui)[i]);
            QTest::qWait(0);
            shot(&ui.form, names[i]);
        }
    }
    const QStringList surprises = h.surprises();
    for (const QString& s : surprises)
        fail(QStringLiteral("unexpected box: ") + s);
    note(failures == 0 ? QStringLiteral("desktop_probe %1: all checks hold").arg(mode)
                       : QStringLiteral("desktop_probe %1: %2 failures").arg(mode).arg(failures));
    return failures == 0 ? 0 : 1;
}
