#include "Constants.h"

#include "gis/GisError.h"

namespace Constants
{
std::array<QString, 28> sStandardFiles;
const std::array<QString, 28> kStandardFileNames = {
    QStringLiteral( "01_elevation.shp" ),        QStringLiteral( "02_landuse.shp" ),
    QStringLiteral( "11_solar_direct.shp" ),     QStringLiteral( "12_solar_tilt.shp" ),
    QStringLiteral( "13_solar_direct.shp" ),     QStringLiteral( "14_solar_glo.shp" ),
    QStringLiteral( "15_solar_glo.shp" ),        QStringLiteral( "16_solar_tilt.shp" ),
    QStringLiteral( "17_solar_direct.shp" ),     QStringLiteral( "18_solar_tilt.shp" ),
    QStringLiteral( "20_wind.shp" ),             QStringLiteral( "21_wind.shp" ),
    QStringLiteral( "22_wind.shp" ),             QStringLiteral( "30_lakes.shp" ),
    QStringLiteral( "31_protectedarea.shp" ),    QStringLiteral( "36_subcountrybnd3.shp" ),
    QStringLiteral( "37_subcountrybnd2.shp" ),   QStringLiteral( "38_subcountrybnd1.shp" ),
    QStringLiteral( "39_countryboundary.shp" ),  QStringLiteral( "40_rivers.shp" ),
    QStringLiteral( "42_railroad.shp" ),         QStringLiteral( "43_roads.shp" ),
    QStringLiteral( "44_transmissionline.shp" ), QStringLiteral( "50_protectedarea.shp" ),
    QStringLiteral( "51_powerplant.shp" ),       QStringLiteral( "52_facilities.shp" ),
    QStringLiteral( "53_airports.shp" ),         QStringLiteral( "59_cities.shp" ),
};
QString sValueField;
bool bCancelQuery = false;
bool bQueryRunning = false;
bool bResultsDrawn = false;
std::shared_ptr<gis::DataConnection> oDataConnection;
} // namespace Constants

namespace md_functions
{
QString sDataPath;
LayerIndex cLayerIndex;
bool bSolarListByCode = false;
} // namespace md_functions

bool LayerIndex::add( const QString &key, int index )
{
    const QString k = key.toLower();
    if ( mItems.contains( k ) )
        return false;
    mItems.insert( k, index );
    return true;
}

int LayerIndex::item( const QString &key ) const
{
    const auto it = mItems.constFind( key.toLower() );
    if ( it == mItems.constEnd() )
        throw gis::GisError( "layer index: no layer " + key.toStdString() );
    return it.value();
}
