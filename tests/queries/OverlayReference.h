#pragma once

#include "gis/GeometryOps.h"
#include "gis/GisError.h"
#include "gis/Recordset.h"
#include "queries/QueryInputs.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

/**
 * The overlay queries computed the slow way, step by step as the siting
 * tool's description of them reads: one union grown record by record,
 * every land-use polygon against every wind polygon, the difference of each
 * wind polygon with the union of all protected areas, the line buffers
 * merged one by one in batches. The tests compare the program's results
 * with these, polygon by polygon. The known faults of that description are
 * mended here as in the program: the protected union starts at the first
 * polygon, nothing to subtract leaves a wind polygon whole, a protected
 * area that cannot be subtracted drops the piece, counts are 64-bit.
 */
namespace reference
{

//! One result polygon: its shape and its wind record's value.
struct Result
{
    gis::Geometry shape;
    double value = 0;
};

inline gis::Recordset search( const QueryInputs &inputs, const QString &file, const QString &where = QStringLiteral( "FeatureID > -1" ) )
{
    return inputs.layer( file )->searchExpression( where );
}

//! Calls \a handle for each polygon record of \a records, from the first.
template <typename Handle> void forEachPolygon( gis::Recordset &records, Handle handle )
{
    for ( records.moveFirst(); !records.eof(); records.moveNext() )
    {
        if ( records.shapeType() == 23 )
            handle( records );
    }
}

//! Adds \a shape, when there is one, with the value of the current wind record.
inline void add( std::vector<Result> &results, gis::Geometry shape, const gis::Recordset &wind )
{
    if ( !shape.isNull() )
        results.push_back( { std::move( shape ), wind.value( QStringLiteral( "WINDPWRD" ) ).toDouble() } );
}

inline gis::Geometry tryOp( gis::Geometry ( *op )( const gis::Geometry &, const gis::Geometry &,
                                                    const std::optional<gis::Rect> & ),
                            const gis::Geometry &a, const gis::Geometry &b,
                            const std::optional<gis::Rect> &extent = std::nullopt )
{
    try
    {
        return op( a, b, extent );
    }
    catch ( const gis::GisError & )
    {
        return gis::Geometry();
    }
}

//! \a running united with \a next; a step that fails or has nothing to add leaves \a running as it was.
inline void unite( gis::Geometry &running, const gis::Geometry &next, const std::optional<gis::Rect> &extent = {} )
{
    if ( next.isNull() )
        return;
    gis::Geometry u = running.isNull() ? next : tryOp( gis::ops::unionOf, running, next, extent );
    if ( !u.isNull() )
        running = std::move( u );
}

inline std::vector<Result> windMinusProtected( const QueryInputs &inputs, const QString &windExpression )
{
    gis::Recordset prot = search( inputs, QStringLiteral( "31_protectedarea.shp" ) );
    gis::Recordset wind = search( inputs, QStringLiteral( "20_wind.shp" ), windExpression );
    gis::Geometry protectedUnion;
    forEachPolygon( prot, [&]( const gis::Recordset &p ) { unite( protectedUnion, p.shape(), inputs.fullExtent ); } );
    std::vector<Result> results;
    forEachPolygon( wind, [&]( const gis::Recordset &w ) {
        add( results,
             protectedUnion.isNull() ? w.shape()
                                     : tryOp( gis::ops::difference, w.shape(), protectedUnion, inputs.fullExtent ),
             w );
    } );
    return results;
}

//! The land-use records whose LAND_USE equals one of the selected texts exactly, letter case and blanks included.
inline gis::Recordset landUse( const QueryInputs &inputs )
{
    gis::Recordset all = inputs.layer( QStringLiteral( "02_landuse.shp" ) )->records();
    std::vector<qint64> chosen;
    for ( ; !all.eof(); all.moveNext() )
    {
        const QVariant use = all.value( QStringLiteral( "LAND_USE" ) );
        if ( !use.isNull() && inputs.selectedLandUses.contains( use.toString(), Qt::CaseSensitive ) )
            chosen.push_back( all.recordIndex() );
    }
    return gis::Recordset( all.dataset(), std::move( chosen ) );
}

inline std::vector<Result> windWithLandUse( const QueryInputs &inputs, const QString &windExpression )
{
    gis::Recordset land = landUse( inputs );
    gis::Recordset wind = search( inputs, QStringLiteral( "20_wind.shp" ), windExpression );
    std::vector<Result> results;
    forEachPolygon( land, [&]( const gis::Recordset &l ) {
        forEachPolygon( wind, [&]( const gis::Recordset &w ) {
            add( results, tryOp( gis::ops::intersect, l.shape(), w.shape(), inputs.fullExtent ), w );
        } );
    } );
    return results;
}

/**
 * Grows \a running by \a items from \a from on; after \a perChunk unions the
 * chunk is closed, kept in the result, and the next item starts a new one.
 */
inline std::vector<gis::Geometry> mergeInChunks( gis::Geometry &running, const std::vector<gis::Geometry> &items,
                                                 size_t from, qint64 perChunk )
{
    std::vector<gis::Geometry> closed;
    qint64 unions = 0;
    for ( size_t i = from; i < items.size(); ++i )
    {
        if ( running.isNull() )
        {
            running = items[i];
        }
        else if ( unions == perChunk )
        {
            closed.push_back( std::move( running ) );
            running = items[i];
            unions = 0;
        }
        else
        {
            unite( running, items[i] );
            ++unions;
        }
    }
    return closed;
}

/**
 * The buffer zone of a line layer: one running union below 400 features;
 * from 400 on batches of 1 + 100 buffers, groups of 1 + 10 batches, then all
 * groups.
 */
inline gis::Geometry lineBuffers( const QueryInputs &inputs, const QString &file, float km )
{
    gis::Recordset lines = search( inputs, file );
    std::vector<gis::Geometry> buffers;
    for ( ; !lines.eof(); lines.moveNext() )
        buffers.push_back( gis::ops::buffer( lines.shape(), km * 1000.0f ) );
    gis::Geometry running;
    if ( buffers.size() < 400 )
    {
        for ( const gis::Geometry &b : buffers )
            unite( running, b );
        return running;
    }
    running = buffers.front();
    const std::vector<gis::Geometry> batches = mergeInChunks( running, buffers, 1, 100 );
    for ( const gis::Geometry &group : mergeInChunks( running, batches, 0, 10 ) )
        unite( running, group );
    return running;
}

inline std::vector<Result> windInZone( const QueryInputs &inputs, const QString &windExpression, const gis::Geometry &zone )
{
    gis::Recordset wind = search( inputs, QStringLiteral( "20_wind.shp" ), windExpression );
    std::vector<Result> results;
    forEachPolygon( wind, [&]( const gis::Recordset &w ) { add( results, tryOp( gis::ops::intersect, zone, w.shape() ), w ); } );
    return results;
}

inline std::vector<Result> windAll( const QueryInputs &inputs, const QString &windExpression, float roadKm, float lineKm )
{
    const gis::Geometry zone = tryOp( gis::ops::intersect, lineBuffers( inputs, QStringLiteral( "43_roads.shp" ), roadKm ),
                                      lineBuffers( inputs, QStringLiteral( "44_transmissionline.shp" ), lineKm ) );
    std::vector<gis::Geometry> pieces;
    gis::Recordset land = landUse( inputs );
    forEachPolygon( land, [&]( const gis::Recordset &l ) {
        gis::Geometry piece = tryOp( gis::ops::intersect, zone, l.shape() );
        if ( !piece.isNull() )
            pieces.push_back( std::move( piece ) );
    } );

    gis::Recordset wind = search( inputs, QStringLiteral( "20_wind.shp" ), windExpression );
    std::optional<gis::Recordset> prot;
    if ( inputs.removeProtectedAreas )
        prot = search( inputs, QStringLiteral( "31_protectedarea.shp" ) );
    std::vector<Result> results;
    for ( const gis::Geometry &piece : pieces )
    {
        forEachPolygon( wind, [&]( const gis::Recordset &w ) {
            gis::Geometry r = tryOp( gis::ops::intersect, piece, w.shape() );
            if ( prot )
            {
                forEachPolygon( *prot, [&]( const gis::Recordset &p ) {
                    if ( !r.isNull() )
                        r = tryOp( gis::ops::difference, r, p.shape() );
                } );
            }
            add( results, std::move( r ), w );
        } );
    }
    return results;
}

} // namespace reference
