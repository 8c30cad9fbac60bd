#include "Layer.h"

#include <QFileInfo>

#include "GisError.h"

namespace gis
{

Layer::Layer( std::shared_ptr<Dataset> ds )
{
    setGeoDataset( std::move( ds ) );
}

void Layer::setGeoDataset( std::shared_ptr<Dataset> ds )
{
    mDs = std::move( ds );
    // A layer nobody has named yet is listed under its file's base name.
    if ( mDs && name.isEmpty() )
        name = QFileInfo( mDs->path() ).completeBaseName();
}

ShapeKind Layer::shapeType() const
{
    return mDs ? mDs->shapeKind() : ShapeNone;
}

Rect Layer::extent() const
{
    return mDs ? mDs->extent() : Rect();
}

const std::optional<CoordinateSystem> &Layer::coordinateSystem() const
{
    static const std::optional<CoordinateSystem> none;
    return mDs ? mDs->coordinateSystem() : none;
}

Recordset Layer::records() const
{
    if ( !mDs )
        throw GisError( "the layer has no dataset" );
    return Recordset( mDs, mDs->search( QString() ) );
}

Recordset Layer::searchExpression( const QString &where ) const
{
    if ( !mDs )
        throw GisError( "the layer has no dataset" );
    return Recordset( mDs, mDs->search( where ) );
}

Recordset Layer::searchByDistance( const Point &p, double distance ) const
{
    if ( !mDs )
        throw GisError( "the layer has no dataset" );
    return Recordset( mDs, mDs->searchByDistance( p, distance ) );
}

std::shared_ptr<Layer> Layer::clone() const
{
    auto copy = std::make_shared<Layer>( *this );
    if ( renderer )
    {
        if ( const auto *r = dynamic_cast<const ClassBreaksRenderer *>( renderer.get() ) )
            copy->renderer = std::make_shared<ClassBreaksRenderer>( *r );
        else if ( const auto *r = dynamic_cast<const ValueMapRenderer *>( renderer.get() ) )
            copy->renderer = std::make_shared<ValueMapRenderer>( *r );
        else if ( const auto *r = dynamic_cast<const LabelRenderer *>( renderer.get() ) )
            copy->renderer = std::make_shared<LabelRenderer>( *r );
        else
            throw GisError( "unknown renderer kind" );
    }
    return copy;
}

} // namespace gis
