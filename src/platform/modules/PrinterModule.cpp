// The printer behind QtPrinter, in a module of its own: Qt Print Support and libcups bring
// CUPS, GnuTLS, Avahi and Kerberos along, which the program should not load before its window
// shows.
#include "Cp1252Text.h"
#include "Modules.h"

#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTimer>

#include <cups/cups.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace tafelix {

namespace {

constexpr double kDefaultTabPt = 36.0;

const QString kNoPrinter = QStringLiteral("Zur Zeit ist kein Standard-Drucker gewählt");

QString cannotPrint(const QString& title)
{
    return QStringLiteral("Der Druckauftrag \"%1\" konnte nicht gedruckt werden.").arg(title);
}

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

// Qt's print engine hands the job to CUPS and says no more: a queue that rejects jobs makes
// no job at all, and a job the backend aborts looks like success. So the queue is asked
// before, and the job's fate after, straight through libcups.
class CupsQueue {
public:
    explicit CupsQueue(const QString& printerName) : display_(printerName)
    {
        // Qt names an instance "queue/instance"; CUPS wants the two apart.
        const qsizetype slash = printerName.indexOf(QLatin1Char('/'));
        name_ = printerName.left(slash).toLocal8Bit();
        if (slash >= 0)
            instance_ = printerName.mid(slash + 1).toLocal8Bit();
    }

    struct State {
        bool known = false; // CUPS answered for this queue
        bool accepting = true;
        bool stopped = false;
    };

    State state() const
    {
        State s;
        cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name_.constData(),
                                             instance_.isEmpty() ? nullptr : instance_.constData());
        if (!dest)
            return s;
        s.known = true;
        const char* accepting =
            cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
        s.accepting = !accepting || qstrcmp(accepting, "false") != 0;
        const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
        s.stopped = state && qstrcmp(state, "5") == 0;
        cupsFreeDests(1, dest);
        return s;
    }

    // The highest job number the queue has seen so far, finished jobs included.
    int newestJob() const
    {
        int newest = 0;
        forEachJob([&newest](const cups_job_t& job) { newest = std::max(newest, job.id); });
        return newest;
    }

    // The first job after `after` with that title, 0 when there is none, -1 when CUPS
    // cannot tell.
    int jobAfter(int after, const QByteArray& title) const
    {
        int found = 0;
        if (!forEachJob([&](const cups_job_t& job) {
                if (job.id > after && (found == 0 || job.id < found) && job.title &&
                    title == job.title)
                    found = job.id;
            }))
            return -1;
        return found;
    }

    ipp_jstate_t jobState(int id) const
    {
        ipp_jstate_t state = IPP_JSTATE_COMPLETED;
        bool seen = false;
        forEachJob([&](const cups_job_t& job) {
            if (job.id == id) {
                state = job.state;
                seen = true;
            }
        });
        // A server that keeps no history forgets a job once it is done.
        return seen ? state : IPP_JSTATE_COMPLETED;
    }

    QString notAccepting() const
    {
        return QStringLiteral("Der Drucker %1 nimmt zur Zeit keine Aufträge an.").arg(display_);
    }
    QString stoppedWaiting(const QString& title) const
    {
        return QStringLiteral("Der Drucker %1 ist angehalten. Der Druckauftrag \"%2\" wartet, "
                              "bis er wieder läuft.")
            .arg(display_, title);
    }

private:
    template <typename F> bool forEachJob(F&& f) const
    {
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs(&jobs, name_.constData(), 0, CUPS_WHICHJOBS_ALL);
        if (count < 0)
            return false;
        for (int i = 0; i < count; ++i)
            f(jobs[i]);
        cupsFreeJobs(count, jobs);
        return true;
    }

    QString display_;
    QByteArray name_;
    QByteArray instance_;
};

// How long the program waits for the printer to finish a job before it leaves the job to
// the printer. cups-pdf needs well under a second; a real printer may still be printing
// when the time is up, which is no failure.
constexpr int kJobWaitMs = 8000;
constexpr int kJobPollMs = 100;

