#include "SampleDataSet.h"

#include "ShapefileSink.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace sampledata
{

namespace
{
constexpr std::uint64_t kSeed = 0x05A3D1E20240101ULL;
constexpr double kKm = 1000;

double round2( double v )
{
    return std::round( v * 100 ) / 100;
}

double round1( double v )
{
    return std::round( v * 10 ) / 10;
}

double distance( XY a, XY b )
{
    return std::hypot( a.x - b.x, a.y - b.y );
}

int windClass( double density )
{
    static constexpr std::array<double, 6> bounds { 200, 300, 400, 500, 600, 800 };
    int k = 0;
    while ( k < 6 && density >= bounds[k] )
        ++k;
    return k + 1;
}

//! Values given to every n-th record: every class, the class bounds themselves and just below them.
constexpr std::array<double, 12> kWindValues { 200, 500, 800, 199.9, 150, 250, 300, 400, 450, 600, 700, 950 };
constexpr std::array<double, 12> kElevationValues { 200, 2200, 3000, 150, 399.9, 700, 1000, 1300, 1700, 1900, 2700, 3400 };
constexpr std::array<double, 10> kSolarValues { 3.3, 4.5, 6.0, 2.0, 9.0, 1.9, 9.5, 7.0, 5.5, 2.5 };

const std::vector<QString> &landUseTexts()
{
    // Names from several colour groups, one text in mixed case with blanks
    // around it, and one that is in no group.
    static const std::vector<QString> texts {
        QStringLiteral( "FOREST" ), QStringLiteral( "DENSE FOREST" ), QStringLiteral( "GRASSLAND" ),
        QStringLiteral( "AGRICULTURE" ), QStringLiteral( "URBAN" ), QStringLiteral( "WATER BODIES" ),
        QStringLiteral( "SAVANNA" ), QStringLiteral( "COFFEE, FRUITS, AND GRAINS" ), QStringLiteral( "SHRUBLAND" ),
        QStringLiteral( "OPEN FOREST" ), QStringLiteral( " Forest " ), QStringLiteral( "BARE SOIL" ),
    };
    return texts;
}

const std::array<const char *, 24> kSyllables { "ka", "ro", "ba", "ven", "dal", "mi", "tor", "sa", "lun", "ge", "ri", "no",
                                               "ma", "nek", "ta", "bel", "shi", "an", "dor", "el", "vi", "os", "pa", "zu" };

void setText( OGRFeature &f, int field, const QString &text )
{
    f.SetField( field, text.toUtf8().constData() );
}

//! Writes the parts of \a line inside \a country, cut into pieces of about \a pieceLength, with the field values \a sink holds.
void writeLinePieces( ShapefileSink &sink, const CountryShape &country, const OGRLineString &line, double pieceLength )
{
    for ( auto &clipped : country.clipLine( line ) )
        for ( auto &piece : splitLine( *clipped, pieceLength ) )
            sink.write( std::move( piece ) );
}
} // namespace

SampleSize SampleSize::standard()
{
    return { 12 * kKm, 8 * kKm, 10 * kKm, 25 * kKm, 20 * kKm, 14, 8, 40, 6 * kKm, 500 };
}

SampleSize SampleSize::national()
{
    return { 1 * kKm, 2 * kKm, 3 * kKm, 4 * kKm, 5 * kKm, 2000, 40, 400, 1 * kKm, 250 };
}

SampleDataSet::SampleDataSet( const SampleSize &size )
    : mSize( size )
    , mRandom( kSeed )
    , mCountry( mRandom, { 500 * kKm, 1500 * kKm }, 300 * kKm, 250 * kKm )
    , mElevationField( mRandom, 90 * kKm, 9 )
    , mWindField( mRandom, 40 * kKm, 12 )
    , mSunField( mRandom, 150 * kKm, 6 )
    , mMoistureField( mRandom, 60 * kKm, 8 )
{
    if ( mSrs.importFromEPSG( 32633 ) != OGRERR_NONE )
        throw std::runtime_error( "cannot set up EPSG:32633" );
    mSrs.SetAxisMappingStrategy( OAMS_TRADITIONAL_GIS_ORDER );
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG( 4326 );
    wgs84.SetAxisMappingStrategy( OAMS_TRADITIONAL_GIS_ORDER );
    mToLonLat.reset( OGRCreateCoordinateTransformation( &mSrs, &wgs84 ) );
    if ( !mToLonLat )
        throw std::runtime_error( "cannot transform to longitude and latitude" );
    placeCities();
    placePlants();
}

SampleDataSet::~SampleDataSet() = default;

double SampleDataSet::elevation( XY p ) const
{
    return std::clamp( mElevationField.scaled( p.x, p.y, -400, 3600 ), 0.0, 3600.0 );
}

double SampleDataSet::windDensity( XY p ) const
{
    return std::clamp( mWindField.scaled( p.x, p.y, 40, 900 ) + 0.1 * elevation( p ), 40.0, 1200.0 );
}

double SampleDataSet::sunshine( XY p ) const
{
    return mSunField.scaled( p.x, p.y, 1.4, 9.8, 0.5 );
}

QString SampleDataSet::uniqueName( SampleRandom &random )
{
    for ( ;; )
    {
        QString name;
        const int syllables = 2 + random.below( 2 );
        for ( int i = 0; i < syllables; ++i )
            name += QLatin1String( kSyllables[random.below( static_cast<int>( kSyllables.size() ) )] );
        name[0] = name[0].toUpper();
        if ( std::find( mUsedNames.begin(), mUsedNames.end(), name ) == mUsedNames.end() )
        {
            mUsedNames.push_back( name );
            return name;
        }
    }
}

std::vector<int> SampleDataSet::nearestCities( XY p, int count, int exclude ) const
{
    std::vector<int> order;
    for ( int i = 0; i < static_cast<int>( mCities.size() ); ++i )
        if ( i != exclude )
            order.push_back( i );
    std::stable_sort( order.begin(), order.end(), [&]( int a, int b ) { return distance( p, mCities[a].at ) < distance( p, mCities[b].at ); } );
    order.resize( std::min<std::size_t>( order.size(), count ) );
    return order;
}

void SampleDataSet::placeCities()
{
    SampleRandom random( kSeed ^ 0xC171E5 );
    while ( mCities.size() < 40 )
    {
        const XY p = mCountry.randomInteriorPoint( random, 0.08 );
        if ( std::any_of( mCities.begin(), mCities.end(), [&]( const Place &c ) { return distance( c.at, p ) < 35 * kKm; } ) )
            continue;
        const int rank = static_cast<int>( mCities.size() );
        const QString type = rank == 0 ? QStringLiteral( "Capital" ) : ( rank < 10 ? QStringLiteral( "City" ) : QStringLiteral( "Town" ) );
        const double pop = rank == 0 ? 1850000 : ( rank < 10 ? std::round( random.uniform( 100000, 650000 ) ) : std::round( random.uniform( 8000, 95000 ) ) );
        mCities.push_back( { uniqueName( random ), p, type, pop } );
    }
}

void SampleDataSet::placePlants()
{
    SampleRandom random( kSeed ^ 0x91A475 );
    static const std::array<const char *, 6> types { "Hydro", "Thermal", "Diesel", "Geothermal", "Wind", "Solar" };
    for ( int i = 0; i < 24; ++i )
    {
        const QString type = QLatin1String( types[i % types.size()] );
        const XY p = mCountry.randomInteriorPoint( random, 0.05 );
        mPlants.push_back( { uniqueName( random ) + QLatin1Char( ' ' ) + type, p, type, round1( random.uniform( 2, 850 ) ) } );
    }
}

void SampleDataSet::finish( ShapefileSink &sink, const QString &fileName )
{
    sink.close();
    mCounts.emplace_back( fileName, sink.count() );
}

void SampleDataSet::write( const QString &directory )
{
    writeElevation( directory );
    writeLandUse( directory );
    writeSolar( directory, QStringLiteral( "11_solar_direct.shp" ), QStringLiteral( "dir" ), 40 * kKm );
    writeSolar( directory, QStringLiteral( "12_solar_tilt.shp" ), QStringLiteral( "tilt" ), 40 * kKm );
    writeSolar( directory, QStringLiteral( "13_solar_direct.shp" ), QStringLiteral( "dir" ), 10 * kKm );
    writeSolar( directory, QStringLiteral( "14_solar_glo.shp" ), QStringLiteral( "glo" ), 10 * kKm );
    writeSolar( directory, QStringLiteral( "15_solar_glo.shp" ), QStringLiteral( "glo" ), 40 * kKm );
    writeSolar( directory, QStringLiteral( "16_solar_tilt.shp" ), QStringLiteral( "tilt" ), 10 * kKm );
    writeSolar( directory, QStringLiteral( "17_solar_direct.shp" ), QStringLiteral( "dir" ), 40 * kKm );
    writeSolar( directory, QStringLiteral( "18_solar_tilt.shp" ), QStringLiteral( "tilt" ), 40 * kKm );
    // The further wind files are regional studies at the western and eastern
    // ends of the country, so they leave the rest of the map open.
    writeWind( directory, QStringLiteral( "20_wind.shp" ), mSize.windCell, 1.0, 20, 0.0, 1.0 );
    writeWind( directory, QStringLiteral( "21_wind.shp" ), mSize.wind21Cell, 0.85, 21, 0.0, 0.2 );
    writeWind( directory, QStringLiteral( "22_wind.shp" ), mSize.wind22Cell, 1.15, 22, 0.8, 1.0 );
    writeLakes( directory );
    writeProtectedAreas( directory );
    writeSubdivisions( directory );
    writeCountry( directory );
    writeRivers( directory );
    writeRailways( directory );
    writeRoads( directory );
    writeTransmission( directory );
    writePoints( directory );
}

void SampleDataSet::writeElevation( const QString &dir )
{
    const QString name = QStringLiteral( "01_elevation.shp" );
    ShapefileSink sink( dir, name, wkbPolygon, mSrs, { { "Elev_m", OFTReal, 10, 1 } } );
    mCountry.forEachLatticeCell( mSize.elevationCell, 0.22, 1, [&]( int, int, XY c, std::unique_ptr<OGRGeometry> shape ) {
        const long long i = sink.count();
        const double v = i % 23 == 3 ? kElevationValues[( i / 23 ) % kElevationValues.size()] : round1( elevation( c ) );
        sink.feature().SetField( 1, v );
        sink.write( std::move( shape ) );
    } );
    finish( sink, name );
}

void SampleDataSet::writeLandUse( const QString &dir )
{
    const QString name = QStringLiteral( "02_landuse.shp" );
    const auto &texts = landUseTexts();
    auto text = [&]( const char *t ) { return QString::fromLatin1( t ); };
    ShapefileSink sink( dir, name, wkbPolygon, mSrs, { { "LAND_USE", OFTString, 50 } } );
    long long forests = 0;
    mCountry.forEachLatticeCell( mSize.landUseCell, 0.24, 2, [&]( int, int, XY c, std::unique_ptr<OGRGeometry> shape ) {
        const long long i = sink.count();
        const double elev = elevation( c );
        const double wet = mMoistureField.at( c.x, c.y );
        const bool nearCity = std::any_of( mCities.begin(), mCities.end(), [&]( const Place &city ) {
            return distance( city.at, c ) < 0.6 * mSize.landUseCell + ( city.value > 90000 ? 6 : 2 ) * kKm;
        } );
        QString use;
        if ( i % 19 == 7 )
            use = texts[( i / 19 ) % texts.size()];
        else if ( nearCity )
            use = text( "URBAN" );
        else if ( elev > 2800 )
            use = text( "BARE SOIL" );
        else if ( elev > 1900 )
            use = text( "GRASSLAND" );
        else if ( wet > 0.45 )
            use = text( "WATER BODIES" );
        else if ( wet > 0.3 )
            use = text( "DENSE FOREST" );
        else if ( wet > 0.12 )
            use = ( ++forests % 9 == 0 ) ? text( " Forest " ) : text( "FOREST" );
        else if ( wet < -0.4 )
            use = text( "SAVANNA" );
        else if ( wet < -0.2 )
            use = text( "SHRUBLAND" );
        else if ( elev < 500 )
            use = text( "AGRICULTURE" );
        else
            use = SampleRandom::hash( 3, static_cast<std::uint64_t>( c.x ), static_cast<std::uint64_t>( c.y ) ) < 0.5
                      ? text( "COFFEE, FRUITS, AND GRAINS" )
                      : text( "OPEN FOREST" );
        setText( sink.feature(), 1, use );
        sink.write( std::move( shape ) );
    } );
    finish( sink, name );
}

void SampleDataSet::writeSolar( const QString &dir, const QString &fileName, const QString &kind, double cellSize )
{
    static const std::array<const char *, 12> months { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    std::vector<QByteArray> names;
    names.push_back( "Cell_ID" );
    names.push_back( "Gridcode" );
    names.push_back( "Lon" );
    names.push_back( "Lat" );
    for ( const char *m : months )
        names.push_back( QByteArray( m ) + kind.toLatin1() );
    names.push_back( "ANN" + kind.toUpper().toLatin1() );
    std::vector<FieldSpec> fields;
    for ( std::size_t f = 0; f < names.size(); ++f )
    {
        if ( f < 2 )
            fields.push_back( { names[f].constData(), OFTInteger, 9 } );
        else if ( f < 4 )
            fields.push_back( { names[f].constData(), OFTReal, 12, 6 } );
        else
            fields.push_back( { names[f].constData(), OFTReal, 8, 2 } );
    }
    const double scale = kind == QLatin1String( "dir" ) ? 1.04 : ( kind == QLatin1String( "tilt" ) ? 1.0 : 0.96 );
    const double offset = kind == QLatin1String( "dir" ) ? -0.15 : ( kind == QLatin1String( "tilt" ) ? 0.1 : 0.0 );
    const int every = cellSize > 20 * kKm ? 11 : 29;

    ShapefileSink sink( dir, fileName, wkbPolygon, mSrs, fields );
    mCountry.forEachGridCell( cellSize, [&]( int row, int col, XY c, std::unique_ptr<OGRGeometry> shape ) {
        const long long i = sink.count();
        const double annual = i % every == 4 ? kSolarValues[( i / every ) % kSolarValues.size()]
                                             : round2( std::clamp( sunshine( c ) * scale + offset, 1.0, 10.0 ) );
        double lon = c.x, lat = c.y;
        mToLonLat->Transform( 1, &lon, &lat );
        OGRFeature &f = sink.feature();
        f.SetField( 1, static_cast<int>( i + 1 ) );
        f.SetField( 2, row * 1000 + col );
        f.SetField( 3, std::round( lon * 1e6 ) / 1e6 );
        f.SetField( 4, std::round( lat * 1e6 ) / 1e6 );
        // Sunniest in April, at this latitude; the monthly factors average to 1.
        for ( int m = 0; m < 12; ++m )
            f.SetField( 5 + m, round2( annual * ( 1 + 0.16 * std::cos( 2 * std::numbers::pi * ( m - 3 ) / 12 ) ) ) );
        f.SetField( 17, annual );
        sink.write( std::move( shape ) );
    } );
    finish( sink, fileName );
}

void SampleDataSet::writeWind( const QString &dir, const QString &fileName, double cellSize, double factor, std::uint64_t salt,
                               double fromX, double toX )
{
    ShapefileSink sink( dir, fileName, wkbPolygon, mSrs, { { "WINDCLASS", OFTInteger, 4 }, { "WINDPWRD", OFTReal, 10, 1 } } );
    const OGREnvelope country = mCountry.envelope();
    // A range reaching an end of the country keeps the cells across that edge.
    const double minX = fromX <= 0 ? -HUGE_VAL : country.MinX + fromX * ( country.MaxX - country.MinX );
    const double maxX = toX >= 1 ? HUGE_VAL : country.MinX + toX * ( country.MaxX - country.MinX );
    mCountry.forEachLatticeCell( cellSize, 0.2, salt, [&]( int, int, XY c, std::unique_ptr<OGRGeometry> shape ) {
        if ( c.x < minX || c.x > maxX )
            return;
        const long long i = sink.count();
        const double density = i % 17 == 5 ? kWindValues[( i / 17 ) % kWindValues.size()] : round1( windDensity( c ) * factor );
        sink.feature().SetField( 1, windClass( density ) );
        sink.feature().SetField( 2, density );
        sink.write( std::move( shape ) );
    } );
    finish( sink, fileName );
}

void SampleDataSet::writeLakes( const QString &dir )
{
    const QString name = QStringLiteral( "30_lakes.shp" );
    SampleRandom random( kSeed ^ 0x1A4E5 );
    ShapefileSink sink( dir, name, wkbPolygon, mSrs, { { "NAME", OFTString, 40 } } );
    for ( int i = 0; i < mSize.lakes; ++i )
    {
        const XY c = mCountry.randomInteriorPoint( random, 0.1 );
        auto shape = mCountry.clipPolygon( makeBlob( random, c, random.uniform( 2, 9 ) * kKm, 48 ) );
        const QString lake = QStringLiteral( "Lake " ) + uniqueName( random );
        if ( !shape )
            continue;
        setText( sink.feature(), 1, lake );
        sink.write( std::move( shape ) );
    }
    finish( sink, name );
}

void SampleDataSet::writeProtectedAreas( const QString &dir )
{
    const QString name = QStringLiteral( "31_protectedarea.shp" );
    static const std::array<const char *, 4> types { "National Park", "Forest Reserve", "Wildlife Sanctuary", "Nature Reserve" };
    SampleRandom random( kSeed ^ 0x9207EC );
    ShapefileSink sink( dir, name, wkbPolygon, mSrs, { { "NAME", OFTString, 50 }, { "TYPE", OFTString, 30 } } );
    for ( int i = 0; i < mSize.protectedAreas; ++i )
    {
        // A few large parks hold many wind cells whole and cut others; the
        // many small ones cut single cells.
        const double radius = i < 4 ? random.uniform( 22, 40 ) : ( i < 14 ? random.uniform( 5, 15 ) : random.uniform( 1.5, 6 ) );
        const XY c = mCountry.randomInteriorPoint( random, 0.05 );
        auto shape = mCountry.clipPolygon( makeBlob( random, c, radius * kKm, i < 14 ? 64 : 24 ) );
        const QString type = QLatin1String( types[random.below( static_cast<int>( types.size() ) )] );
        const QString park = uniqueName( random ) + QLatin1Char( ' ' ) + type;
        if ( !shape )
            continue;
        setText( sink.feature(), 1, park );
        setText( sink.feature(), 2, type );
        sink.write( std::move( shape ) );
    }
    finish( sink, name );
}

void SampleDataSet::writeSubdivisions( const QString &dir )
{
    // Districts are cells of a coarse lattice; each of the second level is
    // the union of the districts nearest to one of its seeds, each state the
    // union of second-level units, so the three levels nest exactly.
    struct Unit
    {
        std::unique_ptr<OGRGeometry> shape;
        XY seed;
        long long pop = 0;
    };
    SampleRandom random( kSeed ^ 0x5AB );
    std::vector<Unit> districts;
    mCountry.forEachLatticeCell(
        20 * kKm, 0.15, 3,
        [&]( int, int, XY c, std::unique_ptr<OGRGeometry> shape ) {
            districts.push_back( { std::move( shape ), c, static_cast<long long>( random.uniform( 5000, 220000 ) ) } );
        },
        25 * kKm );

    auto group = [&]( std::vector<Unit> &parts, int count ) {
        std::vector<XY> seeds;
        for ( int i = 0; i < count; ++i )
            seeds.push_back( mCountry.randomInteriorPoint( random, 0.05 ) );
        std::vector<Unit> units( seeds.size() );
        std::vector<OGRMultiPolygon> pieces( seeds.size() );
        for ( Unit &part : parts )
        {
            std::size_t best = 0;
            for ( std::size_t s = 1; s < seeds.size(); ++s )
                if ( distance( part.seed, seeds[s] ) < distance( part.seed, seeds[best] ) )
                    best = s;
            const OGRwkbGeometryType type = wkbFlatten( part.shape->getGeometryType() );
            if ( type == wkbPolygon )
                pieces[best].addGeometry( part.shape.get() );
            else
                for ( const OGRPolygon *p : *part.shape->toMultiPolygon() )
                    pieces[best].addGeometry( p );
            units[best].pop += part.pop;
        }
        std::vector<Unit> result;
        for ( std::size_t s = 0; s < seeds.size(); ++s )
        {
            if ( pieces[s].IsEmpty() )
                continue;
            result.push_back( { std::unique_ptr<OGRGeometry>( pieces[s].UnionCascaded() ), seeds[s], units[s].pop } );
            if ( !result.back().shape )
                throw std::runtime_error( "cannot merge subdivisions" );
        }
        return result;
    };
    std::vector<Unit> regions = group( districts, 60 );
    std::vector<Unit> states = group( regions, 9 );

    auto writeLevel = [&]( const QString &fileName, std::vector<Unit> &units ) {
        ShapefileSink sink( dir, fileName, wkbPolygon, mSrs, { { "NAME", OFTString, 40 }, { "POP", OFTInteger, 9 } } );
        for ( Unit &u : units )
        {
            setText( sink.feature(), 1, uniqueName( random ) );
            sink.feature().SetField( 2, static_cast<int>( u.pop ) );
            sink.write( std::unique_ptr<OGRGeometry>( u.shape->clone() ) );
        }
        finish( sink, fileName );
    };
    writeLevel( QStringLiteral( "36_subcountrybnd3.shp" ), districts );
    writeLevel( QStringLiteral( "37_subcountrybnd2.shp" ), regions );
    writeLevel( QStringLiteral( "38_subcountrybnd1.shp" ), states );
}

void SampleDataSet::writeCountry( const QString &dir )
{
    const QString name = QStringLiteral( "39_countryboundary.shp" );
    ShapefileSink sink( dir, name, wkbPolygon, mSrs, { { "NAME", OFTString, 40 } } );
    setText( sink.feature(), 1, QStringLiteral( "Republic of Varendia" ) );
    sink.write( std::unique_ptr<OGRGeometry>( mCountry.outline().clone() ) );
    finish( sink, name );
}

void SampleDataSet::writeRivers( const QString &dir )
{
    const QString name = QStringLiteral( "40_rivers.shp" );
    SampleRandom random( kSeed ^ 0x217E5 );
    ShapefileSink sink( dir, name, wkbLineString, mSrs, { { "NAME", OFTString, 40 } } );
    for ( int i = 0; i < 16; ++i )
    {
        // From a source inland to beyond the border, away from the centre.
        const XY source = mCountry.randomInteriorPoint( random, 0.3 );
        const XY centre = mCountry.centre();
        const double angle = std::atan2( source.y - centre.y, source.x - centre.x ) + random.uniform( -0.6, 0.6 );
        const XY mouth { source.x + 450 * kKm * std::cos( angle ), source.y + 450 * kKm * std::sin( angle ) };
        auto line = makeWindingLine( random, source, mouth, random.uniform( 15, 40 ) * kKm, 1 * kKm );
        const QString river = uniqueName( random ) + QStringLiteral( " River" );
        for ( auto &piece : mCountry.clipLine( *line ) )
        {
            setText( sink.feature(), 1, river );
            sink.write( std::move( piece ) );
        }
    }
    finish( sink, name );
}

void SampleDataSet::writeRailways( const QString &dir )
{
    const QString name = QStringLiteral( "42_railroad.shp" );
    SampleRandom random( kSeed ^ 0x4A11 );
    ShapefileSink sink( dir, name, wkbLineString, mSrs, { { "NAME", OFTString, 50 } } );
    for ( int i = 1; i <= 5; ++i )
    {
        auto line = makeWindingLine( random, mCities[0].at, mCities[i].at, 6 * kKm, 1 * kKm );
        const QString railway = mCities[0].name + QLatin1Char( '-' ) + mCities[i].name + QStringLiteral( " Railway" );
        setText( sink.feature(), 1, railway );
        writeLinePieces( sink, mCountry, *line, 40 * kKm );
    }
    finish( sink, name );
}

void SampleDataSet::writeRoads( const QString &dir )
{
    const QString name = QStringLiteral( "43_roads.shp" );
    SampleRandom random( kSeed ^ 0x40AD5 );
    ShapefileSink sink( dir, name, wkbLineString, mSrs, { { "NAME", OFTString, 40 } } );
    auto writeRoad = [&]( const OGRLineString &line, const QString &road ) {
        setText( sink.feature(), 1, road );
        writeLinePieces( sink, mCountry, line, mSize.roadPiece );
    };
    // Highways join every city to its two nearest neighbours.
    std::vector<std::pair<int, int>> links;
    for ( int a = 0; a < static_cast<int>( mCities.size() ); ++a )
        for ( int b : nearestCities( mCities[a].at, 2, a ) )
            if ( std::find( links.begin(), links.end(), std::pair { std::min( a, b ), std::max( a, b ) } ) == links.end() )
                links.emplace_back( std::min( a, b ), std::max( a, b ) );
    int number = 1;
    for ( const auto &[a, b] : links )
        writeRoad( *makeWindingLine( random, mCities[a].at, mCities[b].at, 5 * kKm, mSize.roadStep ), QStringLiteral( "Route %1" ).arg( number++ ) );
    // Local roads lead out of the towns.
    for ( int i = 0; i < mSize.localRoads; ++i )
    {
        const Place &city = mCities[i % mCities.size()];
        const double angle = 2 * std::numbers::pi * random.uniform();
        const double length = random.uniform( 10, 40 ) * kKm;
        const XY end { city.at.x + length * std::cos( angle ), city.at.y + length * std::sin( angle ) };
        writeRoad( *makeWindingLine( random, city.at, end, 3 * kKm, mSize.roadStep ), city.name + QStringLiteral( " Road" ) );
    }
    finish( sink, name );
}

void SampleDataSet::writeTransmission( const QString &dir )
{
    const QString name = QStringLiteral( "44_transmissionline.shp" );
    SampleRandom random( kSeed ^ 0x7EA45 );
    ShapefileSink sink( dir, name, wkbLineString, mSrs, { { "NAME", OFTString, 60 }, { "VOLTAGE", OFTInteger, 6 } } );
    auto writeLine = [&]( XY from, XY to, const QString &line, int voltage ) {
        auto shape = makeWindingLine( random, from, to, 2 * kKm, 2 * kKm );
        setText( sink.feature(), 1, line );
        sink.feature().SetField( 2, voltage );
        writeLinePieces( sink, mCountry, *shape, 30 * kKm );
    };
    // The grid's backbone joins the ten largest cities; every plant feeds the nearest city.
    for ( int i = 1; i < 10; ++i )
    {
        int nearest = 0;
        for ( int k = 1; k < i; ++k )
            if ( distance( mCities[i].at, mCities[k].at ) < distance( mCities[i].at, mCities[nearest].at ) )
                nearest = k;
        writeLine( mCities[nearest].at, mCities[i].at, mCities[nearest].name + QStringLiteral( " - " ) + mCities[i].name, i < 5 ? 400 : 230 );
    }
    static const std::array<int, 3> feeders { 69, 115, 138 };
    for ( std::size_t p = 0; p < mPlants.size(); ++p )
    {
        const Place &city = mCities[nearestCities( mPlants[p].at, 1 ).front()];
        writeLine( mPlants[p].at, city.at, mPlants[p].name + QStringLiteral( " - " ) + city.name, feeders[p % feeders.size()] );
    }
    finish( sink, name );
}

void SampleDataSet::writePoints( const QString &dir )
{
    SampleRandom random( kSeed ^ 0x9017 );
    auto point = []( XY p ) { return std::make_unique<OGRPoint>( p.x, p.y ); };
    {
        const QString name = QStringLiteral( "50_protectedarea.shp" );
        static const std::array<const char *, 4> kinds { "Ruins of ", "Old Fort ", "Temple of ", "Battlefield of " };
        ShapefileSink sink( dir, name, wkbPoint, mSrs, { { "NAME", OFTString, 50 } } );
        for ( int i = 0; i < 20; ++i )
        {
            const XY p = mCountry.randomInteriorPoint( random, 0.05 );
            setText( sink.feature(), 1, QLatin1String( kinds[i % kinds.size()] ) + uniqueName( random ) );
            sink.write( point( p ) );
        }
        finish( sink, name );
    }
    {
        const QString name = QStringLiteral( "51_powerplant.shp" );
        ShapefileSink sink( dir, name, wkbPoint, mSrs, { { "NAME", OFTString, 50 }, { "TYPE", OFTString, 20 }, { "CAPACITY", OFTReal, 10, 1 } } );
        for ( const Place &plant : mPlants )
        {
            setText( sink.feature(), 1, plant.name );
            setText( sink.feature(), 2, plant.type );
            sink.feature().SetField( 3, plant.value );
            sink.write( point( plant.at ) );
        }
        finish( sink, name );
    }
    {
        const QString name = QStringLiteral( "52_facilities.shp" );
        static const std::array<const char *, 6> types { "Hospital", "Port", "Mine", "Refinery", "University", "Dam" };
        ShapefileSink sink( dir, name, wkbPoint, mSrs, { { "NAME", OFTString, 50 }, { "TYPE", OFTString, 20 } } );
        for ( int i = 0; i < 30; ++i )
        {
            const XY p = mCountry.randomInteriorPoint( random, 0.05 );
            const QString type = QLatin1String( types[i % types.size()] );
            setText( sink.feature(), 1, uniqueName( random ) + QLatin1Char( ' ' ) + type );
            setText( sink.feature(), 2, type );
            sink.write( point( p ) );
        }
        finish( sink, name );
    }
    {
        const QString name = QStringLiteral( "53_airports.shp" );
        ShapefileSink sink( dir, name, wkbPoint, mSrs, { { "NAME", OFTString, 50 } } );
        for ( int i = 0; i < 9; ++i )
        {
            const double angle = 2 * std::numbers::pi * random.uniform();
            const double offset = random.uniform( 8, 15 ) * kKm;
            const XY p { mCities[i].at.x + offset * std::cos( angle ), mCities[i].at.y + offset * std::sin( angle ) };
            setText( sink.feature(), 1, mCities[i].name + QStringLiteral( " Airport" ) );
            sink.write( point( p ) );
        }
        finish( sink, name );
    }
    {
        const QString name = QStringLiteral( "59_cities.shp" );
        ShapefileSink sink( dir, name, wkbPoint, mSrs, { { "NAME", OFTString, 40 }, { "TYPE", OFTString, 20 }, { "POP", OFTInteger, 9 } } );
        for ( const Place &city : mCities )
        {
            setText( sink.feature(), 1, city.name );
            setText( sink.feature(), 2, city.type );
            sink.feature().SetField( 3, static_cast<int>( city.value ) );
            sink.write( point( city.at ) );
        }
        finish( sink, name );
    }
}

} // namespace sampledata
