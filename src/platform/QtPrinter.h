#pragma once

#include "Modules.h"

#include <memory>

namespace tafelix {

// The system's printers (CUPS on Linux). The printing itself lives in a module that is loaded
// at the first use; the one printer it makes lives for the run, so the
// choices made in the set-up dialog last until the program ends. Without the module every
// printout reports that in a German message, and the set-up shows it in a box.
class QtPrinter : public IPrinter {
public:
    explicit QtPrinter(QStringList moduleDirs = defaultModuleDirs());
    ~QtPrinter() override;
    // True without the module, so that the printout itself tells why it cannot print.
    bool available() override;
    void setup(QWidget* parent) override;
    PrintResult print(const PrintDocument& document, const QString& jobTitle) override;
    PrintResult printPicture(const QImage& picture, const QString& jobTitle) override;

private:
    IPrinter* printer();
    QString missing() const;

    ModuleLoader module_;
    std::unique_ptr<IPrinter> printer_;
};

} // namespace tafelix
