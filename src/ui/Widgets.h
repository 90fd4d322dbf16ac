#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include <functional>

namespace tafelix {

// The font the program's windows are drawn for: captions fit their places in it. A desktop
// theme (KDE Plasma, qt6ct) gives the application its own font, which every window without
// a font of its own takes; so each window of the program sets this one, as the main window
// does, and keeps its designed look under any desktop font. Message boxes, file dialogs and
// menus are the desktop's own and grow with its font.
QFont designedFont();
void useDesignedFont(QWidget* window);

// The light face and black text the program's blue and navy texts were chosen for. A panel
// holding such texts keeps this face on a dark desktop palette too, where they would all but
// vanish on the dark background.
void useDesignedFace(QWidget* panel);
// A text drawn in its own colour, whatever the palette around it.
void setTextColor(QWidget* widget, const QColor& color);

// Gives windows and controls the roles and names a screen reader announces: a window of the
// program that is no dialog is announced as a window with its title, and a combo box that was
// given an accessible name is announced by that name (its current text as its value), not by
// its text alone. Call it before such widgets are made; calling it again does nothing.
void installAccessibleRoles();

// A page whose controls sit at fixed places. Its children move into a scroll area that fills
// the page: at the designed size the area shows everything and no scroll bar, so nothing
// changes; on a screen too small for the window (a large scale factor) the page scrolls, and
// Tab scrolls the focused control into view. Call it once the page holds all its controls.
void scrollWhenSmall(QWidget* page);

// Small builders for the designed controls: every control gets its object name, so tests
// and accessibility tools find it by the name the program's code uses.

// A read-only value display ("panel").
QLabel* makePanel(QWidget* parent, const char* name, const QRect& geometry,
                  const QString& text = QStringLiteral("0"), const QString& hint = {});
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QPoint pos);
QLineEdit* makeEdit(QWidget* parent, const char* name, const QRect& geometry, int maxLength = 100);
QGroupBox* makeGroup(QWidget* parent, const char* name, const QString& title,
                     const QRect& geometry);
// A captioned tool button with an icon above its caption.
QToolButton* makeToolButton(QWidget* parent, const char* name, const QString& caption,
                            const QIcon& icon, const QString& hint = {});

// The status bar's field. It keeps its fixed width and shows a long path cut at the front,
// so that the file name stays in view; the whole text is its tooltip and its accessible name.
// `status()` is the text as it was set, which the program goes by.
class TStatusField : public QLabel {
    Q_OBJECT
public:
    explicit TStatusField(QWidget* parent = nullptr);
    void setStatus(const QString& text);
    QString status() const { return status_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void updateShown();
    QString status_;
};

// Every widget with a tooltip keeps it visible this long.
inline constexpr int kToolTipMillis = 7000;

// A captioned group of mutually exclusive options; its state is the 0-based index of the
// selected option.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(QWidget* parent, const char* name, const QString& title, const QStringList& items,
                const QRect& geometry, int initial);
    int itemIndex() const { return buttons_.checkedId(); }
    void setItemIndex(int index);
    int count() const { return static_cast<int>(buttons_.buttons().size()); }

signals:
    void itemIndexChanged(int index); // another option is checked, by a click or by code

private:
    QButtonGroup buttons_;
};

// A window made the first time it is used and kept for the rest of the run. Most dialogs are
// never opened in a session; making them all at start cost the first paint a millisecond
// and the program a third of a megabyte.
template <class T> class LazyWindow {
public:
    explicit LazyWindow(std::function<T*()> make) : make_(std::move(make)) {}
    LazyWindow(const LazyWindow&) = delete;
    LazyWindow& operator=(const LazyWindow&) = delete;

    T* get()
    {
        if (window_ == nullptr)
            window_ = make_();
        return window_;
    }
    T* operator->() { return get(); }
    operator T*() { return get(); } // NOLINT: hands the window to code that takes a pointer

private:
    std::function<T*()> make_;
    T* window_ = nullptr;
};

// The stand-in a tab holds until its page is made. The page is made as the stand-in is first
// shown, or earlier when code asks for it; it then fills the stand-in. The settings and the
// log pages built at start cost the first picture a millisecond and the program more than a
// megabyte of item-view code and font lists, for pages many sessions never open.
class PageHolder : public QWidget {
public:
    // `make` builds the page in the holder it is given; `ready` runs once, right after, when
    // the page can already be reached through page().
    PageHolder(QWidget* parent, std::function<QWidget*(QWidget*)> make,
               std::function<void()> ready);
    QWidget* page();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<QWidget*(QWidget*)> make_;
    std::function<void()> ready_;
    QWidget* page_ = nullptr;
};

// Typed access to a page behind a PageHolder; reaching into the page makes it.
template <class T> class LazyPage {
public:
    void place(QWidget* parent, std::function<void()> ready)
    {
        holder_ = new PageHolder(
            parent, [](QWidget* holder) { return new T(holder); }, std::move(ready));
    }
    T* get() const { return static_cast<T*>(holder_->page()); }
    T* operator->() const { return get(); }
    operator T*() const { return get(); } // NOLINT: hands the page to code that takes a pointer
    // What the tab widget holds for this page.
    QWidget* tab() const { return holder_; }

private:
    PageHolder* holder_ = nullptr;
};

// Gives a main window its designed size and centres it in the screen's free area; on a
// screen too small for it (a large scale factor) it takes the room there is, so that title
// and status bar stay in sight. Once the window system has framed the window, the frame is
// made to fit as well.
void placeOnScreen(QWidget* window, QSize designed);

// Widgets with a tooltip keep it kToolTipMillis long, from `root` down.
void keepToolTipsLonger(QWidget* root);

// One of the style's standard icons, made when it is first painted. The style decodes every
// size of an icon as soon as it is asked for it; doing that for thirty buttons before the
// window can appear would cost more than building the whole window.
QIcon lazyStandardIcon(QStyle::StandardPixmap which);

} // namespace tafelix
