#include "QtPrinter.h"

#include "Cp1252Text.h"

#include <QDialogButtonBox>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>

#include <cmath>

namespace tafelix {

namespace {

constexpr double kDefaultTabPt = 36.0;

// A printer that was never chosen, or that has gone away since, is replaced by the
// system's default printer.
bool useDefaultIfUnset(QPrinter& printer)
{
    const QString name = printer.printerName();
    if (!name.isEmpty() && !QPrinterInfo::printerInfo(name).isNull() &&
        printer.outputFormat() == QPrinter::NativeFormat)
        return true;
    const QPrinterInfo fallback = QPrinterInfo::defaultPrinter();
    if (fallback.isNull())
        return false;
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(fallback.printerName());
    return printer.outputFormat() == QPrinter::NativeFormat && printer.isValid();
}

bool finish(QPainter& painter, const QPrinter& printer)
{
    return painter.end() && printer.printerState() != QPrinter::Error &&
           printer.printerState() != QPrinter::Aborted;
}

// Where a tab jumps from x (both in points): the first tab stop right of x; past the last
// one, the next multiple of the default interval of half an inch.
double nextTabStop(double x, const std::vector<int>& tabStopsPt)
{
    constexpr double epsilon = 1e-6;
    for (const int stop : tabStopsPt)
        if (stop > x + epsilon)
            return stop;
    return (std::floor(x / kDefaultTabPt + epsilon) + 1.0) * kDefaultTabPt;
}

} // namespace

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

void QtPrinter::setup(QWidget* parent)
{
    QPrinter& p = printer();
    useDefaultIfUnset(p);
    QPrintDialog dialog(&p, parent);
    dialog.setWindowTitle(QStringLiteral("Druckereinrichtung"));
    // Only the printer and its page: what to print is decided by the printout itself.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    // The dialog sets up the printer; nothing is printed when it closes.
    for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>())
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    dialog.exec();
}

bool QtPrinter::print(const PrintDocument& document, const QString& jobTitle)
{
    QPrinter& p = printer();
    if (!useDefaultIfUnset(p))
        return false;
    p.setDocName(jobTitle);
    QPainter painter;
    if (!painter.begin(&p))
        return false;
    QFont font(fromCp1252(document.fontName));
    font.setPointSizeF(document.pointSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(painter.font(), &p);
    const double pxPerPt = p.resolution() / 72.0;
    const double pageHeight = p.height();
    const double lineHeight = metrics.lineSpacing();
    double y = 0;
    for (const std::string& line : document.lines) {
        if (y > 0 && y + lineHeight > pageHeight) {
            if (!p.newPage()) {
                painter.end();
                return false;
            }
            y = 0;
        }
        const QString text = fromCp1252(line);
        double x = 0; // in device pixels
        qsizetype start = 0;
        while (true) {
            const qsizetype tab = text.indexOf(QLatin1Char('\t'), start);
            const QString piece = text.mid(start, tab < 0 ? -1 : tab - start);
            if (!piece.isEmpty()) {
                painter.drawText(QPointF(x, y + metrics.ascent()), piece);
                x += metrics.horizontalAdvance(piece);
            }
            if (tab < 0)
                break;
            x = nextTabStop(x / pxPerPt, document.tabStopsPt) * pxPerPt;
            start = tab + 1;
        }
        y += lineHeight;
    }
    return finish(painter, p);
}

bool QtPrinter::printPicture(const QImage& picture, const QString& jobTitle)
{
    QPrinter& p = printer();
    if (!useDefaultIfUnset(p))
        return false;
    // The diagram is wider than high: a portrait page takes it sideways for this job only.
    const bool switched = p.pageLayout().orientation() == QPageLayout::Portrait;
    if (switched)
        p.setPageOrientation(QPageLayout::Landscape);
    p.setDocName(jobTitle);
    bool ok = false;
    QPainter painter;
    if (painter.begin(&p)) {
        const int pw = p.width();
        const int ph = p.height();
        const QRect target(pw / 10, ph / 10, pw * 9 / 10 - pw / 10, ph * 9 / 10 - ph / 10);
        painter.drawImage(target, picture);
        ok = finish(painter, p);
    }
    if (switched)
        p.setPageOrientation(QPageLayout::Portrait);
    return ok;
}

} // namespace tafelix
