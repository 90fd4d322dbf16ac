#include "QtPrinter.h"

#include <QMessageBox>

namespace tafelix {

QtPrinter::QtPrinter(QStringList moduleDirs) : module_(kPrinterModule, std::move(moduleDirs)) {}

QtPrinter::~QtPrinter() = default;

IPrinter* QtPrinter::printer()
{
    if (!printer_)
        if (auto create =
                reinterpret_cast<CreatePrinterModule>(module_.resolve(kCreatePrinterModule)))
            printer_.reset(create());
    return printer_.get();
}

QString QtPrinter::missing() const
{
    return QStringLiteral("Drucken ist nicht möglich: Der Programmteil für den Drucker (%1) "
                          "fehlt oder ist beschädigt. Bitte installieren Sie Tafelix neu.")
        .arg(module_.describe());
}

bool QtPrinter::available()
{
    IPrinter* p = printer();
    return !p || p->available();
}

void QtPrinter::setup(QWidget* parent)
{
    if (IPrinter* p = printer())
        p->setup(parent);
    else
        QMessageBox::critical(parent, QStringLiteral("Fehler"), missing());
}

PrintResult QtPrinter::print(const PrintDocument& document, const QString& jobTitle)
{
    IPrinter* p = printer();
    return p ? p->print(document, jobTitle) : PrintResult{missing()};
}

PrintResult QtPrinter::printPicture(const QImage& picture, const QString& jobTitle)
{
    IPrinter* p = printer();
    return p ? p->printPicture(picture, jobTitle) : PrintResult{missing()};
}

} // namespace tafelix
