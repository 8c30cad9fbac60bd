#include "ShapefileSet.h"

#include "GisError.h"

#include <QDir>
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

/**
 * Whether the file of extension \a ext, among the \a existing ones of the
 * chosen name, belongs to another file set than the chosen one: the chosen
 * .shp (of extension \a chosenSuffix) is there, and \a ext is of the other
 * letter case, in which a .shp, .shx and .dbf make a complete set of their
 * own (OLD.SHP beside OLD.shp). Without the chosen .shp, the set of the
 * other letter case is the one chosen, and asked about.
 */
bool ofAnotherSet( const QStringList &existing, const QString &ext, const QString &chosenSuffix, bool upperCase )
{
    if ( !existing.contains( QLatin1Char( '.' ) + chosenSuffix ) )
        return false;
    const QString other = upperCase ? ext.toLower() : ext.toUpper();
    if ( ext != other )
        return false;
    for ( const char *part : { ".shp", ".shx", ".dbf" } )
    {
        const QString name = QString::fromLatin1( part );
        if ( !existing.contains( upperCase ? name : name.toUpper() ) )
            return false;
    }
    return true;
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

QStringList existingExtensions( const QString &base )
{
    const QFileInfo info( base );
    const QString prefix = info.fileName() + QLatin1Char( '.' );
    QStringList found;
    if ( info.fileName().isEmpty() )
        return found;
    const QStringList names = QDir( info.path() ).entryList( QDir::Files | QDir::Hidden, QDir::Name );
    for ( const QString &name : names )
    {
        if ( !name.startsWith( prefix ) )
            continue;
        const QString ext = name.mid( prefix.size() - 1 );
        for ( const QStringList *list : { &partExtensions(), &indexExtensions() } )
        {
            if ( list->contains( ext, Qt::CaseInsensitive ) )
                found << ext;
        }
    }
    return found;
}

QString temporaryBase( const QString &base )
{
    const QFileInfo info( base );
    // Hidden, and with a name no folder of standard files uses.
    const QString stem = info.path() + QStringLiteral( "/.~" ) + info.fileName() + QLatin1Char( '-' );
    for ( int attempt = 0; attempt < 100; ++attempt )
    {
        const QString candidate = stem + QString::number( QRandomGenerator::global()->generate(), 36 );
        if ( existingExtensions( candidate ).isEmpty() )
            return candidate;
    }
    throw GisError( "no free temporary name beside " + base.toStdString() );
}

void removeSet( const QString &base )
{
    for ( const QString &ext : existingExtensions( base ) )
        QFile::remove( base + ext );
}

void replaceSet( const QString &newBase, const QString &targetShp )
{
    const QFileInfo target( targetShp );
    const QString targetBase = target.path() + QLatin1Char( '/' ) + target.completeBaseName();
    // Readers look for each part in lower case, then in upper case: OLD.SHP finds
    // its OLD.SHX when there is no OLD.shx. Upper-case parts beside an upper-case
    // .shp, lower-case ones otherwise.
    const bool upperCase = target.suffix() == QLatin1String( "SHP" );
    const QString backupBase = temporaryBase( targetBase );
    std::vector<QString> setAside; // extensions, as they were written, of old files now under backupBase
    std::vector<QString> placed;   // extensions of new files now under targetBase, as named there

    const auto rollBack = [&]( const std::string &reason ) {
        for ( const QString &ext : placed )
            QFile::rename( targetBase + ext, newBase + ext.toLower() );
        for ( const QString &ext : setAside )
            QFile::rename( backupBase + ext, targetBase + ext );
        removeSet( newBase );
        throw GisError( reason );
    };

    // Every file of the old set goes, in whatever letter case: a part left
    // behind would be read as a part of the new set.
    const QStringList existing = existingExtensions( targetBase );
    for ( const QString &ext : existing )
    {
        if ( ofAnotherSet( existing, ext, target.suffix(), upperCase ) )
            continue;
        if ( !QFile::rename( targetBase + ext, backupBase + ext ) )
            rollBack( "cannot move aside " + ( targetBase + ext ).toStdString() );
        setAside.push_back( ext );
    }
    for ( const QString &ext : partExtensions() )
    {
        if ( !QFileInfo::exists( newBase + ext ) )
            continue;
        const QString named = upperCase ? ext.toUpper() : ext;
        if ( !QFile::rename( newBase + ext, targetBase + named ) )
            rollBack( "cannot move into place " + ( targetBase + named ).toStdString() );
        placed.push_back( named );
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
