#pragma once

#include "Platform.h"

#include <memory>

class QPrinter;

namespace tafelix {

// The system's printers through Qt's print support (CUPS on Linux). One printer object lives
// for the run, so the choices made in the set-up dialog last until the program ends.
class QtPrinter : public IPrinter {
public:
    QtPrinter();
    ~QtPrinter() override;
    bool available() override;
    void setup(QWidget* parent) override;
    // The lines in the document's font over the printable area, page after page; tabs jump
    // to the document's tab stops. Lines are not wrapped. Both wait a few seconds for the
    // job's fate, so that a refused or aborted job is reported rather than lost.
    PrintResult print(const PrintDocument& document, const QString& jobTitle) override;
    PrintResult printPicture(const QImage& picture, const QString& jobTitle) override;

private:
    // Made at the first use: asking CUPS for printers costs time that start-up should not pay.
    QPrinter& printer();
    std::unique_ptr<QPrinter> printer_;
};

} // namespace tafelix
