#pragma once

#include <QObject>
#include <QTranslator>

class QWidget;

namespace tafelix {

// Qt's own texts in German: the file and print dialogs, the context menu of a field. They
// are loaded when the first window other than `mainWindow` is about to appear or the first
// context menu is asked for, or by load(). Loaded at start, the translations took a sixth
// of a megabyte before any of those is ever used. Texts a dialog took in English as it was
// made are put into German before it is painted: Qt tells every window of the new language.
class QtTranslations : public QObject {
public:
    explicit QtTranslations(const QWidget* mainWindow);
    ~QtTranslations() override;

    void load();
    bool loaded() const { return loaded_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const QWidget* mainWindow_;
    QTranslator translator_;
    bool loaded_ = false;
};

} // namespace tafelix
