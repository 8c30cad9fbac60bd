#include "DriverView.h"

#include "ShapefileCheck.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <cpl_vsi.h>

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <initializer_list>

namespace gis
{

namespace
{

constexpr qint64 kHeader = 100;

//! A part of a sparse file: \a length bytes at \a to, taken from \a file at \a from.
struct Region
{
    QByteArray file;
    qint64 to = 0;
    qint64 from = 0;
    qint64 length = 0;
};

bool writeFile( const QByteArray &path, const QByteArray &bytes )
{
    VSILFILE *f = VSIFOpenL( path.constData(), "wb" );
    const size_t size = static_cast<size_t>( bytes.size() );
    const bool written = f && VSIFWriteL( bytes.constData(), 1, size, f ) == size;
    return ( !f || VSIFCloseL( f ) == 0 ) && written;
}

//! Describes the sparse file of \a length bytes made of \a regions at \a path.
bool writeSparse( const QByteArray &path, qint64 length, std::initializer_list<Region> regions )
{
    QByteArray xml = "<VSISparseFile><Length>" + QByteArray::number( length ) + "</Length>";
    for ( const Region &r : regions )
    {
        char *file = CPLEscapeString( r.file.constData(), static_cast<int>( r.file.size() ), CPLES_XML );
        xml += "<SubfileRegion><Filename relative=\"0\">" + QByteArray( file ) + "</Filename><DestinationOffset>"
               + QByteArray::number( r.to ) + "</DestinationOffset><SourceOffset>" + QByteArray::number( r.from )
               + "</SourceOffset><RegionLength>" + QByteArray::number( r.length ) + "</RegionLength></SubfileRegion>";
        CPLFree( file );
    }
    return writeFile( path, xml + "</VSISparseFile>" );
}

} // namespace

DriverView::DriverView( const QString &shpPath, qint64 entries ) : mShpPath( shpPath ), mPath( shpPath )
{
    QFile index( shapefile::partPath( shpPath, "shx" ) );
    QByteArray header = index.open( QIODevice::ReadOnly ) ? index.read( kHeader ) : QByteArray();
    if ( header.size() < kHeader || !describeParts() )
        return;
    const qint64 length = kHeader + 8 * entries;
    qToBigEndian( static_cast<quint32>( length / 2 ), header.data() + 24 );
    finish( writeFile( mDir + "index-header", header )
            && writeSparse( mDir + "view.shx", length,
                            { { mDir + "index-header", 0, 0, kHeader },
                              { QFile::encodeName( index.fileName() ), kHeader, kHeader, length - kHeader } } ) );
}

DriverView::DriverView( const QString &shpPath, const QByteArray &index ) : mShpPath( shpPath ), mPath( shpPath )
{
    if ( index.size() < kHeader || !describeParts() )
        return;
    finish( writeFile( mDir + "index", index )
            && writeSparse( mDir + "view.shx", index.size(), { { mDir + "index", 0, 0, index.size() } } ) );
}

DriverView::~DriverView()
{
    if ( !mDir.isEmpty() )
        VSIRmdirRecursive( mDir.constData() );
}

bool DriverView::describeParts()
{
    // A path with control characters cannot be written in the view's description.
    const QByteArray file = QFile::encodeName( QFileInfo( mShpPath ).absoluteFilePath() );
    if ( std::any_of( file.begin(), file.end(), []( char c ) { return uchar( c ) < 0x20; } ) )
        return false;
    static std::atomic<quint64> views { 0 };
    mDir = "/vsimem/ostrapel-view-" + QByteArray::number( ++views ) + '/';
    bool made = true;
    for ( const char *ext : { "shp", "dbf", "prj", "cpg" } )
    {
        const QString part = shapefile::partPath( mShpPath, ext );
        const qint64 size = QFileInfo( part ).size();
        if ( !part.isEmpty() )
            made = made && writeSparse( mDir + "view." + ext, size, { { QFile::encodeName( part ), 0, 0, size } } );
    }
    return made;
}

void DriverView::finish( bool made )
{
    if ( made )
        mPath = QStringLiteral( "/vsisparse/" ) + QString::fromLatin1( mDir ) + QStringLiteral( "view.shp" );
}

} // namespace gis
