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

/**
 * The extensions of the part and index files of \a base that exist, each
 * as its file writes it (".shp", ".SHX"): a reader takes OLD.SHX for the
 * index of OLD.shp when there is no OLD.shx, so the set has its parts in
 * any letter case. The name before the extension counts exactly.
 */
QStringList existingExtensions( const QString &base );

//! A base path in the directory of \a base that no file of any part or index extension uses.
QString temporaryBase( const QString &base );

//! Removes every part and index file of \a base that exists, in any letter case; best effort.
void removeSet( const QString &base );

/**
 * Replaces the set whose main file is \a targetShp by the complete set
 * \a newBase (written in lower case): every file of the old set, stale
 * index files and parts in other letter case included, is moved aside,
 * the new parts moved into place, then the old files removed. The new
 * parts take upper-case extensions when \a targetShp ends in ".SHP",
 * lower-case ones otherwise, so that \a targetShp opens them. Where
 * \a targetShp is there beside a complete set (.shp, .shx, .dbf) of the
 * other letter case, that set is another one and stays. When a move
 * fails, everything is moved back, \a newBase is removed and GisError is
 * thrown: the old set stays whole.
 */
void replaceSet( const QString &newBase, const QString &targetShp );

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
