#include "PrintTarget.h"

#include "gis/GisError.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace
{

//! The system's default printer at its own resolution, with its default paper and orientation.
class DefaultPrinter : public PrintTarget
{
  public:
    ~DefaultPrinter() override { abort(); }

    QPainter &beginPage() override
    {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if ( info.isNull() )
            throw gis::GisError( "no printer is installed" );
        mPrinter = std::make_unique<QPrinter>( info, QPrinter::HighResolution );
        if ( !mPainter.begin( mPrinter.get() ) )
            throw gis::GisError( "the printer cannot be opened" );
        return mPainter;
    }

    double dpiX() const override { return mPrinter ? mPrinter->logicalDpiX() : 0; }
    double dpiY() const override { return mPrinter ? mPrinter->logicalDpiY() : 0; }

    void endPage() override
    {
        if ( !mPainter.isActive() || !mPainter.end() || mPrinter->printerState() == QPrinter::Error )
            throw gis::GisError( "the page could not be sent to the printer" );
    }

    void abort() override
    {
        if ( !mPainter.isActive() )
            return;
        mPrinter->abort();
        mPainter.end();
    }

  private:
    std::unique_ptr<QPrinter> mPrinter;
    QPainter mPainter;
};

PrintTarget::Factory &installedFactory()
{
    static PrintTarget::Factory factory;
    return factory;
}

} // namespace

std::unique_ptr<PrintTarget> PrintTarget::create()
{
    if ( const Factory &factory = installedFactory() )
        return factory();
    return std::make_unique<DefaultPrinter>();
}

void PrintTarget::install( Factory factory )
{
    installedFactory() = std::move( factory );
}
