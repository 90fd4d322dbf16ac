#include "QtPrinter.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace tafelix {

QtPrinter::QtPrinter() = default;
QtPrinter::~QtPrinter() = default;

QPrinter& QtPrinter::printer()
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

bool QtPrinter::available()
{
    return !QPrinterInfo::defaultPrinter().isNull();
}

void QtPrinter::setup(QWidget*) {}

bool QtPrinter::print(const PrintDocument&, const QString&)
{
    return false;
}

bool QtPrinter::printPicture(const QImage&, const QString&)
{
    return false;
}

} // namespace tafelix
