#pragma once

#include <QTranslator>

namespace tafelix {

// Qt's own texts in German (the file and print dialogs, a field's context menu), installed
// for as long as this object lives. Made before the first window, so that every dialog takes
// its texts in German as it is made.
class QtTranslations {
public:
    QtTranslations();
    ~QtTranslations();
    QtTranslations(const QtTranslations&) = delete;
    QtTranslations& operator=(const QtTranslations&) = delete;

    // Whether Qt's German texts were found (a system without them shows Qt's English).
    bool installed() const { return installed_; }

private:
    QTranslator translator_;
    bool installed_ = false;
};

} // namespace tafelix
