// The special characters window as the main window uses it.
#include "main.h"

#include "chrkt.h"

#include "platform/Cp1252Text.h"

#include <QScreen>

#include <algorithm>

namespace tafelix {

namespace {
// Not modal: the learner keeps typing in the main window while the window stays beside it.
// At its first showing it goes beside the main window when the screen has room there, so it
// does not cover the fields it writes into; later it keeps wherever the learner put it.
void showCharacterWindow(TSonderzeichen* window, const QWidget* main)
{
    if (!window->property("placed").toBool()) {
        window->setProperty("placed", true);
        if (const QScreen* screen = main->screen()) {
            const QRect free = screen->availableGeometry();
            const QRect frame = main->frameGeometry();
            const QSize size = window->frameGeometry().size();
            const int y = std::clamp(frame.top(), free.top(), free.bottom() - size.height());
            if (frame.right() + size.width() <= free.right())
                window->move(frame.right() + 1, y);
            else if (frame.left() - size.width() >= free.left())
                window->move(frame.left() - size.width(), y);
        }
    }
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

void TForm1::SpeedButton1Click()
{
    showCharacterWindow(Sonderzeichen, this);
    // Opening the window counts as an edit, whether or not a character is picked.
    setModified(true);
}

void TForm1::SpeedButton2Click()
{
    inputTarget_ = InputTarget::Answer;
    showCharacterWindow(Sonderzeichen, this);
}

void TForm1::InsertSpecialCharacter(const QString& character)
{
    if (inputTarget_ == InputTarget::Answer) {
        // The drill's answer is not part of the word table.
        learn->Edit9->insert(character);
        return;
    }
    if (inputTarget_ == InputTarget::None)
        return;
    QLineEdit* const fields[] = {edit->Edit1, edit->Edit2, edit->Edit3, edit->Edit4};
    ShortText100* const entryFields[] = {&table_.current().german, &table_.current().foreign,
                                         &table_.current().synonym, &table_.current().remark};
    const int i = static_cast<int>(inputTarget_) - static_cast<int>(InputTarget::German);
    // insert() replaces the selection and keeps the field's length limit, as typing does.
    fields[i]->insert(character);
    // Editing works on the table directly, as a key release in the field does; only the
    // flag for unsaved edits is left alone, since opening the window has set it.
    entryFields[i]->assign(toCp1252(fields[i]->text()));
}

} // namespace tafelix
