#include "CupsPrinter.h"

#include "gis/GisError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPdfWriter>
#include <QTemporaryFile>

#include <cups/cups.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

//! The paper \a name, given by its IPP, PPD or legacy name ("iso_a4_210x297mm", "A4", "Custom.4x6in").
const pwg_media_t *paperNamed( const char *name )
{
    const pwg_media_t *media = pwgMediaForPWG( name );
    if ( !media )
        media = pwgMediaForLegacy( name );
    if ( !media )
        media = pwgMediaForPPD( name );
    return media;
}

/**
 * The paper the destination prints on unasked, with the printer's margins
 * on it: the user's "media" option, else the printer's media-default
 * (cupsGetDestMediaDefault alone would ignore it and answer Letter).
 */
std::optional<cups_size_t> defaultPaper( cups_dest_t *dest, cups_dinfo_t *info )
{
    const char *name = cupsGetOption( "media", dest->num_options, dest->options );
    if ( !name )
        if ( ipp_attribute_t *a = cupsFindDestDefault( CUPS_HTTP_DEFAULT, dest, info, "media" ) )
            name = ippGetString( a, 0, nullptr );
    cups_size_t size {};
    if ( const pwg_media_t *found = name ? paperNamed( name ) : nullptr )
    {
        // Copied: a custom size lives in a buffer that the next lookup overwrites.
        const std::string pwg = found->pwg;
        const int width = found->width;
        const int length = found->length;
        // The margins come from the printer when it knows that size; for
        // another it answers its nearest paper, whose margins do not apply.
        if ( !cupsGetDestMediaByName( CUPS_HTTP_DEFAULT, dest, info, pwg.c_str(), 0, &size )
             || std::abs( size.width - width ) > 100 || std::abs( size.length - length ) > 100 )
            size = {};
        size.width = width;
        size.length = length;
    }
    else if ( !cupsGetDestMediaDefault( CUPS_HTTP_DEFAULT, dest, info, 0, &size ) )
    {
        return std::nullopt;
    }
    if ( size.width <= 0 || size.length <= 0 )
        return std::nullopt;
    return size;
}

//! The user's orientation option, else the printer's orientation-requested-default.
QPageLayout::Orientation defaultOrientation( cups_dest_t *dest, cups_dinfo_t *info )
{
    int orientation = IPP_ORIENT_PORTRAIT;
    if ( const char *o = cupsGetOption( "orientation-requested", dest->num_options, dest->options ) )
        orientation = std::atoi( o );
    else if ( const char *l = cupsGetOption( "landscape", dest->num_options, dest->options );
              l && std::strcmp( l, "false" ) != 0 && std::strcmp( l, "no" ) != 0 && std::strcmp( l, "off" ) != 0 )
        orientation = IPP_ORIENT_LANDSCAPE;
    else if ( ipp_attribute_t *a = cupsFindDestDefault( CUPS_HTTP_DEFAULT, dest, info, "orientation-requested" ) )
        orientation = ippGetInteger( a, 0 );
    return orientation == IPP_ORIENT_LANDSCAPE || orientation == IPP_ORIENT_REVERSE_LANDSCAPE ? QPageLayout::Landscape
                                                                                              : QPageLayout::Portrait;
}

//! The printer's printer-resolution-default in dots per inch; none when it states none.
std::optional<QSize> defaultResolution( cups_dest_t *dest, cups_dinfo_t *info )
{
    ipp_attribute_t *a = cupsFindDestDefault( CUPS_HTTP_DEFAULT, dest, info, "printer-resolution" );
    if ( !a )
        return std::nullopt;
    int down = 0;
    ipp_res_t units = IPP_RES_PER_INCH;
    const int across = ippGetResolution( a, 0, &down, &units );
    const double perInch = units == IPP_RES_PER_CM ? 2.54 : 1;
    if ( across <= 0 || down <= 0 )
        return std::nullopt;
    return QSize( qRound( across * perInch ), qRound( down * perInch ) );
}

