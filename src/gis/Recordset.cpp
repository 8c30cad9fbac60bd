#include "Recordset.h"

#include "GisError.h"

#include <algorithm>
#include <limits>

namespace gis
{

Recordset::Recordset( std::shared_ptr<const Dataset> ds, std::vector<qint64> records )
    : mDs( std::move( ds ) )
    , mRecords( std::move( records ) )
{
}

qint64 Recordset::recordIndex() const
{
    if ( eof() )
        throw GisError( "no current record" );
    return mRecords[mPos];
}

int Recordset::fieldCount() const
{
    return mDs ? static_cast<int>( mDs->fieldNames().size() ) : 0;
}

QString Recordset::fieldName( int i ) const
{
    if ( i < 0 || i >= fieldCount() )
        throw GisError( "no field " + std::to_string( i ) );
    return mDs->fieldNames().at( i );
}

int Recordset::fieldType( int i ) const
{
    if ( i < 0 || i >= fieldCount() )
        throw GisError( "no field " + std::to_string( i ) );
    return mDs->fieldType( i );
}

QVariant Recordset::value( const QString &field ) const
{
    const int i = mDs ? mDs->fieldIndex( field ) : -1;
    if ( i < 0 )
        throw GisError( "no field \"" + field.toStdString() + "\"" );
    return value( i );
}

QVariant Recordset::value( int field ) const
{
    if ( eof() )
        throw GisError( "no current record" );
    if ( field < 0 || field >= fieldCount() )
        throw GisError( "no field " + std::to_string( field ) );
    return mDs->value( mRecords[mPos], field );
}

const Geometry &Recordset::shape() const
{
    if ( !mDs || eof() )
        throw GisError( "no current record" );
    return mDs->shape( mRecords[mPos] );
}

int Recordset::shapeType() const
{
    return shape().shapeType();
}

Statistics Recordset::calculateStatistics( const QString &field ) const
{
    const int f = mDs ? mDs->fieldIndex( field ) : -1;
    if ( f < 0 )
        throw GisError( "no field \"" + field.toStdString() + "\"" );

    Statistics stats;
    qint64 numeric = 0;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    for ( qint64 record : mRecords )
    {
        const QVariant &v = mDs->value( record, f );
        if ( v.isNull() )
            continue;
        ++stats.count;
        bool ok = false;
        const double x = v.toDouble( &ok );
        if ( !ok )
            continue;
        ++numeric;
        lo = std::min( lo, x );
        hi = std::max( hi, x );
        stats.sum += x;
    }
    if ( numeric > 0 )
    {
        stats.min = lo;
        stats.max = hi;
    }
    return stats;
}

} // namespace gis
