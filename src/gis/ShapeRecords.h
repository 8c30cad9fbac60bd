#pragma once

#include "Geometry.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

/**
 * Reading the shapes of a .shp through its index (.shx), checking every
 * record on the way: the driver turns a record the index does not lead to
 * soundly into a null shape, another record's shape or a shorter one
 * without a word. Runs of entries can be read by several threads at once;
 * each reads only its own part of the index; combineRuns() then settles
 * what needs every record: the file's type and whether its header box can
 * be trusted. What is read is kept as the driver reads it: bytes beyond
 * what a record's type holds are ignored, a part too small for its kind is
 * dropped alone, and a box (ShapeBox.h) leaves a shape out only where it is
 * usable and the rest of the file agrees with it.
 */
namespace gis::shapefile
{

constexpr std::uint8_t kUnreadable = 0xFF;
constexpr int kMultiPatch = 31;

//! What the headers of a .shp and its .shx say.
struct IndexHeader
{
    qint64 entriesInFile = 0;  //!< whole entries the .shx holds
    qint64 entriesClaimed = 0; //!< entries its header claims
    int shpType = 0;
    int shxType = 0;
    bool shpSound = false; //!< file code and version of the .shp header are the format's
    bool shxSound = false;
    QString shpName;       //!< file names of the parts as found
    QString shxName;
    std::optional<Rect> box; //!< the usable boxes the two headers give, united; none when neither is
};

/**
 * The headers of the .shp of \a shpPath and its index (all zero when either
 * is missing or short). With \a index, the bytes of a whole index such as
 * rebuildIndex() gives, that index stands for the .shx.
 */
IndexHeader readIndexHeader( const QString &shpPath, const QByteArray &index = {} );

/**
 * The index of the .shp of \a shpPath rebuilt from the .shp alone: its
 * header, the file length set to the index's, then one entry a record,
 * found by walking the records in order from the first to the end of the
 * file. Empty when the .shp cannot be walked so: its header is not a
 * shapefile's, or a record does not carry the next number (1, 2, 3...) or
 * a content length that leads to the next record or to the very end. The
 * walk reads only the record headers; what it holds is bounded by the size
 * of the .shp, whatever any header claims.
 */
QByteArray rebuildIndex( const QString &shpPath );

//! True when the .shp of \a shpPath begins as a shapefile does.
bool looksLikeShapefile( const QString &shpPath );

//! Why the shape of a readable record was left out.
enum class LeftOut : std::uint8_t
{
    No,
    Undrawable, //!< a coordinate cannot be drawn
    TooSmall,   //!< every part is a line part of fewer than two points or a ring of fewer than three distinct corners
    OutsideBox, //!< a vertex lies outside the record's usable bounding box, or the record has none and lies outside
                //!< the file's sound one
    PartsTooSmall, //!< not left out: the shape is kept without its parts too small for its kind
};

/**
 * What a run of index entries [first, first + types.size()) leads to. An
 * entry is readable when its offset and length fit the .shp, the record
 * there carries the entry's number and length, and the record's length is
 * what its shape type and its part and point counts need.
 */
struct RecordRun
{
    qint64 first = 0;
    std::vector<std::uint8_t> types; //!< per entry: the record's shape type (0 null), or kUnreadable
    std::vector<Geometry> shapes;    //!< per entry: GEOS shape of a readable record, else null
    std::vector<LeftOut> leftOut;    //!< per entry: why a readable record's shape was left out
    qint64 unboxed = 0;                //!< shapes without a usable box of their own (points among them), header box aside
    std::vector<qint64> outsideHeader; //!< those of them outside the header box: left out only if it is sound
    bool headerContradicted = false;   //!< a shape within its own usable box lies outside the header box
};

/**
 * Reads the entries [first, end) of the index of \a shpPath and the
 * records they lead to, as GEOS shapes of the calling thread's context,
 * made valid. Multipatch records are unreadable: the program has no
 * surfaces. The shape of a record is left out when it cannot be drawn:
 * a coordinate is beyond kCoordinateLimit, every part is too small for its
 * kind, or a vertex lies outside the usable bounding box its record gives
 * (beyond rounding). Whether a shape without a usable box of its own lies
 * outside the file's is left to combineRuns(). With \a index (see
 * rebuildIndex()), its entries are read instead of those of the .shx.
 */
RecordRun readRecords( const QString &shpPath, qint64 first, qint64 end, const QByteArray &index = {} );

//! The runs of a whole index taken together.
struct RecordScan
{
    std::vector<RecordRun> runs;
    int fileType = 0;          //!< the header's type unless no readable record has it
    qint64 readableEnd = 0;    //!< one past the last readable entry
    QStringList damagedParts;  //!< .shp / .shx whose header contradicts the records

    std::uint8_t type( qint64 entry ) const;
    bool readable( qint64 entry ) const { return type( entry ) != kUnreadable; }
    //! Takes the shape of \a entry out of its run.
    Geometry takeShape( qint64 entry );
    LeftOut leftOut( qint64 entry ) const;
};

/**
 * Settles the file's shape type from \a header and the records of \a runs
 * (consecutive, from entry 0) and marks records of another type unreadable.
 * The header box is sound unless a shape within its own usable box lies
 * outside it, or (for points) at least two and a tenth of the points do;
 * a sound one leaves out the shapes without a usable box that lie outside it.
 */
RecordScan combineRuns( const IndexHeader &header, std::vector<RecordRun> runs );

} // namespace gis::shapefile
