#include "Widgets.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWindow>

#include <utility>
#include <vector>

namespace tafelix {

QFont designedFont()
{
    return QFont(QStringLiteral("Arial"), 8);
}

void useDesignedFont(QWidget* window)
{
    window->setFont(designedFont());
}

void useDesignedFace(QWidget* panel)
{
    QPalette p = panel->palette();
    const QColor face(0xf0, 0xf0, 0xf0);
    p.setColor(QPalette::Window, face);
    p.setColor(QPalette::Button, face);
    p.setColor(QPalette::Base, Qt::white);
    for (const QPalette::ColorRole text :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(text, Qt::black);
    // The bevels of sunken panels.
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(0xe3, 0xe3, 0xe3));
    p.setColor(QPalette::Mid, QColor(0xa0, 0xa0, 0xa0));
    p.setColor(QPalette::Dark, QColor(0xa0, 0xa0, 0xa0));
    p.setColor(QPalette::Shadow, QColor(0x69, 0x69, 0x69));
    for (const QPalette::ColorRole text :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, text, QColor(0x6d, 0x6d, 0x6d));
    panel->setPalette(p);
    panel->setAutoFillBackground(true);
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

namespace {

// A combo box announced by its accessible name. Qt's own interface for a combo box names it
// by its current text on this platform and leaves the caption to a "labelled by" relation.
// Otherwise it behaves as Qt's: the list and the field as children, the text as value, a
// press opens and closes the list.
class NamedComboBoxAccessible : public QAccessibleWidget {
public:
    explicit NamedComboBoxAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox)
    {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && !box()->accessibleName().isEmpty())
            return box()->accessibleName();
        if (t == QAccessible::Value)
            return box()->isEditable() ? box()->lineEdit()->text() : box()->currentText();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return box()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(box()->view());
        if (index == 1 && box()->isEditable())
            return QAccessible::queryAccessibleInterface(box()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (child->object() == box()->view())
            return 0;
        if (box()->isEditable() && child->object() == box()->lineEdit())
            return 1;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        if (!box()->isEditable())
            return nullptr;
        const QLineEdit* field = box()->lineEdit();
        return QRect(field->mapToGlobal(QPoint(0, 0)), field->size()).contains(x, y) ? child(1)
                                                                                     : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        // The box is its field's focus proxy; the field is what has the focus.
        return box()->isEditable() ? child(1) : nullptr;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        s.editable = box()->isEditable();
        return s;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action != showMenuAction() && action != pressAction())
            return;
        if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* accessibleRoles(const QString& className, QObject* object)
{
    if (!object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("QComboBox") && !widget->accessibleName().isEmpty())
        return new NamedComboBoxAccessible(static_cast<QComboBox*>(widget));
    // Reached only by windows no more special interface claimed (dialogs and main windows
    // have theirs): Qt would make them a nameless "filler".
    if (className == QLatin1String("QWidget") && widget->isWindow() &&
        (widget->windowType() == Qt::Window || widget->windowType() == Qt::Tool))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

void installAccessibleRoles()
{
    // Installed after Qt's own factory, so it is asked first.
    static const bool installed = [] {
        QAccessible::installFactory(accessibleRoles);
        return true;
    }();
    Q_UNUSED(installed);
}

void scrollWhenSmall(QWidget* page)
{
    const QList<QWidget*> controls = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    auto* area = new QScrollArea(page);
    area->setObjectName(page->objectName() + QStringLiteral("Scroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    // Tab goes from control to control; the area has no caption and is no stop of its own.
    area->setFocusPolicy(Qt::NoFocus);
    // The page's own background shows through, as before.
    area->setAutoFillBackground(false);
    area->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    content->setObjectName(page->objectName() + QStringLiteral("Content"));
    // Inside the window before the controls move, so their order of Tab is kept.
    area->setWidget(content);
    content->setAutoFillBackground(false); // the area made it paint itself
    QRect extent;
    for (QWidget* w : controls) {
        if (w->isWindow())
            continue;
        extent |= w->geometry();
        const bool hidden = w->isHidden();
        w->setParent(content);
        w->setVisible(!hidden);
    }
    content->setMinimumSize(extent.right() + 1, extent.bottom() + 1);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
}

QLabel* makePanel(QWidget* parent, const char* name, const QRect& geometry, const QString& text,
                  const QString& hint)
{
    auto* p = new QLabel(text, parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setGeometry(geometry);
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Sunken);
    p->setAlignment(Qt::AlignCenter);
    p->setAutoFillBackground(true);
    p->setBackgroundRole(QPalette::Base);
    p->setTextFormat(Qt::PlainText);
    if (!hint.isEmpty())
        p->setToolTip(hint);
    return p;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QPoint pos)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(pos);
    l->adjustSize();
    return l;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, const QRect& geometry, int maxLength)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(geometry);
    e->setMaxLength(maxLength);
    return e;
}

QGroupBox* makeGroup(QWidget* parent, const char* name, const QString& title, const QRect& geometry)
{
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(geometry);
    return g;
}

QToolButton* makeToolButton(QWidget* parent, const char* name, const QString& caption,
                            const QIcon& icon, const QString& hint)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setIcon(icon);
    b->setIconSize(QSize(20, 20));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

TStatusField::TStatusField(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void TStatusField::setStatus(const QString& text)
{
    status_ = text;
    setToolTip(text.trimmed());
    // A screen reader gets the whole path, not the cut one on show.
    setAccessibleName(text.trimmed());
    updateShown();
}

void TStatusField::resizeEvent(QResizeEvent* e)
{
    QLabel::resizeEvent(e);
    updateShown();
}

void TStatusField::updateShown()
{
    setText(fontMetrics().elidedText(status_, Qt::ElideLeft, contentsRect().width()));
}

namespace {

void fitOnScreen(QWidget* window, QSize designed, QMargins frame)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->resize(designed.boundedTo(area.size().shrunkBy(frame)));
    QRect outer(QPoint(), window->size().grownBy(frame));
    outer.moveCenter(area.center());
    window->move(outer.topLeft()); // a window's position is that of its frame
}

// Fits the window again once its frame is known: the frame comes from the window manager
// after the window was placed, and then shows up in the first picture.
class FrameFit : public QObject {
public:
    FrameFit(QWidget* window, QSize designed)
        : QObject(window), window_(window), designed_(designed)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && event->type() == QEvent::Show && window_->windowHandle()) {
            window_->removeEventFilter(this);
            window_->windowHandle()->installEventFilter(this);
        } else if (watched == window_->windowHandle() && event->type() == QEvent::Expose &&
                   window_->windowHandle()->isExposed()) {
            window_->windowHandle()->removeEventFilter(this);
            const QScreen* screen = window_->screen();
            const QMargins frame = window_->windowHandle()->frameMargins();
            if (screen && !screen->availableGeometry().contains(window_->frameGeometry()))
                fitOnScreen(window_, designed_, frame);
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* window_;
    QSize designed_;
};

} // namespace

void placeOnScreen(QWidget* window, QSize designed)
{
    fitOnScreen(window, designed, {});
    new FrameFit(window, designed);
}

TRadioGroup::TRadioGroup(QWidget* parent, const char* name, const QString& title,
                         const QStringList& items, const QRect& geometry, int initial)
    : QGroupBox(title, parent)
{
    setObjectName(QString::fromLatin1(name));
    setGeometry(geometry);
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(10, 2, 6, 4);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items.at(i), this);
        b->setObjectName(QString::fromLatin1(name) + QString::number(i));
        buttons_.addButton(b, i);
        lay->addWidget(b);
    }
    setItemIndex(initial);
    // A choice set in code is a change too: whoever keeps the choice must hear of both.
    connect(&buttons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            emit itemIndexChanged(id);
    });
}

void TRadioGroup::setItemIndex(int index)
{
    if (QAbstractButton* b = buttons_.button(index))
        b->setChecked(true);
}

namespace {

// The style's own picture file of an icon, or null where it has none (drawn in code).
const char* builtInName(QStyle::StandardPixmap which)
{
    switch (which) {
    case QStyle::SP_MediaPlay:
        return "media-play";
    case QStyle::SP_FileDialogDetailedView:
        return "viewdetailed";
    case QStyle::SP_FileDialogInfoView:
        return "fileinfo";
    case QStyle::SP_FileDialogContentsView:
        return "filecontents";
    case QStyle::SP_DialogOpenButton:
        return "standardbutton-open";
    case QStyle::SP_DialogCloseButton:
        return "standardbutton-close";
    case QStyle::SP_DialogHelpButton:
        return "standardbutton-help";
    case QStyle::SP_DialogCancelButton:
        return "standardbutton-cancel";
    default:
        return nullptr;
    }
}

QString builtInFile(const char* name, int side)
{
    return QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1-%2.png")
        .arg(QLatin1String(name))
        .arg(side);
}

class LazyStyleIconEngine : public QIconEngine {
public:
    explicit LazyStyleIconEngine(QStyle::StandardPixmap which) : which_(which) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        iconFor(rect.size()).paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return iconFor(size).pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        // Without a real size Qt would ask for the pixmap at once; the style's icons fill
        // the size they are asked for.
        Q_UNUSED(mode)
        Q_UNUSED(state)
        return size;
    }
    QIconEngine* clone() const override { return new LazyStyleIconEngine(which_); }

private:
    // Without a desktop icon theme (only the bare "hicolor", as on a desktop-less session)
    // the style ends with its own built-in pictures anyway, after asking the theme, which
    // reads every folder of the theme once, and after decoding every size of the picture.
    // The pictures of the first page are then taken straight from the style's resources,
    // one size at a time as buttons and tabs ask for them: the same look without a few
    // milliseconds before the first paint. With a real theme the style decides, so the
    // icons match the desktop.
    const QIcon& iconFor(const QSize& size)
    {
        const bool large = size.width() > 16 || size.height() > 16;
        QIcon& builtIn = large ? large_ : small_;
        if (builtIn.isNull() && !noBuiltIn_) {
            builtIn = builtInIcon(which_, large ? 32 : 16);
            noBuiltIn_ = builtIn.isNull();
        }
        if (builtIn.isNull() && style_.isNull())
            style_ = QApplication::style()->standardIcon(which_);
        const QIcon& icon = builtIn.isNull() ? style_ : builtIn;
        if (!darkPalette())
            return icon;
        QIcon& dark = large ? largeDark_ : smallDark_;
        if (dark.isNull())
            dark = forDarkPalette(icon, large ? 32 : 16);
        return dark;
    }