//! libcups itself, on the default server.
class SystemCups : public CupsCalls
{
  public:
    std::optional<Destination> defaultDestination() override
    {
        const std::unique_ptr<cups_dest_t, void ( * )( cups_dest_t * )> dest(
            cupsGetNamedDest( CUPS_HTTP_DEFAULT, nullptr, nullptr ), []( cups_dest_t *d ) { cupsFreeDests( 1, d ); } );
        if ( !dest )
            return std::nullopt;

        Destination d;
        d.name = dest->name;
        for ( int i = 0; i < dest->num_options; ++i )
            d.options.emplace_back( dest->options[i].name, dest->options[i].value );

        const std::unique_ptr<cups_dinfo_t, void ( * )( cups_dinfo_t * )> info(
            cupsCopyDestInfo( CUPS_HTTP_DEFAULT, dest.get() ), cupsFreeDestInfo );
        if ( !info )
            return d;
        if ( const std::optional<cups_size_t> size = defaultPaper( dest.get(), info.get() ) )
        {
            d.paper = QPageSize( QSizeF( size->width / 100.0, size->length / 100.0 ), QPageSize::Millimeter, QString(),
                                 QPageSize::FuzzyMatch );
            d.margins = QMarginsF( size->left / 100.0, size->top / 100.0, size->right / 100.0, size->bottom / 100.0 );
        }
        d.orientation = defaultOrientation( dest.get(), info.get() );
        d.dpi = defaultResolution( dest.get(), info.get() ).value_or( d.dpi );
        return d;
    }

    int printFile( const Destination &destination, const QString &pdf, const QString &title ) override
    {
        cups_option_t *options = nullptr;
        int count = 0;
        for ( const auto &[name, value] : destination.options )
            count = cupsAddOption( name.constData(), value.constData(), count, &options );
        const int job = cupsPrintFile2( CUPS_HTTP_DEFAULT, destination.name.constData(), QFile::encodeName( pdf ).constData(),
                                        title.toUtf8().constData(), count, options );
        cupsFreeOptions( count, options );
        return job;
    }

    QString lastErrorString() override { return QString::fromUtf8( cupsLastErrorString() ); }
};

} // namespace

CupsCalls &CupsCalls::system()
{
    static SystemCups cups;
    return cups;
}

CupsPrinter::CupsPrinter( CupsCalls &cups ) : mCups( cups ) {}

CupsPrinter::~CupsPrinter()
{
    abort();
}

QPainter &CupsPrinter::beginPage()
{
    mDestination = mCups.defaultDestination();
    if ( !mDestination )
        throw gis::GisError( "no default printer" );

    mFile = std::make_unique<QTemporaryFile>( QDir::temp().filePath( QStringLiteral( "ostrapel-page-XXXXXX.pdf" ) ) );
    if ( !mFile->open() )
        throw gis::GisError( "the page file cannot be made" );
    mPdf = std::make_unique<QPdfWriter>( mFile.get() );
    mPdf->setCreator( QCoreApplication::applicationName() );
    if ( !mPdf->setPageLayout( QPageLayout( mDestination->paper, mDestination->orientation, mDestination->margins,
                                            QPageLayout::Millimeter ) ) )
        throw gis::GisError( "the printer's paper cannot be laid out" );
    mPdf->setResolution( mDestination->dpi.width() );
    if ( !mPainter.begin( mPdf.get() ) )
        throw gis::GisError( "the page cannot be painted" );
    // A PDF has one resolution; a printer with another one down keeps its own pixel grid.
    mPainter.scale( 1, dpiX() / dpiY() );
    return mPainter;
}

double CupsPrinter::dpiX() const
{
    return mDestination ? mDestination->dpi.width() : 0;
}

double CupsPrinter::dpiY() const
{
    return mDestination ? mDestination->dpi.height() : 0;
}

void CupsPrinter::endPage()
{
    if ( !mPainter.isActive() || !mPainter.end() || !mFile->flush() )
        throw gis::GisError( "the page could not be finished" );
    const int job = mCups.printFile( *mDestination, mFile->fileName(), QCoreApplication::applicationName() );
    abort(); // sent or refused, the file has served
    if ( job <= 0 )
        throw gis::GisError( "the printer refused the job: " + mCups.lastErrorString().toStdString() );
}

void CupsPrinter::abort()
{
    if ( mPainter.isActive() )
        mPainter.end();
    mPdf.reset();
    mFile.reset();
}
