#pragma once

#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <QString>

#include <memory>
#include <vector>

namespace sampledata
{

//! One attribute field of a generated shapefile.
struct FieldSpec
{
    const char *name;
    OGRFieldType type;
    int width;
    int precision = 0;
};

/**
 * Writes one shapefile (with .prj) through OGR's shapefile driver. The
 * first field is always FeatureID, numbered 0 to n-1 in record order by
 * write(); the caller fills the other fields of feature() by their index
 * (1 for the first field it declared). The .dbf header carries a fixed
 * date, so equal input gives byte-identical files. An existing file set of
 * the same name is replaced. Throws std::runtime_error on any failure.
 */
class ShapefileSink
{
  public:
    ShapefileSink( const QString &directory, const QString &fileName, OGRwkbGeometryType type,
                   const OGRSpatialReference &srs, const std::vector<FieldSpec> &fields );
    ~ShapefileSink();

    ShapefileSink( const ShapefileSink & ) = delete;
    ShapefileSink &operator=( const ShapefileSink & ) = delete;

    OGRFeature &feature() { return *mFeature; }
    //! Writes feature() with \a shape and the next FeatureID; the field values stay set.
    void write( std::unique_ptr<OGRGeometry> shape );
    long long count() const { return mCount; }
    //! Flushes and closes the file; the destructor does it too, but cannot report failures.
    void close();

  private:
    GDALDataset *mDataset = nullptr;
    OGRLayer *mLayer = nullptr;
    std::unique_ptr<OGRFeature> mFeature;
    long long mCount = 0;
    QString mPath;
};

} // namespace sampledata
