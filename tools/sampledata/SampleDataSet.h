#pragma once

#include "CountryShape.h"
#include "SampleRandom.h"
#include "SmoothField.h"

#include <ogr_spatialref.h>

#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace sampledata
{

class ShapefileSink;

//! Cell sizes and counts of one sample data set, in metres and records.
struct SampleSize
{
    double windCell;
    double wind21Cell;
    double wind22Cell;
    double landUseCell;
    double elevationCell;
    int protectedAreas;
    int lakes;
    int localRoads;
    double roadPiece;
    double roadStep;

    //! A few thousand features: quick to write, enough to look at.
    static SampleSize standard();
    //! Sizes of a national data set: 200,000+ wind polygons, 10,000+ land-use polygons, 5,000+ roads, 2,000+ protected areas.
    static SampleSize national();
};

/**
 * The 28 standard shapefiles of one fictional country of about 600 x 500 km
 * in UTM zone 33N (metres). Everything derives from one fixed seed, so two
 * runs with the same size write identical files. Every record carries
 * FeatureID (0 to n-1); the other fields are those the program reads, in
 * the letter case it names them. Class-bearing values (wind power density,
 * elevation, solar resource, land use) are drawn from smooth fields and, on
 * a regular share of the records, from fixed lists that reach every class
 * and hit the class bounds exactly.
 */
class SampleDataSet
{
  public:
    explicit SampleDataSet( const SampleSize &size );
    ~SampleDataSet();

    //! Writes all 28 files into \a directory. Throws std::runtime_error.
    void write( const QString &directory );

    //! File name and record count of every file written, in writing order.
    const std::vector<std::pair<QString, long long>> &counts() const { return mCounts; }

  private:
    struct Place
    {
        QString name;
        XY at;
        QString type;
        double value; //!< population of a city, capacity of a plant
    };

    void placeCities();
    void placePlants();

    void writeElevation( const QString &dir );
    void writeLandUse( const QString &dir );
    void writeSolar( const QString &dir, const QString &fileName, const QString &kind, double cellSize );
    void writeWind( const QString &dir, const QString &fileName, double cellSize, double factor, std::uint64_t salt,
                    double fromX, double toX );
    void writeLakes( const QString &dir );
    void writeProtectedAreas( const QString &dir );
    void writeSubdivisions( const QString &dir );
    void writeCountry( const QString &dir );
    void writeRivers( const QString &dir );
    void writeRailways( const QString &dir );
    void writeRoads( const QString &dir );
    void writeTransmission( const QString &dir );
    void writePoints( const QString &dir );

    void finish( ShapefileSink &sink, const QString &fileName );
    QString uniqueName( SampleRandom &random );
    std::vector<int> nearestCities( XY p, int count, int exclude = -1 ) const;

    double elevation( XY p ) const;
    double windDensity( XY p ) const;
    double sunshine( XY p ) const;

    SampleSize mSize;
    SampleRandom mRandom;
    CountryShape mCountry;
    SmoothField mElevationField;
    SmoothField mWindField;
    SmoothField mSunField;
    SmoothField mMoistureField;
    OGRSpatialReference mSrs;
    std::unique_ptr<OGRCoordinateTransformation> mToLonLat;
    std::vector<Place> mCities;
    std::vector<Place> mPlants;
    std::vector<QString> mUsedNames;
    std::vector<std::pair<QString, long long>> mCounts;
};

} // namespace sampledata
