#pragma once

#include <QFont>
#include <QWidget>

#include <array>
#include <functional>

class QPushButton;

namespace tafelix {

class IClipboard;

// A fixed grid of one-character cells without headers or scroll bars. It tells when the
// learner picks its current cell: a mouse click on a cell ends, an arrow key moves the
// current cell, or Enter or Space is pressed on it. A screen reader sees a table of cells
// named by their characters.
class CharacterGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int ColCount = 23;
    static constexpr int RowCount = 10;
    static constexpr int CellWidth = 18;
    static constexpr int CellHeight = 20;

    explicit CharacterGrid(QWidget* parent = nullptr);

    QString cell(int col, int row) const { return cells_[index(col, row)]; }
    void setCell(int col, int row, const QString& text);
    int col() const { return col_; }
    int row() const { return row_; }
    void setCurrentCell(int col, int row);
    // Where a cell is drawn, grid lines excluded.
    QRect cellRect(int col, int row) const;

    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static int index(int col, int row) { return row * ColCount + col; }

    std::array<QString, ColCount * RowCount> cells_;
    int col_ = 0;
    int row_ = 0;
    bool pressed_ = false; // a left press on a cell waits for its release
};

// The special characters window: not modal, offers the characters of codes 33 to 255 so
// that letters the keyboard lacks can be put into a word.
class TSonderzeichen : public QWidget {
    Q_OBJECT
public:
    // `inputFont` tells the font of the input fields each time the window is activated.
    TSonderzeichen(IClipboard& clipboard, std::function<QFont()> inputFont,
                   QWidget* parent = nullptr);

    CharacterGrid* StringGrid1; // the characters of codes 33..255
    QPushButton* Button1;       // "Exit"

    void FormActivate();
    void FillCharacterGrid();
    void StringGrid1Click();

signals:
    // A cell was picked; the main window puts the character into the field named by
    // InputTarget.
    void characterPicked(const QString& character);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    IClipboard& clipboard_;
    std::function<QFont()> inputFont_;
};

} // namespace tafelix
