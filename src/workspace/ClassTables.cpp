#include "ClassTables.h"

#include "gis/Symbol.h"

#include <QHash>

using gis::rgb;

int ClassTable::resultClassOf( double value ) const
{
    for ( int k = 0; k < static_cast<int>( resultBounds.size() ); ++k )
    {
        if ( value < resultBounds[k] )
            return k;
    }
    return static_cast<int>( resultBounds.size() );
}

const ClassTable &WindPowerDensityClasses()
{
    static const ClassTable table {
        { 200, 300, 400, 500, 600, 800 },
        { 200, 300, 400, 500, 600, 800 },
        { rgb( 230, 230, 230 ), rgb( 222, 184, 135 ), rgb( 254, 172, 0 ), rgb( 255, 110, 180 ), rgb( 154, 50, 205 ),
          rgb( 255, 0, 0 ), rgb( 0, 0, 255 ) },
        // the map draws the calmest class white; results show it light grey
        rgb( 255, 255, 255 ),
    };
    return table;
}

const ClassTable &ElevationClasses()
{
    static const ClassTable table {
        { 200, 400, 600, 800, 1000, 1200, 1400, 1600, 1800, 2000, 2200, 2500, 3000 },
        { 200, 400, 600, 800, 1000, 1200, 1400, 1600, 1800, 2000, 2200, 2500, 3000 },
        { rgb( 38, 115, 0 ), rgb( 76, 156, 36 ), rgb( 129, 199, 93 ), rgb( 196, 245, 171 ), rgb( 255, 249, 186 ),
          rgb( 255, 234, 140 ), rgb( 255, 212, 102 ), rgb( 199, 172, 125 ), rgb( 168, 131, 67 ), rgb( 138, 98, 23 ),
          rgb( 122, 47, 9 ), rgb( 166, 97, 63 ), rgb( 209, 166, 144 ), rgb( 255, 255, 255 ) },
        rgb( 38, 115, 0 ),
    };
    return table;
}

const ClassTable &SolarResourceClasses()
{
    // The renderer's breaks sit just below the whole numbers (ten nines up to
    // 6, nine nines from 7 on); the query panel lists them as they are.
    static const ClassTable table {
        { 1.9999999999, 2.5, 2.9999999999, 3.5, 3.9999999999, 4.5, 4.9999999999, 5.5, 5.9999999999, 6.5, 6.999999999,
          7.5, 7.999999999, 8.5, 8.999999999 },
        { 2.0, 2.5, 3.0, 3.5, 4.0, 4.5, 5.0, 5.5, 6.0, 6.5, 7.0, 7.5, 8.0, 8.5, 9.0 },
        { rgb( 122, 97, 50 ), rgb( 184, 146, 75 ), rgb( 224, 178, 92 ), rgb( 252, 218, 154 ), rgb( 237, 237, 166 ),
          rgb( 230, 230, 83 ), rgb( 255, 255, 0 ), rgb( 252, 223, 0 ), rgb( 255, 171, 0 ), rgb( 237, 138, 0 ),
          rgb( 255, 94, 25 ), rgb( 247, 0, 0 ), rgb( 207, 0, 0 ), rgb( 153, 0, 0 ), rgb( 115, 0, 0 ), rgb( 71, 0, 0 ) },
        rgb( 122, 97, 50 ),
    };
    return table;
}

bool isSolarField( const QString &fieldName )
{
    return fieldName == QLatin1String( "ANNDIR" ) || fieldName == QLatin1String( "ANNTILT" )
           || fieldName == QLatin1String( "ANNGLO" );
}

const ClassTable *classTableForField( const QString &fieldName )
{
    if ( fieldName == QLatin1String( "WINDPWRD" ) )
        return &WindPowerDensityClasses();
    if ( fieldName == QLatin1String( "Elev_m" ) )
        return &ElevationClasses();
    if ( isSolarField( fieldName ) )
        return &SolarResourceClasses();
    return nullptr;
}

