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

inline gis::Recordset search( const QueryInputs &inputs, const QString &file, const QString &where )
{
    return inputs.layer( file )->searchExpression( where );
}

inline double windValue( const gis::Recordset &wind )
{
    return wind.value( QStringLiteral( "WINDPWRD" ) ).toDouble();
}

//! \a running united with \a next; a step that fails or has nothing to add leaves \a running as it was.
inline void unite( gis::Geometry &running, const gis::Geometry &next, const std::optional<gis::Rect> &extent = {} )
{
    if ( next.isNull() )
        return;
    if ( running.isNull() )
    {
        running = next;
        return;
    }
    try
    {
        gis::Geometry u = gis::ops::unionOf( running, next, extent );
        if ( !u.isNull() )
            running = std::move( u );
    }
    catch ( const gis::GisError & )
    {
    }
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

inline std::vector<Result> windMinusProtected( const QueryInputs &inputs, const QString &windExpression )
{
    gis::Recordset prot = search( inputs, QStringLiteral( "31_protectedarea.shp" ), QStringLiteral( "FeatureID > -1" ) );
    gis::Recordset wind = search( inputs, QStringLiteral( "20_wind.shp" ), windExpression );
    const gis::Rect extent = inputs.fullExtent;
    gis::Geometry protectedUnion;
    for ( ; !prot.eof(); prot.moveNext() )
    {
        if ( prot.shapeType() == 23 )
            unite( protectedUnion, prot.shape(), extent );
    }
    std::vector<Result> results;
    for ( ; !wind.eof(); wind.moveNext() )
    {
        if ( wind.shapeType() != 23 )
            continue;
        gis::Geometry rest = protectedUnion.isNull() ? wind.shape()
                                                     : tryOp( gis::ops::difference, wind.shape(), protectedUnion, extent );
        if ( !rest.isNull() )
            results.push_back( { std::move( rest ), windValue( wind ) } );
    }
    return results;
}

inline QString landUseExpression( const QStringList &selected )
{
    QStringList terms;
    for ( QString item : selected )
        terms << QStringLiteral( "(LAND_USE = '" ) + item.replace( QStringLiteral( "'" ), QStringLiteral( "''" ) )
                     + QStringLiteral( "')" );
    return terms.join( QStringLiteral( " OR " ) );
}

inline std::vector<Result> windWithLandUse( const QueryInputs &inputs, const QString &windExpression )
{
    gis::Recordset land =
        search( inputs, QStringLiteral( "02_landuse.shp" ), landUseExpression( inputs.selectedLandUses ) );
    gis::Recordset wind = search( inputs, QStringLiteral( "20_wind.shp" ), windExpression );
    std::vector<Result> results;
    for ( ; !land.eof(); land.moveNext() )
    {
        if ( land.shapeType() != 23 )
            continue;
        for ( wind.moveFirst(); !wind.eof(); wind.moveNext() )
        {
            if ( wind.shapeType() != 23 )
                continue;
            gis::Geometry piece = tryOp( gis::ops::intersect, land.shape(), wind.shape(), inputs.fullExtent );
            if ( !piece.isNull() )
                results.push_back( { std::move( piece ), windValue( wind ) } );
        }
    }
    return results;
}

/**
 * The buffer zone of a line layer: one running union below 400 features;
 * from 400 on batches of 1 + 100 buffers, groups of 1 + 10 batches, then all
 * groups.
 */
inline gis::Geometry lineBuffers( const QueryInputs &inputs, const QString &file, float km )
{
    gis::Recordset lines = search( inputs, file, QStringLiteral( "FeatureID > -1" ) );
    const float distance = km * 1000.0f;
    std::vector<gis::Geometry> buffers;
    for ( ; !lines.eof(); lines.moveNext() )
        buffers.push_back( gis::ops::buffer( lines.shape(), distance ) );
    gis::Geometry running;
    if ( buffers.size() < 400 )
    {
        for ( const gis::Geometry &b : buffers )
            unite( running, b );
        return running;
    }
    std::vector<gis::Geometry> batches;
    qint64 unions = 0;
    running = buffers.front();
    for ( size_t i = 1; i < buffers.size(); ++i )
    {
        if ( running.isNull() )
        {
            running = buffers[i];
        }
        else if ( unions == 100 )
        {
            batches.push_back( std::move( running ) );
            running = buffers[i];
            unions = 0;
        }
        else
        {
            unite( running, buffers[i] );
            ++unions;
        }
    }
    std::vector<gis::Geometry> groups;
    qint64 groupUnions = 0;
    for ( const gis::Geometry &batch : batches )
    {
        if ( running.isNull() )
        {
            running = batch;
        }
        else if ( groupUnions == 10 )
        {
            groups.push_back( std::move( running ) );
            running = batch;
            groupUnions = 0;
        }
        else
        {
            unite( running, batch );
            ++groupUnions;
        }
    }
    for ( const gis::Geometry &group : groups )
        unite( running, group );
    return running;
}

inline std::vector<Result> windInZone( const QueryInputs &inputs, const QString &windExpression, const gis::Geometry &zone )
{
    gis::Recordset wind = search( inputs, QStringLiteral( "20_wind.shp" ), windExpression );
    std::vector<Result> results;
    for ( ; !wind.eof(); wind.moveNext() )
    {
        if ( wind.shapeType() != 23 )
            continue;
        gis::Geometry piece = tryOp( gis::ops::intersect, zone, wind.shape() );
        if ( !piece.isNull() )
            results.push_back( { std::move( piece ), windValue( wind ) } );
    }
    return results;
}

inline std::vector<Result> windAll( const QueryInputs &inputs, const QString &windExpression, float roadKm, float lineKm )
{
    const gis::Geometry roads = lineBuffers( inputs, QStringLiteral( "43_roads.shp" ), roadKm );
    const gis::Geometry lines = lineBuffers( inputs, QStringLiteral( "44_transmissionline.shp" ), lineKm );
    const gis::Geometry zone = tryOp( gis::ops::intersect, roads, lines );

    std::vector<gis::Geometry> pieces;
    gis::Recordset land =
        search( inputs, QStringLiteral( "02_landuse.shp" ), landUseExpression( inputs.selectedLandUses ) );
    for ( ; !land.eof(); land.moveNext() )
    {
        if ( land.shapeType() != 23 )
            continue;
        gis::Geometry piece = tryOp( gis::ops::intersect, zone, land.shape() );
        if ( !piece.isNull() )
            pieces.push_back( std::move( piece ) );
    }

    gis::Recordset wind = search( inputs, QStringLiteral( "20_wind.shp" ), windExpression );
    std::optional<gis::Recordset> prot;
    if ( inputs.removeProtectedAreas )
        prot = search( inputs, QStringLiteral( "31_protectedarea.shp" ), QStringLiteral( "FeatureID > -1" ) );
    std::vector<Result> results;
    for ( const gis::Geometry &piece : pieces )
    {
        for ( wind.moveFirst(); !wind.eof(); wind.moveNext() )
        {
            if ( wind.shapeType() != 23 )
                continue;
            gis::Geometry r = tryOp( gis::ops::intersect, piece, wind.shape() );
            if ( prot )
            {
                for ( prot->moveFirst(); !prot->eof() && !r.isNull(); prot->moveNext() )
                {
                    if ( prot->shapeType() == 23 )
                        r = tryOp( gis::ops::difference, r, prot->shape() );
                }
            }
            if ( !r.isNull() )
                results.push_back( { std::move( r ), windValue( wind ) } );
        }
    }
    return results;
}

} // namespace reference
