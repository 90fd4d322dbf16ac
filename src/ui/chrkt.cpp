#include "chrkt.h"

#include "Widgets.h"

#include "platform/Cp1252Text.h"
#include "platform/Platform.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <string_view>

namespace tafelix {

namespace {
// Each cell is followed by a one-pixel grid line, and one more line closes the grid's left
// and top edges.
constexpr int kColPitch = CharacterGrid::CellWidth + 1;
constexpr int kRowPitch = CharacterGrid::CellHeight + 1;
constexpr int kMargin = 8;

// One cell as a screen reader sees it: named by its character.
class CellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    CellAccessible(CharacterGrid* grid, int col, int row) : grid_(grid), col_(col), row_(row) {}

    bool isValid() const override { return !grid_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return grid_->window()->windowHandle(); }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(grid_);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? grid_->cell(col_, row_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        const QRect r = grid_->cellRect(col_, row_);
        return {grid_->mapToGlobal(r.topLeft()), r.size()};
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        const bool current = grid_->col() == col_ && grid_->row() == row_;
        s.focusable = true;
        s.selectable = true;
        s.selected = current;
        s.focused = current && grid_->hasFocus();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface
                   ? static_cast<QAccessibleTableCellInterface*>(this)
                   : nullptr;
    }

    bool isSelected() const override { return state().selected; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return col_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QPointer<CharacterGrid> grid_;
    int col_;
    int row_;
};

// The grid as a table of its cells; the cells are made as a screen reader first asks.
class GridAccessible : public QAccessibleWidget {
public:
    explicit GridAccessible(CharacterGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {}
    ~GridAccessible() override
    {
        for (const QAccessible::Id id : ids_)
            if (id != 0)
                QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return kCells; }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= kCells)
            return nullptr;
        QAccessible::Id& id = ids_[static_cast<std::size_t>(index)];
        if (id == 0)
            id = QAccessible::registerAccessibleInterface(new CellAccessible(
                grid(), index % CharacterGrid::ColCount, index / CharacterGrid::ColCount));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* cell = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
        if (!cell || child->parent() != this)
            return -1;
        return cell->rowIndex() * CharacterGrid::ColCount + cell->columnIndex();
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint at = grid()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < kCells; ++i)
            if (grid()
                    ->cellRect(i % CharacterGrid::ColCount, i / CharacterGrid::ColCount)
                    .contains(at))
                return child(i);
        return nullptr;
    }

private:
    static constexpr int kCells = CharacterGrid::ColCount * CharacterGrid::RowCount;
    CharacterGrid* grid() const { return static_cast<CharacterGrid*>(widget()); }
    mutable std::array<QAccessible::Id, kCells> ids_{};
};

QAccessibleInterface* gridAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("tafelix::CharacterGrid") && object->isWidgetType())
        return new GridAccessible(static_cast<CharacterGrid*>(object));
    return nullptr;
}

} // namespace

CharacterGrid::CharacterGrid(QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(gridAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(sizeHint());
}

QSize CharacterGrid::sizeHint() const
{
    return {ColCount * kColPitch + 1, RowCount * kRowPitch + 1};
}

void CharacterGrid::setCell(int col, int row, const QString& text)
{
    QString& cell = cells_[index(col, row)];
    if (cell == text)
        return;
    cell = text;
    update(cellRect(col, row));
}

void CharacterGrid::setCurrentCell(int col, int row)
{
    col = std::clamp(col, 0, ColCount - 1);
    row = std::clamp(row, 0, RowCount - 1);
    if (col == col_ && row == row_)
        return;
    update(cellRect(col_, row_));
    col_ = col;
    row_ = row;
    update(cellRect(col_, row_));
    if (hasFocus() && QAccessible::isActive()) {
        // A screen reader announces the character the keyboard moved to.
        QAccessibleEvent moved(this, QAccessible::Focus);
        moved.setChild(index(col_, row_));
        QAccessible::updateAccessibility(&moved);
    }
}

QRect CharacterGrid::cellRect(int col, int row) const
{
    return {1 + col * kColPitch, 1 + row * kRowPitch, CellWidth, CellHeight};
}

void CharacterGrid::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Base));
    p.setPen(pal.color(QPalette::Mid));
    for (int c = 0; c <= ColCount; ++c)
        p.drawLine(c * kColPitch, 0, c * kColPitch, height() - 1);
    for (int r = 0; r <= RowCount; ++r)
        p.drawLine(0, r * kRowPitch, width() - 1, r * kRowPitch);

    for (int r = 0; r < RowCount; ++r) {
        for (int c = 0; c < ColCount; ++c) {
            const QRect box = cellRect(c, r);
            const bool current = c == col_ && r == row_;
            if (current)
                p.fillRect(box, pal.color(QPalette::Highlight));
            const QString& text = cells_[index(c, r)];
            // Control codes and the codes the code page leaves undefined have no glyph; an
            // empty cell looks better than a font's replacement box. They are still picked.
            if (text.isEmpty() || !text.at(0).isPrint())
                continue;
            p.setPen(pal.color(current ? QPalette::HighlightedText : QPalette::Text));
            p.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
        }
    }
    if (hasFocus()) {
        // A dotted frame inside the highlight shows where the arrow keys start from.
        QPen focusPen(pal.color(QPalette::HighlightedText));
        focusPen.setStyle(Qt::DotLine);
        p.setPen(focusPen);
        p.drawRect(cellRect(col_, row_).adjusted(0, 0, -1, -1));
    }
}

void CharacterGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    // The grid is exactly as large as its cells, so every point lies on one; a point on a
    // grid line counts for the cell before it.
    setCurrentCell((at.x() - 1) / kColPitch, (at.y() - 1) / kRowPitch);
    pressed_ = true;
}

void CharacterGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is no new click: without a press waiting for its
    // release, a double click picks once.
    event->accept();
}

void CharacterGrid::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_)
        return;
    pressed_ = false;
    emit clicked();
}

void CharacterGrid::keyPressEvent(QKeyEvent* event)
{
    int c = col_;
    int r = row_;
    switch (event->key()) {
    case Qt::Key_Left:
        --c;
        break;
    case Qt::Key_Right:
        ++c;
        break;
    case Qt::Key_Up:
        --r;
        break;
    case Qt::Key_Down:
        ++r;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // The keyboard's click on the current cell: also reaches the cell the window opened
        // on, which no arrow key can pick.
        event->accept();
        emit clicked();
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    const int before = index(col_, row_);
    setCurrentCell(c, r);
    // Only a move picks: an arrow key against the grid's edge leaves the cell where it is.
    if (index(col_, row_) != before)
        emit clicked();
}

TSonderzeichen::TSonderzeichen(IClipboard& clipboard, std::function<QFont()> inputFont,
                               QWidget* parent)
    : QWidget(parent, Qt::Tool), clipboard_(clipboard), inputFont_(std::move(inputFont))
{
    setObjectName(QStringLiteral("Sonderzeichen"));
    setWindowTitle(QStringLiteral("Sonderzeichen"));
    useDesignedFont(this);
    installAccessibleRoles();

    StringGrid1 = new CharacterGrid(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->move(kMargin, kMargin);

    Button1 = new QPushButton(QStringLiteral("Exit"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    const QRect grid = StringGrid1->geometry();
    Button1->setGeometry(grid.right() + 1 - 84, grid.bottom() + 1 + kMargin, 84, 28);
    setFixedSize(grid.right() + 1 + kMargin, Button1->geometry().bottom() + 1 + kMargin);
    // Placed once, in the middle of the screen; closing only hides the window, so later
    // showings find it where the learner left it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // Enter on the focused "Exit" closes as a click does; this is no dialog that would do it.
    Button1->setAutoDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QWidget::close);
    connect(StringGrid1, &CharacterGrid::clicked, this, &TSonderzeichen::StringGrid1Click);
    // Filled before the first showing too, so a window that never gets activated (a window
    // manager may refuse it the focus) is not left empty.
    FillCharacterGrid();
}

void TSonderzeichen::FormActivate()
{
    StringGrid1->setFont(inputFont_());
    // Whatever was copied elsewhere is gone: from here on the clipboard holds only the
    // character last picked.
    clipboard_.setText(QString());
    FillCharacterGrid();
}

void TSonderzeichen::FillCharacterGrid()
{
    int code = 33;
    for (int r = 0; r < CharacterGrid::RowCount; ++r) {
        for (int c = 0; c < CharacterGrid::ColCount; ++c, ++code) {
            QString text = QStringLiteral(" ");
            if (code <= 255) {
                const char byte = static_cast<char>(static_cast<unsigned char>(code));
                text = fromCp1252(std::string_view(&byte, 1));
            }
            StringGrid1->setCell(c, r, text);
        }
    }
}

void TSonderzeichen::StringGrid1Click()
{
    const QString character = StringGrid1->cell(StringGrid1->col(), StringGrid1->row());
    clipboard_.setText(character);
    emit characterPicked(character);
}

void TSonderzeichen::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormActivate();
}

void TSonderzeichen::keyPressEvent(QKeyEvent* event)
{
    // Escape leaves the window as "Exit" does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TSonderzeichen::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    // Closing the window returns the learner to the main window. Not every window system
    // hands the activation back by itself, and once this window is hidden it no longer
    // knows that it was the active one. When the main window is the one closing, this
    // window is not active and nothing is done.
    QWidget* main = parentWidget();
    if (QApplication::activeWindow() == this && main && main->isVisible())
        main->activateWindow();
}

void TSonderzeichen::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Only this window's own activation counts: some styles also report a tool window as
    // active while its main window is, and coming back there must not empty the clipboard.
    if (event->type() == QEvent::ActivationChange && QApplication::activeWindow() == this)
        FormActivate();
}

} // namespace tafelix