const std::array<SolarResourceName, 6> SolarResourceNames = { {
    { QStringLiteral( "40 km Solar Concentrators Annual Average(KWH/M2/DAY)" ),
      { QStringLiteral( "11_solar_direct.shp" ), QStringLiteral( "17_solar_direct.shp" ) }, QStringLiteral( "ANNDIR" ) },
    { QStringLiteral( "40 km Solar Global Horizontal Annual Average(KWH/M2/DAY)" ),
      { QStringLiteral( "15_solar_glo.shp" ) }, QStringLiteral( "ANNGLO" ) },
    { QStringLiteral( "10 KM Solar Concentrators Annual Average(KWH/M2/DAY)" ),
      { QStringLiteral( "13_solar_direct.shp" ) }, QStringLiteral( "ANNDIR" ) },
    { QStringLiteral( "10 km Solar Global Horizontal Annual Average(KWH/M2/DAY)" ),
      { QStringLiteral( "14_solar_glo.shp" ) }, QStringLiteral( "ANNGLO" ) },
    { QStringLiteral( "10 km Solar PV Annual Average(KWH/M2/DAY)" ), { QStringLiteral( "16_solar_tilt.shp" ) },
      QStringLiteral( "ANNTILT" ) },
    { QStringLiteral( "40 km Solar PV Annual Average(KWH/M2/DAY)" ),
      { QStringLiteral( "12_solar_tilt.shp" ), QStringLiteral( "18_solar_tilt.shp" ) }, QStringLiteral( "ANNTILT" ) },
} };

