#pragma once

#include "Platform.h"

#include <memory>

class QPrinter;

namespace tafelix {

// The system's printers through Qt's print support (CUPS on Linux).
class QtPrinter : public IPrinter {
public:
    QtPrinter();
    ~QtPrinter() override;
    bool available() override;
    void setup(QWidget* parent) override;
    bool print(const PrintDocument& document, const QString& jobTitle) override;
    bool printPicture(const QImage& picture, const QString& jobTitle) override;

private:
    // Made at the first use: asking CUPS for printers costs time that start-up should not pay.
    QPrinter& printer();
    std::unique_ptr<QPrinter> printer_;
};

} // namespace tafelix
