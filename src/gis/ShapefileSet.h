#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace gis
{

/**
 * The files that make up one shapefile, named by their common base path
 * (directory and name without extension). Writing a shapefile goes through
 * a temporary set beside the target, which replaceSet() then moves into
 * place, so an existing set is never destroyed before its replacement is
 * complete.
 */
namespace shapefileset
{
//! The parts a written set may have: .shp, .shx, .dbf, .prj, .cpg.
const QStringList &partExtensions();
//! Spatial index files of other programs, stale once the data change: .qix, .sbn, .sbx.
const QStringList &indexExtensions();

//! A base path in the directory of \a base that no file of any part or index extension uses.
QString temporaryBase( const QString &base );

//! Removes every part and index file of \a base that exists; best effort.
void removeSet( const QString &base );

/**
 * Replaces the set \a targetBase by the complete set \a newBase: the old
 * parts (stale index files included) are moved aside, the new ones moved
 * into place, then the old ones removed. When a move fails, everything is
 * moved back, \a newBase is removed and GisError is thrown: the old set
 * stays whole.
 */
void replaceSet( const QString &newBase, const QString &targetBase );

/**
 * Failure injection for tests: when set, the writer calls \a hook after
 * each record it has written, with the number written so far; an exception
 * thrown there fails the write as a failing record would.
 */
using RecordWrittenHook = std::function<void( qint64 written )>;
void setRecordWrittenHook( RecordWrittenHook hook );
//! Called by the writer after each record.
void recordWritten( qint64 written );
} // namespace shapefileset

} // namespace gis
