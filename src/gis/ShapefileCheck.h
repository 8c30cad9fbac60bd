#pragma once

#include "ReadDamage.h"

#include <QString>

#include <algorithm>
#include <vector>

/**
 * Checks of a shapefile's own bytes that the driver does not make: which
 * parts may be opened at all, how the table is laid out, and whether each
 * table value can be read as its field's type. Used by Dataset::open()
 * around its reading through OGR.
 */
namespace gis::shapefile
{

//! A 32-bit integer as the format stores it; the .shp and .shx use both orders.
quint32 bigEndian32( const unsigned char *p );
qint32 littleEndian32( const unsigned char *p );

/**
 * The path of part \a ext ("shx", "dbf", ...) of the shapefile \a shpPath as
 * the shapefile driver finds it (lower-case extension first, then upper
 * case), or an empty string when neither exists.
 */
QString partPath( const QString &shpPath, const char *ext );

//! True when \a path is there but this user may not read it (the permissions, not access(), decide).
bool readDenied( const QString &path );

/**
 * False when the file set must not be handed to GDAL: the path is one GDAL
 * reads as a virtual file system ("/vsi..."), or the .shp or one of its
 * parts (.shx, .dbf, .prj, .cpg, in either letter case) exists but is not a
 * regular file: opening a FIFO would wait for ever, or is a link that
 * leads out of the .shp's folder. Sets damage.unopened and damage.part then.
 */
bool mayOpen( const QString &shpPath, ReadDamage &damage );

//! The layout of a .dbf as its header describes it.
struct TableLayout
{
    struct Field
    {
        char type = 'C';
        int offset = 0; //!< from the start of the row, the deletion flag being byte 0
        int width = 0;
        bool integer = false; //!< read as a whole number (the reader's choice for a number field)
        bool nameDamaged = false; //!< the name holds bytes after its terminator, or bytes its encoding has not

        //! Whether the description names a type of value that can be read, with room for it.
        bool readable() const;
    };

    QString path;              //!< empty when the file set has no table
    bool headerRead = false;   //!< the file could be read and begins with a whole file header
    qint64 rowsClaimed = 0;    //!< rows the header claims
    qint64 rowsInFile = 0;     //!< whole rows the file holds
    qint64 headerLength = 0;
    qint64 rowLength = 0;
    std::vector<Field> fields;
    bool consistent = false;   //!< the fields fit the header and the row length, the rows the file

    bool present() const { return !path.isEmpty(); }
    //! Rows that can be read: claimed and there.
    qint64 rowsAvailable() const { return std::min( rowsClaimed, rowsInFile ); }
};

/**
 * The encoding the .cpg of a file set declares, as the driver is to be
 * told it. The driver applies the names it knows and passes the text of
 * any other unchanged; the names writers use for Latin-1 and Windows-1252
 * are handed to it in a form it knows. An encoding of two or four bytes a
 * character is not applied to a table of single bytes.
 */
struct DeclaredEncoding
{
    QString cpg;              //!< the .cpg's first line, trimmed; empty without one
    bool wide = false;        //!< cpg names an encoding of two or four bytes a character
    bool overridden = false;  //!< the driver is to read the table in \a encoding, not by its own reading of the .cpg
    QByteArray encoding = {}; //!< when overridden: the driver's name of the encoding, empty for none
};

//! The encoding the .cpg of \a shpPath declares.
DeclaredEncoding declaredEncoding( const QString &shpPath );

//! Reads the header of the .dbf of \a shpPath (none: an empty layout).
TableLayout readTableLayout( const QString &shpPath );

/**
 * The rows of the table of \a layout up to the last one that holds a byte
 * other than NUL: the rows after it hold no value that can be read. Reads
 * the table from its end.
 */
qint64 rowsWithData( const TableLayout &layout );

/**
 * What the rows of a table hold that cannot be read as their field's type.
 * Its memory follows the rows checked, a bit per value.
 */
struct TableScan
{
    qint64 rowsChecked = 0;          //!< rows checked, from the first on
    std::vector<bool> unreadable;    //!< per row checked and field (row * fields + field): the value cannot be read
    std::vector<qint64> deletedRows; //!< rows marked as deleted, ascending

    bool isUnreadable( qint64 row, size_t field, size_t fieldCount ) const
    {
        return unreadable[static_cast<size_t>( row ) * fieldCount + field];
    }
    //! Whether row \a row was checked and holds no value that can be read.
    bool isRowUnreadable( qint64 row, size_t fieldCount ) const
    {
        if ( row >= rowsChecked || fieldCount == 0 )
            return false;
        for ( size_t f = 0; f < fieldCount; ++f )
        {
            if ( !isUnreadable( row, f, fieldCount ) )
                return false;
        }
        return true;
    }
};

/**
 * Checks the first \a rows rows of the table of \a layout. A value cannot
 * be read when its bytes are not a value of its field's type, or when the
 * field's description is not readable() and the value is not blank. In a
 * table whose layout is not consistent, a blank value cannot be told from
 * one misread, so it cannot be read either.
 */
TableScan scanTable( const TableLayout &layout, qint64 rows );

} // namespace gis::shapefile
