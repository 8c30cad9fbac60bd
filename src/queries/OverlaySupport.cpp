#include "OverlaySupport.h"

#include "md_query_functions2.h"

#include "common/Dialogs.h"
#include "common/ErrorMessage.h"
#include "gis/GisError.h"
#include "gis/OrderedWork.h"

#include <QApplication>

#include <algorithm>

namespace md_query_functions2
{

namespace
{
//! Wind polygons across one lattice square.
constexpr double kPolygonsPerTile = 8;
//! A map is cut into no more than this many squares across.
constexpr double kMostTilesAcross = 512;
//! Polygons with more vertices than this are cut at the lattice before many small ones are tested against them.
constexpr int kLargePolygonVertices = 2000;
//! Wind polygons whose size decides the lattice.
constexpr qint64 kSizeSamples = 257;
} // namespace

WindSelection WindSelection::search( const QueryInputs &inputs, const QString &expression )
{
    WindSelection s;
    s.mRecords = inputs.layer( kWindFile )->searchExpression( expression );
    s.mDataset = s.mRecords.dataset();
    if ( !s.mDataset )
        throw gis::GisError( "the wind layer has no data" );
    s.mValueField = s.mDataset->fieldIndex( kWindField );
    if ( s.mValueField < 0 )
        throw gis::GisError( "the wind layer has no WINDPWRD" );
    s.mFeatureCount = FeatureCount( s.mRecords );
    s.mSelected.assign( static_cast<size_t>( s.mDataset->recordCount() ), false );
    for ( qint64 r : s.mRecords.records() )
        s.mSelected[static_cast<size_t>( r )] = true;
    return s;
}

bool StartWindOverlay( const QueryInputs &inputs, const QueryCallbacks &callbacks, WindSelection &wind,
                       const std::function<void()> &before )
{
    try
    {
        callbacks.setCaption( kOverlaying );
        callbacks.repaint( true );
        if ( before )
            before();
        const QString expression = CreateWindSelectExpression( inputs );
        if ( expression.isEmpty() )
            return false; // the builder has reported it
        wind = WindSelection::search( inputs, expression );
        SetValueField( kWindField );
        return true;
    }
    catch ( const std::exception & )
    {
        ErrorMessage( kQueryFailed, 48 );
        return false;
    }
}

void HideAndRedraw( const QueryInputs &inputs, const QueryCallbacks &callbacks, const QStringList &files )
{
    HideReferenceLayers( inputs, files );
    callbacks.redraw();
    callbacks.repaint( true );
}

std::shared_ptr<const gis::Geometry> WindSelection::sharedShape( qint64 record ) const
{
    return std::shared_ptr<const gis::Geometry>( mDataset, &mDataset->shape( record ) );
}

std::vector<qint64> WindSelection::meeting( const gis::Rect &r ) const
{
    std::vector<qint64> found = mDataset->recordsInRect( r );
    found.erase( std::remove_if( found.begin(), found.end(),
                                 [this]( qint64 i ) {
                                     return !mSelected[static_cast<size_t>( i )] || !mDataset->shape( i ).isPolygonal();
                                 } ),
                 found.end() );
    std::sort( found.begin(), found.end() );
    return found;
}

void AddWindPiece( const WindSelection &wind, WindPiece &piece )
{
    if ( piece.whole )
        AddResult( wind.sharedShape( piece.record ), kWindField, wind.value( piece.record ) );
    else if ( !piece.part.isNull() )
        AddResult( std::make_shared<const gis::Geometry>( std::move( piece.part ) ), kWindField,
                   wind.value( piece.record ) );
}

std::vector<bool> WindSelection::near( const std::vector<gis::Rect> &envelopes ) const
{
    std::vector<bool> found( mSelected.size(), false );
    for ( const gis::Rect &r : envelopes )
    {
        for ( qint64 i : mDataset->recordsInRect( r ) )
            found[static_cast<size_t>( i )] = true;
    }
    return found;
}

bool AddWindPiecesInOrder( const WindSelection &wind, const gis::TiledArea &area, Keep keep,
                           const RecordLoopStage &stage, const QueryCallbacks &callbacks )
{
    const std::vector<qint64> &records = wind.recordIndices();
    cResults.reserve( static_cast<qint64>( records.size() ) );
    // Most wind polygons of a country lie far from a zone: found by the spatial index, not polygon by polygon.
    const std::vector<bool> near = wind.near( area.pieceEnvelopes() );
    gis::OrderedResults<WindPiece> pieces( static_cast<qint64>( records.size() ), [&]( qint64 i, int worker ) {
        WindPiece piece;
        piece.record = records[static_cast<size_t>( i )];
        const gis::Geometry &shape = wind.shape( piece.record );
        if ( !shape.isPolygonal() )
            return piece;
        if ( !near[static_cast<size_t>( piece.record )] )
        {
            piece.whole = keep == Keep::Outside;
            return piece;
        }
        gis::TiledArea::Overlap found = keep == Keep::Inside ? area.intersect( shape, worker ) : area.subtract( shape, worker );
        piece.whole = found.whole;
        piece.part = std::move( found.part );
        return piece;
    } );
    return RunItemLoop( pieces.count(), wind.featureCount(), stage, callbacks, [&]( qint64 i ) {
        WindPiece piece = pieces.take( i );
        AddWindPiece( wind, piece );
    } );
}

double OverlayTileSize( const QueryInputs &inputs )
{
    std::shared_ptr<const gis::Dataset> wind;
    if ( inputs.hasLayer( kWindFile ) )
        wind = inputs.layer( kWindFile )->geoDataset();

    double across = std::max( inputs.fullExtent.width(), inputs.fullExtent.height() );
    std::vector<double> sizes;
    if ( wind )
    {
        across = std::max( { across, wind->extent().width(), wind->extent().height() } );
        const qint64 n = wind->recordCount();
        const qint64 step = std::max<qint64>( 1, n / kSizeSamples );
        for ( qint64 r = 0; r < n; r += step )
        {
            if ( const std::optional<gis::Rect> env = wind->shape( r ).envelope() )
                sizes.push_back( std::max( env->width(), env->height() ) );
        }
    }
    double size = 0;
    if ( !sizes.empty() )
    {
        std::nth_element( sizes.begin(), sizes.begin() + static_cast<std::ptrdiff_t>( sizes.size() / 2 ), sizes.end() );
        size = sizes[sizes.size() / 2] * kPolygonsPerTile;
    }
    if ( size <= 0 )
        size = across / 64;
    // Tiny polygons on a wide map would make a lattice of millions of squares.
    return std::max( size, across / kMostTilesAcross );
}

gis::TiledArea UnionOfPolygons( const gis::Recordset &records, double tileSize )
{
    std::vector<const GEOSGeometry *> shapes;
    const auto &dataset = records.dataset();
    for ( qint64 r : records.records() )
    {
        const gis::Geometry &shape = dataset->shape( r );
        if ( shape.isPolygonal() )
            shapes.push_back( shape.get() );
    }
    return gis::TiledArea::unionOf( shapes, tileSize, true, dataset );
}

gis::TiledArea LocalArea( const gis::Geometry &polygon, double tileSize )
{
    const int vertices = polygon.isNull() ? 0 : GEOSGetNumCoordinates_r( gis::geosContext(), polygon.get() );
    return gis::TiledArea::unionOf( { polygon.get() }, vertices > kLargePolygonVertices ? tileSize : 0, false );
}

void ShowMessage( const QString &text )
{
    Dialogs::instance().message( QApplication::activeWindow(), text, kAppTitle, Dialogs::Icon::None );
}

} // namespace md_query_functions2