    // The style's own pictures are drawn in black for a light window. A desktop icon theme
    // brings pictures that suit its palette.
    static bool darkPalette()
    {
        if (hasIconTheme())
            return false;
        const QPalette palette = QGuiApplication::palette();
        return palette.color(QPalette::WindowText).lightness() >
               palette.color(QPalette::Window).lightness();
    }

    // The same picture for a dark window: black and dark grey strokes turn light; light and
    // coloured parts (a folder, a red cross, the white of a life ring) stay, so the icon
    // still reads as itself.
    static QIcon forDarkPalette(const QIcon& icon, int side)
    {
        QImage image =
            icon.pixmap(QSize(side, side)).toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                QColor c = QColor::fromRgba(line[x]);
                const bool darkStroke =
                    c.value() < 96 || (c.value() < 128 && c.hsvSaturation() < 48);
                if (c.alpha() == 0 || !darkStroke)
                    continue;
                c.setHsv(c.hsvHue(), c.hsvSaturation(), 255 - c.value(), c.alpha());
                line[x] = c.rgba();
            }
        }
        return QIcon(QPixmap::fromImage(image));
    }

    static bool hasIconTheme()
    {
        const QString theme = QIcon::themeName();
        return !theme.isEmpty() && theme != QLatin1String("hicolor");
    }

    static QIcon builtInIcon(QStyle::StandardPixmap which, int side)
    {
        if (hasIconTheme())
            return {};
        if (which == QStyle::SP_MessageBoxInformation)
            return informationIcon(side);
        const char* name = builtInName(which);
        if (name == nullptr)
            return {};
        const QString file = builtInFile(name, side);
        return QFile::exists(file) ? QIcon(file) : QIcon();
    }

    // The style keeps its information sign as code, not as a picture; the same blue disc
    // with a white "i".
    static QIcon informationIcon(int side)
    {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal u = side / 16.0;
        p.setPen(QPen(QColor(0x1c, 0x4f, 0x9c), u));
        p.setBrush(QColor(0x2f, 0x74, 0xd0));
        p.drawEllipse(QRectF(0.5 * u, 0.5 * u, 15 * u, 15 * u));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(7 * u, 3 * u, 2 * u, 2 * u));
        p.drawRect(QRectF(7 * u, 6.5 * u, 2 * u, 6.5 * u));
        p.end();
        return QIcon(pixmap);
    }

    QStyle::StandardPixmap which_;
    QIcon small_;     // up to 16 pixels: tabs
    QIcon large_;     // larger: the tool buttons
    QIcon smallDark_; // the same for a dark palette, made when first needed
    QIcon largeDark_;
    QIcon style_; // the style's own, where there is no built-in picture
    bool noBuiltIn_ = false;
};

} // namespace