const std::vector<LandUseColorGroup> &LandUseColorTable()
{
    // Names are whole upper-case texts; spelling kept as the data sets write them.
    static const std::vector<LandUseColorGroup> table = {
    { rgb( 212, 231, 177 ),
      { QStringLiteral( "GARDEN" ),
        QStringLiteral( "CULTIVATIONS" ),
        QStringLiteral( "SALTY FOREST" ),
        QStringLiteral( "REFORESTATION" ),
        QStringLiteral( "PROTECTED FORESTS" ),
        QStringLiteral( "COASTAL FORESTS" ),
        QStringLiteral( "SMALL LEAF MIXED WOODS" ),
        QStringLiteral( "GRASSLAND WITH OR WITHOUT SCATTERED TREES AND SHRUBS" ) } },
    { rgb( 220, 202, 143 ),
      { QStringLiteral( "OTHER LAND" ),
        QStringLiteral( "DRY AREAS" ),
        QStringLiteral( "COCO" ),
        QStringLiteral( "AGRICULTURAL DEVELOPMENT" ),
        QStringLiteral( "ROTATING CULTURES" ),
        QStringLiteral( "TEPUIS(TABLE MOUNTAINS)" ),
        QStringLiteral( "COOL FIELDS AND WOODS" ),
        QStringLiteral( "CROPLAND/GRASSLAND MOSAIC" ),
        QStringLiteral( "MODERATELY CLOSED TREE CANOPY WITH HERB AND BUSH" ) } },
    { rgb( 240, 156, 54 ),
      { QStringLiteral( "PADDY" ),
        QStringLiteral( "INFRASTRUCTURE" ),
        QStringLiteral( "LAVA" ),
        QStringLiteral( "RANCH FOR DAIRY AND MEAT" ),
        QStringLiteral( "REGENERATION OF BIOMASS" ),
        QStringLiteral( "RESTINGAS" ),
        QStringLiteral( "GRASSLAND" ),
        QStringLiteral( "RIVERINE SAVANNA VEGETATION" ) } },
    { rgb( 121, 108, 75 ),
      { QStringLiteral( "COCONUT" ),
        QStringLiteral( "MUSACEAS" ),
        QStringLiteral( "COFFEE, FRUITS, AND GRAINS" ),
        QStringLiteral( "INTENSIVE CULTURES, DRAINAGE" ),
        QStringLiteral( "GRASSES AND SHRUBS" ),
        QStringLiteral( "SHRUBLAND" ),
        QStringLiteral( "RIVERINE FOREST VEGETATION" ) } },
    { rgb( 134, 200, 127 ),
      { QStringLiteral( "OPEN FOREST" ),
        QStringLiteral( "PASTURE/MARSH" ),
        QStringLiteral( "VEGETABLES" ),
        QStringLiteral( "FOREST (DECIDUOUS)" ),
        QStringLiteral( "FORESTRY" ),
        QStringLiteral( "INTERIOR FORESTS" ),
        QStringLiteral( "MIXED FOREST" ) } },
    { rgb( 26, 129, 78 ),
      { QStringLiteral( "DENSE FOREST" ),
        QStringLiteral( "FOREST" ),
        QStringLiteral( "NATURAL FOREST" ),
        QStringLiteral( "FOREST (CONIFEROUS)" ),
        QStringLiteral( "FOREST FARMS (PINES)" ),
        QStringLiteral( "TROPICAL FORESTS" ),
        QStringLiteral( "DECIDUOUS BROADLEAF FOREST" ) } },
    { rgb( 102, 140, 190 ),
      { QStringLiteral( "WATER BODIES" ),
        QStringLiteral( "WATER" ) } },
    { rgb( 175, 175, 177 ),
      { QStringLiteral( "UNDEFINED" ),
        QStringLiteral( "MARSHLAND" ),
        QStringLiteral( "CLOSED CULTIVATED SAVANNA WOODLAND" ) } },
    { rgb( 247, 178, 159 ),
      { QStringLiteral( "RUBBER" ),
        QStringLiteral( "HENEQUEN" ),
        QStringLiteral( "PROTECTED AREAS" ),
        QStringLiteral( "EXCLUSIONS" ),
        QStringLiteral( "BABACU OIL PALM" ),
        QStringLiteral( "SAVANNA (WOODS)" ),
        QStringLiteral( "UNCLASSIFIED/BUSHFIRE" ) } },
    { rgb( 187, 174, 118 ),
      { QStringLiteral( "TEA" ),
        QStringLiteral( "HUMID AREAS" ),
        QStringLiteral( "NO APT" ),
        QStringLiteral( "AGRICULTURE" ),
        QStringLiteral( "ROTATING CULTURES, INTENSIVE METHOD" ),
        QStringLiteral( "CAATINGA" ),
        QStringLiteral( "DRY WOODY SCRUB" ),
        QStringLiteral( "DRYLAND CROPLAND AND PASTURE" ),
        QStringLiteral( "PLANTED COVER" ) } },
    { rgb( 210, 205, 192 ),
      { QStringLiteral( "URBAN AREAS" ),
        QStringLiteral( "FREE RANCH" ),
        QStringLiteral( "PROTECTED FORESTS (PINES)" ),
        QStringLiteral( "MANGROVES" ),
        QStringLiteral( "BROADLEAF CROPS" ),
        QStringLiteral( "CROPLAND/WOODLAND MOSAIC" ),
        QStringLiteral( "GRASS AND HERB WITH OR WITHOUT SCATTERED TREES" ) } },
    { rgb( 202, 145, 71 ),
      { QStringLiteral( "COFFEE" ),
        QStringLiteral( "AREAS WITH CRITICAL CLIMATE AND LAND" ),
        QStringLiteral( "INTENSIVE CULTURES" ),
        QStringLiteral( "CHACO" ),
        QStringLiteral( "SEMI DESERT SAGE" ),
        QStringLiteral( "BARREN OR SPARSELY VEGITATED" ),
        QStringLiteral( "WETLAND" ) } },
    { rgb( 253, 229, 228 ),
      { QStringLiteral( "SUGAR CANE" ),
        QStringLiteral( "RIO NEGRO CAMPINARANA" ),
        QStringLiteral( "SHRUB THICKET WITH OR WITHOUT TREES" ) } },
    { rgb( 231, 86, 78 ),
      { QStringLiteral( "TOURIST CENTER" ),
        QStringLiteral( "RANCH FOR MEAT" ),
        QStringLiteral( "EXCLUSIONS AND SELECTIONS" ),
        QStringLiteral( "SEASONAL FORESTS" ) } },
    { rgb( 253, 233, 170 ),
      { QStringLiteral( "FRUITS" ),
        QStringLiteral( "EXTENSIVE AGRICULTURE" ),
        QStringLiteral( "SAVANNA" ),
        QStringLiteral( "CROPS, GRASS, SHRUBS" ),
        QStringLiteral( "IRRIGATED CROPLAND AND PASTURE" ),
        QStringLiteral( "MOSAIC OF THICKETS/GRASS WITH/WITHOUT SCATTERED TREES" ) } },
    { rgb( 244, 238, 203 ),
      { QStringLiteral( "KENAF" ) } },
    { rgb( 252, 246, 93 ),
      { QStringLiteral( "PASTURES" ),
        QStringLiteral( "TOURIST DEVELOPMENT" ),
        QStringLiteral( "PERMANENT CULTURAL VEGETATION" ),
        QStringLiteral( "OPEN PASTURE" ),
        QStringLiteral( "GRASS CROPS" ),
        QStringLiteral( "ROCK" ) } },
    { rgb( 201, 230, 249 ),
      { QStringLiteral( "HUMID AREA" ),
        QStringLiteral( "SWAMP" ),
        QStringLiteral( "FLOODED FORESTS" ),
        QStringLiteral( "RAIN FOREST" ),
        QStringLiteral( "WOODED WETLAND" ),
        QStringLiteral( "LAGOON" ) } },
    { rgb( 161, 186, 212 ),
      { QStringLiteral( "INDUSTRIAL" ) } },
    { rgb( 194, 158, 215 ),
      { QStringLiteral( "UNDEVELOPED" ),
        QStringLiteral( "MOIST FORESTS" ) } },
    { rgb( 250, 192, 165 ),
      { QStringLiteral( "PERMANENT VEGETATION" ) } },
    { rgb( 227, 190, 175 ),
      { QStringLiteral( "PERMANENT VEGETATION (CULTURAL PASTURE)" ) } },
    { rgb( 230, 212, 252 ),
      { QStringLiteral( "PERMANENT VEGETATION (PASTURE)" ) } },
    { rgb( 204, 115, 59 ),
      { QStringLiteral( "PERMANENT VEGETATION (PASTURE, COFFEE, FRUITS)" ) } },
    { rgb( 214, 173, 188 ),
      { QStringLiteral( "BARREN TUNDRA" ),
        QStringLiteral( "CLOSED SAVANNA WOODLAND" ) } },
    { rgb( 211, 255, 222 ),
      { QStringLiteral( "CONIFER FOREST" ),
        QStringLiteral( "EVERGREEN BROADLEAF FOREST" ),
        QStringLiteral( "CLOSED FOREST" ) } },
    { rgb( 205, 137, 102 ),
      { QStringLiteral( "CROPS AND TOWN" ),
        QStringLiteral( "MODERATELY DENSE HERB/BUSH WITH SCATTERED TREES" ) } },
    { rgb( 156, 166, 94 ),
      { QStringLiteral( "DRY TROPICAL WOODS" ),
        QStringLiteral( "OPEN SAVANNA WOODLAND" ) } },
    { rgb( 214, 219, 192 ),
      { QStringLiteral( "FOREST AND FIELD" ),
        QStringLiteral( "RESERVOIR" ) } },
    { rgb( 158, 187, 215 ),
      { QStringLiteral( "IRRIGATED CROPLAND" ),
        QStringLiteral( "RIVER" ) } },
    { rgb( 237, 209, 255 ),
      { QStringLiteral( "MIRE, BOG, FEN" ),
        QStringLiteral( "SETTLEMENT" ) } },
    { rgb( 255, 190, 190 ),
      { QStringLiteral( "SEASONAL TROPICAL FOREST" ),
        QStringLiteral( "UNCLASSIFIED/CLOUD" ) } },
    { rgb( 199, 215, 158 ),
      { QStringLiteral( "SEMI DESERT SHRUBS" ),
        QStringLiteral( "WOODED TUNDRA" ),
        QStringLiteral( "WIDELY OPEN CULTIVATED SAVANNA WOODLAND" ) } },
    { rgb( 215, 194, 158 ),
      { QStringLiteral( "TROPICAL DEGRADED FOREST" ),
        QStringLiteral( "MIXED TUNDRA" ),
        QStringLiteral( "OPEN CULTIVATED SAVANNA WOODLAND" ) } },
    { rgb( 179, 168, 191 ),
      { QStringLiteral( "URBAN" ),
        QStringLiteral( "URBAN AND BUILT-UP LAND" ) } },
    { rgb( 144, 192, 217 ),
      { QStringLiteral( "LAKE" ) } },
    { rgb( 255, 255, 255 ),
      { QStringLiteral( "OTHER" ) } },
    };
    return table;
}

