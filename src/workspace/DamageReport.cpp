#include "DamageReport.h"

#include <QLocale>

namespace
{
QString count( qint64 n )
{
    return QLocale().toString( n );
}

QString ofRecords( qint64 n, const gis::ReadDamage &damage )
{
    return QStringLiteral( "%1 of %2" ).arg( count( n ), count( damage.records ) );
}

QString unopenedText( const QString &fileName, const gis::ReadDamage &damage )
{
    using Unopened = gis::ReadDamage::Unopened;
    switch ( damage.unopened )
    {
        case Unopened::NotRegularFile:
            return ( damage.part == fileName ? QStringLiteral( "it" ) : damage.part )
                   + QStringLiteral( " is not a regular file; the layer was not loaded" );
        case Unopened::LinkOutside:
            return ( damage.part == fileName ? QStringLiteral( "it" ) : damage.part )
                   + QStringLiteral( " is a link to a file outside the folder; the layer was not loaded" );
        case Unopened::NotPermitted:
            return ( damage.part == fileName ? QStringLiteral( "it" ) : QStringLiteral( "its index file " ) + damage.part )
                   + QStringLiteral( " cannot be read (permission denied); the layer was not loaded" );
        case Unopened::MissingIndex:
            return QStringLiteral( "its index file %1 is missing; the layer was not loaded" ).arg( damage.part );
        case Unopened::DamagedIndex:
            return QStringLiteral( "its index file %1 is damaged; the layer was not loaded" ).arg( damage.part );
        case Unopened::CannotOpen:
        case Unopened::No:
            break;
    }
    return QStringLiteral( "it is not a shapefile that can be read; the layer was not loaded" );
}
} // namespace

void DamageReport::add( const QString &fileName, const gis::ReadDamage &damage )
{
    if ( !damage.isDamaged() )
        return;
    QStringList lost;
    if ( damage.unopened != gis::ReadDamage::Unopened::No )
    {
        lost << unopenedText( fileName, damage );
    }
    else
    {
        if ( damage.indexRebuilt )
            lost << QStringLiteral( "its index file %1 is damaged; the records were read from %2 in order" ).arg( damage.part, fileName );
        for ( const gis::DamageCounter &counter : gis::kDamageCounters )
        {
            if ( damage.*counter.count > 0 )
                lost << QString::fromLatin1( counter.sentence ).arg( ofRecords( damage.*counter.count, damage ) );
        }
        const qint64 recordsKept = damage.records - damage.recordsLost - damage.recordsDeleted;
        for ( const gis::ReadDamage::FieldUnread &field : damage.fieldsUnread )
        {
            // A damaged description may have lost the name too.
            const QString name = field.name.trimmed().isEmpty() ? QStringLiteral( "number %1" ).arg( field.index + 1 ) : field.name;
            lost << QStringLiteral( "the description of its field %1 is damaged: %2 of %3 values could not be read" )
                        .arg( name, count( field.valuesLost ), count( recordsKept ) );
        }
        if ( !damage.encodingNotApplied.isEmpty() )
            lost << QStringLiteral( "its .cpg names %1, an encoding a dBASE table cannot hold; the text was read without it" )
                        .arg( damage.encodingNotApplied );
        if ( damage.tableUnread )
            lost << QStringLiteral( "its attribute table (.dbf) is missing or cannot be read" );
        for ( const QString &part : damage.damagedParts )
            lost << part + QStringLiteral( " is damaged" );
        if ( damage.crsUnreadable )
            lost << QStringLiteral( "its coordinate system (.prj) could not be read" );
        if ( damage.geographicOutOfRange )
            lost << QStringLiteral( "its .prj gives degrees, but its coordinates lie outside 180 degrees of longitude "
                                    "or 90 degrees of latitude; the scale and distances are wrong" );
    }
    mLines << fileName + QStringLiteral( ": " ) + lost.join( QStringLiteral( "; " ) ) + QLatin1Char( '.' );
}

QString DamageReport::text() const
{
    return QStringLiteral( "Some files of the data directory are damaged. What could not be read is left out of the "
                           "map and of the queries.\n\n" )
           + mLines.join( QLatin1Char( '\n' ) );
}