// Waits until the job is done or the time is up; the window keeps painting meanwhile, but
// takes no input, so nothing can start a second printout halfway through this one.
ipp_jstate_t waitForJob(const CupsQueue& queue, int id)
{
    const QDeadlineTimer deadline(kJobWaitMs);
    ipp_jstate_t state = queue.jobState(id);
    while (state < IPP_JSTATE_STOPPED && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(kJobPollMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        state = queue.jobState(id);
    }
    return state;
}

// Checks the queue before a job; an empty result means go ahead.
PrintResult checkQueue(const CupsQueue& queue)
{
    const CupsQueue::State s = queue.state();
    if (s.known && !s.accepting)
        return {queue.notAccepting()};
    return {};
}

PrintResult finish(QPainter& painter, const QPrinter& printer, const CupsQueue& queue,
                   int jobsBefore)
{
    const QString title = printer.docName();
    if (!painter.end() || printer.printerState() == QPrinter::Error ||
        printer.printerState() == QPrinter::Aborted)
        return {cannotPrint(title)};
    const int id = queue.jobAfter(jobsBefore, title.toLocal8Bit());
    if (id < 0)
        return {}; // the job went out; whether it printed, CUPS will not say
    if (id == 0) {
        // The queue may have started to refuse between the check and the job.
        const CupsQueue::State s = queue.state();
        if (s.known && !s.accepting)
            return {queue.notAccepting()};
        return {QStringLiteral("Der Druckauftrag \"%1\" wurde vom Drucker nicht angenommen.")
                    .arg(title)};
    }
    switch (waitForJob(queue, id)) {
    case IPP_JSTATE_ABORTED:
        return {QStringLiteral("Der Druckauftrag \"%1\" wurde abgebrochen.").arg(title)};
    case IPP_JSTATE_CANCELED:
        return {QStringLiteral("Der Druckauftrag \"%1\" wurde storniert.").arg(title)};
    case IPP_JSTATE_STOPPED:
        return {QStringLiteral("Der Druckauftrag \"%1\" wurde angehalten.").arg(title)};
    case IPP_JSTATE_PENDING:
    case IPP_JSTATE_HELD:
        if (queue.state().stopped)
            return {queue.stoppedWaiting(title)};
        return {};
    default:
        return {};
    }
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

// The system's printers through Qt's print support. One printer object lives for the run, so
// the choices made in the set-up dialog last until the program ends.
class CupsPrinter : public IPrinter {
public:
    bool available() override;
    void setup(QWidget* parent) override;
    // The lines in the document's font over the printable area, page after page; tabs jump
    // to the document's tab stops. Lines are not wrapped. Both wait a few seconds for the
    // job's fate, so that a refused or aborted job is reported rather than lost.
    PrintResult print(const PrintDocument& document, const QString& jobTitle) override;
    PrintResult printPicture(const QImage& picture, const QString& jobTitle) override;

private:
    // Made at the first use: asking CUPS for printers costs time that nothing should pay
    // before the learner wants to print.
    QPrinter& printer();
    std::unique_ptr<QPrinter> printer_;
};

QPrinter& CupsPrinter::printer()
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

bool CupsPrinter::available()
{
    return !QPrinterInfo::defaultPrinter().isNull();
}

void CupsPrinter::setup(QWidget* parent)
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

PrintResult CupsPrinter::print(const PrintDocument& document, const QString& jobTitle)
{
    QPrinter& p = printer();
    if (!useDefaultIfUnset(p))
        return {kNoPrinter};
    const CupsQueue queue(p.printerName());
    if (PrintResult r = checkQueue(queue); !r.ok())
        return r;
    const int jobsBefore = queue.newestJob();
    p.setDocName(jobTitle);
    QPainter painter;
    if (!painter.begin(&p))
        return {cannotPrint(jobTitle)};
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
                return {cannotPrint(jobTitle)};
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
    return finish(painter, p, queue, jobsBefore);
}

PrintResult CupsPrinter::printPicture(const QImage& picture, const QString& jobTitle)
{
    QPrinter& p = printer();
    if (!useDefaultIfUnset(p))
        return {kNoPrinter};
    const CupsQueue queue(p.printerName());
    if (PrintResult r = checkQueue(queue); !r.ok())
        return r;
    const int jobsBefore = queue.newestJob();
    // The diagram is wider than high: a portrait page takes it sideways for this job only.
    const bool switched = p.pageLayout().orientation() == QPageLayout::Portrait;
    if (switched)
        p.setPageOrientation(QPageLayout::Landscape);
    p.setDocName(jobTitle);
    PrintResult result{cannotPrint(jobTitle)};
    QPainter painter;
    if (painter.begin(&p)) {
        const int pw = p.width();
        const int ph = p.height();
        const QRect target(pw / 10, ph / 10, pw * 9 / 10 - pw / 10, ph * 9 / 10 - ph / 10);
        painter.drawImage(target, picture);
        result = finish(painter, p, queue, jobsBefore);
    }
    if (switched)
        p.setPageOrientation(QPageLayout::Portrait);
    return result;
}

} // namespace tafelix

extern "C" Q_DECL_EXPORT tafelix::IPrinter* tafelixCreatePrinter()
{
    return new tafelix::CupsPrinter;
}
