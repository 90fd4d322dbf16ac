#pragma once

#include <QFont>
#include <QWidget>

#include <functional>

namespace tafelix {

class IClipboard;

// The special characters window: not modal, offers the characters of codes 33 to 255 so
// that letters the keyboard lacks can be put into a word.
class TSonderzeichen : public QWidget {
    Q_OBJECT
public:
    // `inputFont` tells the font of the input fields each time the window is activated.
    TSonderzeichen(IClipboard& clipboard, std::function<QFont()> inputFont,
                   QWidget* parent = nullptr);

signals:
    // A cell was picked; the main window puts the character into the field named by
    // InputTarget.
    void characterPicked(const QString& character);

private:
    IClipboard& clipboard_;
    std::function<QFont()> inputFont_;
};

} // namespace tafelix
