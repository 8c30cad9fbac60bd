#pragma once

#include "PrintTarget.h"

#include <QByteArray>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QSize>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QPdfWriter;
class QTemporaryFile;

/**
 * The few CUPS calls a print job makes. system() is the CUPS library
 * itself; tests put a fake in its place.
 */
class CupsCalls
{
  public:
    //! The default destination as its defaults (user options, PPD, IPP) describe it.
    struct Destination
    {
        QByteArray name;
        QPageSize paper = QPageSize( QPageSize::Letter );
        QMarginsF margins; //!< the printer's unprintable edges, in millimetres
        QPageLayout::Orientation orientation = QPageLayout::Portrait;
        QSize dpi { 600, 600 };
        //! The destination's options, sent with the job as lp sends them.
        std::vector<std::pair<QByteArray, QByteArray>> options;
    };

    virtual ~CupsCalls() = default;

    //! The default destination (cupsGetNamedDest with no name); none when there is no printer or no default.
    virtual std::optional<Destination> defaultDestination() = 0;
    //! Submits the PDF file \a pdf to \a destination (cupsPrintFile2): the job id, 0 when CUPS refused it.
    virtual int printFile( const Destination &destination, const QString &pdf, const QString &title ) = 0;
    //! Why the last call failed (cupsLastErrorString).
    virtual QString lastErrorString() = 0;

    static CupsCalls &system();
};

/**
 * A job on the default CUPS destination: the page is painted into a PDF
 * file laid out on the destination's default paper, orientation and
 * resolution, which endPage() submits. A refused submission throws, so
 * that the caller can tell the user; the file is removed in every case.
 */
class CupsPrinter : public PrintTarget
{
  public:
    explicit CupsPrinter( CupsCalls &cups );
    ~CupsPrinter() override;

    QPainter &beginPage() override;
    double dpiX() const override;
    double dpiY() const override;
    void endPage() override;
    void abort() override;

  private:
    CupsCalls &mCups;
    std::optional<CupsCalls::Destination> mDestination;
    // Declared in this order so that the painter ends before the writer, and the writer before its file.
    std::unique_ptr<QTemporaryFile> mFile;
    std::unique_ptr<QPdfWriter> mPdf;
    QPainter mPainter;
};