int landUseColor( const QString &key )
{
    static const QHash<QString, int> byName = [] {
        QHash<QString, int> h;
        for ( const LandUseColorGroup &group : LandUseColorTable() )
        {
            for ( const QString &name : group.names )
            {
                if ( !h.contains( name ) )
                    h.insert( name, group.color );
            }
        }
        return h;
    }();
    return byName.value( key, kLandUseDefaultColor );
}

const std::vector<StandardLayerStyle> &StandardLayerStyles()
{
    static const std::vector<StandardLayerStyle> rows = [] {
        std::vector<StandardLayerStyle> r = {
            { .file = QStringLiteral( "01_elevation.shp" ), .rendererField = QStringLiteral( "Elev_m" ),
              .legendName = QStringLiteral( "Elevation (meters)" ) },
            { .file = QStringLiteral( "02_landuse.shp" ), .rendererField = QStringLiteral( "LAND_USE" ),
              .legendName = QStringLiteral( "Land Use" ) },
            { .file = QStringLiteral( "20_wind.shp" ), .rendererField = QStringLiteral( "WINDPWRD" ), .outline = false,
              .legendName = QStringLiteral( "Wind Power Density (W/m2)" ) },
            { .file = QStringLiteral( "31_protectedarea.shp" ), .color = rgb( 0, 128, 0 ), .style = 4, .outline = true,
              .outlineColor = rgb( 0, 128, 0 ), .legendName = QStringLiteral( "Protected Areas" ) },
            { .file = QStringLiteral( "30_lakes.shp" ), .color = rgb( 127, 199, 242 ), .outline = false,
              .legendName = QStringLiteral( "Lakes" ) },
            { .file = QStringLiteral( "40_rivers.shp" ), .color = rgb( 0, 0, 255 ),
              .legendName = QStringLiteral( "Rivers" ) },
            { .file = QStringLiteral( "36_subcountrybnd3.shp" ), .style = 1, .outline = true, .size = 1,
              .outlineColor = rgb( 230, 152, 0 ), .legendName = QStringLiteral( "Additional Boundary" ) },
            { .file = QStringLiteral( "39_countryboundary.shp" ), .style = 1, .outline = true, .size = 1.5,
              .outlineColor = rgb( 0, 0, 0 ), .legendName = QStringLiteral( "Country Boundary" ) },
            { .file = QStringLiteral( "37_subcountrybnd2.shp" ), .style = 1, .outline = true, .size = 1,
              .outlineColor = rgb( 115, 38, 0 ), .legendName = QStringLiteral( "Other Boundary" ) },
            { .file = QStringLiteral( "38_subcountrybnd1.shp" ), .style = 1, .outline = true, .size = 1,
              .outlineColor = rgb( 0, 0, 0 ), .legendName = QStringLiteral( "State Boundaries" ), .labels = true },
            { .file = QStringLiteral( "42_railroad.shp" ), .color = rgb( 255, 0, 0 ), .style = 2,
              .legendName = QStringLiteral( "Railways" ) },
            { .file = QStringLiteral( "43_roads.shp" ), .color = rgb( 255, 0, 0 ), .size = 2,
              .legendName = QStringLiteral( "Roads" ) },
            { .file = QStringLiteral( "44_transmissionline.shp" ), .color = rgb( 0, 0, 0 ), .style = 3,
              .legendName = QStringLiteral( "Transmission Lines" ) },
            { .file = QStringLiteral( "51_powerplant.shp" ), .color = rgb( 0, 0, 0 ), .style = 3,
              .legendName = QStringLiteral( "Power Plants" ) },
            { .file = QStringLiteral( "50_protectedarea.shp" ), .color = rgb( 128, 64, 64 ), .style = 2,
              .legendName = QStringLiteral( "Historic Sites" ) },
            { .file = QStringLiteral( "52_facilities.shp" ), .color = rgb( 0, 255, 255 ), .style = 1,
              .legendName = QStringLiteral( "Facilities" ) },
            { .file = QStringLiteral( "53_airports.shp" ), .color = rgb( 255, 128, 0 ), .style = 2,
              .legendName = QStringLiteral( "Airports" ) },
            { .file = QStringLiteral( "59_cities.shp" ), .color = rgb( 255, 0, 0 ), .style = 0,
              .legendName = QStringLiteral( "Cities" ) },
        };
        for ( const SolarResourceName &n : SolarResourceNames )
        {
            for ( const QString &file : n.files )
                r.push_back( { .file = file, .rendererField = n.field,
                               .legendName = n.legendName, .captionReplacesName = true } );
        }
        return r;
    }();
    return rows;
}

