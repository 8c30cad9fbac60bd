#pragma once

#include "CoordinateSystem.h"
#include "Geometry.h"
#include "GisError.h"
#include "ReadDamage.h"
#include "Rect.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace gis
{

class TableDesc;

//! Type codes of attribute fields as the component reports them.
enum FieldTypeCode
{
    FieldInteger = 3,
    FieldDouble = 5, //!< also the numeric type of new datasets
    FieldDate = 8,
    FieldString = 10,
    FieldShape = 23, //!< the "Shape" field of polygon records
};

//! Kind of the shapes of a dataset (component codes).
enum ShapeKind
{
    ShapeNone = 0,
    ShapePoint = 21,
    ShapeLine = 22,
    ShapePolygon = 23,
};

/**
 * Thrown by Dataset::open() for a file set it did not read at all;
 * damage().unopened says why.
 */
class UnreadableDataset : public GisError
{
  public:
    UnreadableDataset( const QString &path, const ReadDamage &damage )
        : GisError( "cannot open " + path.toStdString() ), mDamage( damage )
    {
    }
    const ReadDamage &damage() const { return mDamage; }

  private:
    ReadDamage mDamage;
};

/**
 * The whole content of one shapefile, read once through OGR: shapes as GEOS
 * geometries, attributes in file order, an STRtree spatial index, the extent
 * and the coordinate system. Immutable after loading and shared between the
 * layers that show it (the main map and the print window's copies).
 *
 * Only the shapefile driver reads, and only regular files. What a damaged
 * file set could not give is left out and counted in damage(): records
 * whose shape cannot be read or drawn keep their attributes with a null
 * shape, which takes no part in the extent, the drawing or any search.
 *
 * Datasets created for writing (DataConnection::addGeoDataset) start empty;
 * records are appended with addRecord() and written with stopEditing().
 */
class Dataset
{
  public:
    ~Dataset();

    /**
     * Reads \a path through OGR. Throws UnreadableDataset when it cannot be
     * read at all, GisError when reading fails midway. When the index (.shx)
     * alone keeps records from being read (the driver refuses it, or entries
     * do not lead to their records) and the .shp can be walked record by
     * record, the records are read in the order of the .shp instead, and
     * damage().indexRebuilt says so.
     */
    static std::shared_ptr<Dataset> open( const QString &path );

    QString path() const { return mPath; }
    QString fileName() const;
    ShapeKind shapeKind() const { return mShapeKind; }
    qint64 recordCount() const { return static_cast<qint64>( mShapes.size() ); }
    //! Envelope of the non-empty shapes; all zero when there is none (see hasShapes()).
    Rect extent() const { return mExtent; }
    //! True when at least one record has a non-empty shape.
    bool hasShapes() const { return mHasShapes; }
    const std::optional<CoordinateSystem> &coordinateSystem() const { return mCrs; }
    //! What the files could not give when they were read (nothing for a sound or a new dataset).
    const ReadDamage &damage() const;

    const QStringList &fieldNames() const { return mFieldNames; }
    int fieldIndex( const QString &name ) const; //!< case-insensitive, -1 if none
    int fieldType( int field ) const { return mFieldTypes.at( field ); }
    //! Attribute value; null QVariant for a null field. Numbers are double or qlonglong.
    const QVariant &value( qint64 record, int field ) const;
    const Geometry &shape( qint64 record ) const { return mShapes.at( record ); }

    /**
     * Records satisfying an OGR SQL WHERE clause, in file order. An empty
     * clause selects every record. Evaluated on the in-memory attribute copy,
     * never by re-reading the file; independent of the C locale. A text
     * field compared with a quoted text by = or <> (alone or joined by AND
     * and OR) compares exactly, letter case and blanks included, where OGR
     * SQL would ignore letter case (see expressionfilter).
     * Throws GisError for an invalid clause or an unknown field.
     */
    std::vector<qint64> search( const QString &where ) const;

    /**
     * Records near \a p: polygons containing the point when \a distance is 0
     * (boundary included), otherwise shapes within \a distance map units.
     * Uses the spatial index. File order.
     */
    std::vector<qint64> searchByDistance( const Point &p, double distance ) const;

    //! Records whose envelope meets \a r (spatial index), file order not guaranteed.
    std::vector<qint64> recordsInRect( const Rect &r ) const;

    // --- writing (new datasets only) ---
    //! Appends a record with \a shape and numeric field values; returns its index.
    qint64 addRecord( Geometry shape, const std::vector<QVariant> &values );
    //! Writes the new dataset as a shapefile (with .prj when the CRS has WKT). Throws GisError.
    void stopEditing();

    // for DataConnection
    static std::shared_ptr<Dataset> createNew( const QString &path, const TableDesc &desc,
                                               const std::optional<CoordinateSystem> &crs );

  private:
    Dataset() = default;
    //! Reads \a path, given what mayOpen() found; through \a index (see shapefile::rebuildIndex()) when given, else its .shx.
    static std::shared_ptr<Dataset> read( const QString &path, ReadDamage damage, const QByteArray &index );
    //! Grows the extent by the envelope of a non-empty \a shape.
    void includeInExtent( const Geometry &shape );
    struct Private;
    std::unique_ptr<Private> d;

    QString mPath;
    ShapeKind mShapeKind = ShapeNone;
    Rect mExtent;
    std::optional<CoordinateSystem> mCrs;
    QStringList mFieldNames;
    std::vector<int> mFieldTypes;
    std::vector<Geometry> mShapes;
    bool mHasShapes = false;
    bool mWritable = false;
};

/**
 * A data connection on one directory. connect() fails (false, errorNumber()
 * non-zero) for a directory that is missing or unreadable.
 * findGeoDataset() opens a file of the directory by its name; a file that
 * cannot be read at all gives nullptr.
 */
class DataConnection
{
  public:
    void setDatabase( const QString &directory ) { mDirectory = directory; }
    QString database() const { return mDirectory; }
    bool connect();
    bool connected() const { return mConnected; }
    int connectError() const { return mError; }

    /**
     * The dataset of \a fileName (extension included), or nullptr; then
     * \a unopened, when given, is set to say why.
     */
    std::shared_ptr<Dataset> findGeoDataset( const QString &fileName, ReadDamage *unopened = nullptr ) const;

    /**
     * A new, empty polygon dataset named \a name (".shp" appended when
     * missing) in the connection's directory, with the fields of \a desc
     * and the coordinate system \a crs. Nothing is written before
     * Dataset::stopEditing(). Returns nullptr when it cannot be created.
     */
    std::shared_ptr<Dataset> addGeoDataset( const QString &name, const TableDesc &desc,
                                            const std::optional<CoordinateSystem> &crs ) const;

  private:
    QString mDirectory;
    bool mConnected = false;
    int mError = 0;
};

} // namespace gis