PageHolder::PageHolder(QWidget* parent, std::function<QWidget*(QWidget*)> make,
                       std::function<void()> ready)
    : QWidget(parent), make_(std::move(make)), ready_(std::move(ready))
{}

QWidget* PageHolder::page()
{
    if (page_ == nullptr) {
        page_ = make_(this);
        scrollWhenSmall(page_);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page_);
        ready_();
    }
    return page_;
}

void PageHolder::showEvent(QShowEvent* event)
{
    const bool first = page_ == nullptr;
    page();
    if (first) {
        // Made while this holder is being shown: the page and its size would otherwise come
        // only after the event loop came round, and the tab's first picture would be wrong.
        page_->show();
        layout()->activate(); // a hidden page has no place in the layout yet
    }
    QWidget::showEvent(event);
}

void keepToolTipsLonger(QWidget* root)
{
    if (!root->toolTip().isEmpty())
        root->setToolTipDuration(kToolTipMillis);
    for (QWidget* w : root->findChildren<QWidget*>())
        if (!w->toolTip().isEmpty())
            w->setToolTipDuration(kToolTipMillis);
}

QIcon lazyStandardIcon(QStyle::StandardPixmap which)
{
    return QIcon(new LazyStyleIconEngine(which));
}

} // namespace tafelix