const StandardLayerStyle *findStandardLayerStyle( const QString &fileName )
{
    for ( const StandardLayerStyle &row : StandardLayerStyles() )
    {
        if ( row.file == fileName )
            return &row;
    }
    return nullptr;
}

const std::vector<InfoFieldList> &InfoFieldLists()
{
    static const std::vector<InfoFieldList> lists = [] {
        // The solar files list the same fields, with the month names
        // followed by their own resource suffix.
        const auto solarFields = []( const QString &suffix ) {
            QStringList fields { QStringLiteral( "Cell_ID" ), QStringLiteral( "Gridcode" ), QStringLiteral( "Lon" ),
                                 QStringLiteral( "Lat" ) };
            for ( const char *month : { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec", "Ann" } )
                fields << QLatin1String( month ) + suffix;
            return fields;
        };
        return std::vector<InfoFieldList> {
            { { QStringLiteral( "01_elevation.shp" ) }, { QStringLiteral( "Elev_m" ) }, false },
            { { QStringLiteral( "02_landuse.shp" ) }, { QStringLiteral( "Land_use" ) }, false },
            { { QStringLiteral( "11_solar_direct.shp" ), QStringLiteral( "13_solar_direct.shp" ),
                QStringLiteral( "17_solar_direct.shp" ) },
              solarFields( QStringLiteral( "dir" ) ),
              true },
            { { QStringLiteral( "12_solar_tilt.shp" ), QStringLiteral( "16_solar_tilt.shp" ),
                QStringLiteral( "18_solar_tilt.shp" ) },
              solarFields( QStringLiteral( "tilt" ) ),
              true },
            { { QStringLiteral( "14_solar_glo.shp" ), QStringLiteral( "15_solar_glo.shp" ) },
              solarFields( QStringLiteral( "glo" ) ),
              true },
            { { QStringLiteral( "20_wind.shp" ) }, { QStringLiteral( "WINDCLASS" ), QStringLiteral( "WINDPWRD" ) }, true },
            { { QStringLiteral( "30_lakes.shp" ), QStringLiteral( "40_rivers.shp" ), QStringLiteral( "42_railroad.shp" ),
                QStringLiteral( "43_roads.shp" ), QStringLiteral( "53_airports.shp" ) },
              { QStringLiteral( "NAME" ) },
              false },
            { { QStringLiteral( "31_protectedarea.shp" ), QStringLiteral( "52_facilities.shp" ) },
              { QStringLiteral( "NAME" ), QStringLiteral( "TYPE" ) },
              true },
            { { QStringLiteral( "36_subcountrybnd3.shp" ), QStringLiteral( "37_subcountrybnd2.shp" ),
                QStringLiteral( "38_subcountrybnd1.shp" ) },
              { QStringLiteral( "NAME" ), QStringLiteral( "POP" ) },
              true },
            { { QStringLiteral( "44_transmissionline.shp" ) }, { QStringLiteral( "NAME" ), QStringLiteral( "VOLTAGE" ) }, true },
            { { QStringLiteral( "51_powerplant.shp" ) }, { QStringLiteral( "NAME" ), QStringLiteral( "CAPACITY" ) }, true },
            { { QStringLiteral( "59_cities.shp" ) },
              { QStringLiteral( "NAME" ), QStringLiteral( "TYPE" ), QStringLiteral( "POP" ) },
              true },
        };
    }();
    return lists;
}

const InfoFieldList *findInfoFieldList( const QString &fileName )
{
    for ( const InfoFieldList &list : InfoFieldLists() )
    {
        if ( list.files.contains( fileName, Qt::CaseSensitive ) )
            return &list;
    }
    return nullptr;
}
