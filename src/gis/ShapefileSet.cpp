#include "ShapefileSet.h"

#include "GisError.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <utility>
#include <vector>

namespace gis::shapefileset
{

namespace
{
RecordWrittenHook &hookSlot()
{
    static RecordWrittenHook hook;
    return hook;
}

bool anyFileOf( const QString &base )
{
    for ( const QStringList *list : { &partExtensions(), &indexExtensions() } )
    {
        for ( const QString &ext : *list )
        {
            if ( QFileInfo::exists( base + ext ) )
                return true;
        }
    }
    return false;
}
} // namespace

const QStringList &partExtensions()
{
    static const QStringList parts { QStringLiteral( ".shp" ), QStringLiteral( ".shx" ), QStringLiteral( ".dbf" ),
                                     QStringLiteral( ".prj" ), QStringLiteral( ".cpg" ) };
    return parts;
}

const QStringList &indexExtensions()
{
    static const QStringList indexes { QStringLiteral( ".qix" ), QStringLiteral( ".sbn" ), QStringLiteral( ".sbx" ) };
    return indexes;
}

QString temporaryBase( const QString &base )
{
    const QFileInfo info( base );
    // Hidden, and with a name no folder of standard files uses.
    const QString stem = info.path() + QStringLiteral( "/.~" ) + info.fileName() + QLatin1Char( '-' );
    for ( int attempt = 0; attempt < 100; ++attempt )
    {
        const QString candidate = stem + QString::number( QRandomGenerator::global()->generate(), 36 );
        if ( !anyFileOf( candidate ) )
            return candidate;
    }
    throw GisError( "no free temporary name beside " + base.toStdString() );
}

void removeSet( const QString &base )
{
    for ( const QStringList *list : { &partExtensions(), &indexExtensions() } )
    {
        for ( const QString &ext : *list )
        {
            if ( QFileInfo::exists( base + ext ) )
                QFile::remove( base + ext );
        }
    }
}

void replaceSet( const QString &newBase, const QString &targetBase )
{
    const QString backupBase = temporaryBase( targetBase );
    std::vector<QString> setAside; // extensions of old files now under backupBase
    std::vector<QString> placed;   // extensions of new files now under targetBase

    const auto rollBack = [&]( const std::string &reason ) {
        for ( const QString &ext : placed )
            QFile::rename( targetBase + ext, newBase + ext );
        for ( const QString &ext : setAside )
            QFile::rename( backupBase + ext, targetBase + ext );
        removeSet( newBase );
        throw GisError( reason );
    };

    for ( const QStringList *list : { &partExtensions(), &indexExtensions() } )
    {
        for ( const QString &ext : *list )
        {
            if ( !QFileInfo::exists( targetBase + ext ) )
                continue;
            if ( !QFile::rename( targetBase + ext, backupBase + ext ) )
                rollBack( "cannot move aside " + ( targetBase + ext ).toStdString() );
            setAside.push_back( ext );
        }
    }
    for ( const QString &ext : partExtensions() )
    {
        if ( !QFileInfo::exists( newBase + ext ) )
            continue;
        if ( !QFile::rename( newBase + ext, targetBase + ext ) )
            rollBack( "cannot move into place " + ( targetBase + ext ).toStdString() );
        placed.push_back( ext );
    }
    for ( const QString &ext : setAside )
        QFile::remove( backupBase + ext );
}

void setRecordWrittenHook( RecordWrittenHook hook )
{
    hookSlot() = std::move( hook );
}

void recordWritten( qint64 written )
{
    if ( const RecordWrittenHook &hook = hookSlot() )
        hook( written );
}

} // namespace gis::shapefileset
