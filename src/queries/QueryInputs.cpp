#include "QueryInputs.h"

#include "common/Constants.h"
#include "gis/GisError.h"
#include "gis/MapWidget.h"

void QueryInputs::captureMap( const gis::MapWidget &map )
{
    mapLayers = map.layers();
    fullExtent = map.fullExtent();
    mIndexedLayers.clear();
    for ( const QString &file : Constants::kStandardFileNames )
    {
        if ( !md_functions::cLayerIndex.contains( file ) )
            continue;
        const int index = md_functions::cLayerIndex.item( file );
        if ( index >= 0 && index < map.layerCount() )
            addIndexedLayer( file, map.layer( index ) );
    }
}

void QueryInputs::addIndexedLayer( const QString &fileName, gis::LayerPtr layer )
{
    for ( auto &entry : mIndexedLayers )
    {
        if ( entry.first.compare( fileName, Qt::CaseInsensitive ) == 0 )
        {
            entry.second = std::move( layer );
            return;
        }
    }
    mIndexedLayers.emplace_back( fileName, std::move( layer ) );
}

gis::LayerPtr QueryInputs::findIndexedLayer( const QString &fileName ) const
{
    for ( const auto &entry : mIndexedLayers )
    {
        if ( entry.first.compare( fileName, Qt::CaseInsensitive ) == 0 && entry.second )
            return entry.second;
    }
    return nullptr;
}

gis::LayerPtr QueryInputs::layer( const QString &fileName ) const
{
    gis::LayerPtr found = findIndexedLayer( fileName );
    if ( !found )
        throw gis::GisError( "layer index: no layer " + fileName.toStdString() );
    return found;
}

bool QueryInputs::hasLayer( const QString &fileName ) const
{
    return findIndexedLayer( fileName ) != nullptr;
}

gis::LayerPtr QueryInputs::layerByName( const QString &name ) const
{
    for ( const gis::LayerPtr &l : mapLayers )
    {
        if ( l && l->name == name )
            return l;
    }
    return nullptr;
}
