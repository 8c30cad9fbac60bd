#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace gis
{

class Dataset;

/**
 * The evaluator for the attribute filters the program writes: comparisons
 * of a numeric field with a number ("WINDPWRD >= 500", "FeatureID > -1")
 * and of a text field with a quoted text ("LAND_USE = 'FOREST'", an
 * apostrophe inside written twice), joined by AND and OR, in parentheses
 * or not (AND binds first). It reads the dataset's in-memory attribute
 * column directly. Null values never match. Numbers compare as numbers,
 * exactly as OGR SQL compares them. Text compares with = and <> (or !=)
 * only, and exactly: letter case and blanks count, against the text as the
 * dataset holds it (the shapefile reader drops the blanks around a .dbf
 * text). OGR SQL's = ignores letter case, so 'Forest' would also select
 * "FOREST" there.
 *
 * Everything else (other operators or keywords such as NOT, IN, LIKE,
 * IS NULL, a number for a text field or a text for a numeric one, a field
 * the dataset does not have, a malformed clause) is not recognised:
 * evaluate() returns nothing and the caller runs the full OGR SQL search,
 * which also reports the errors.
 */
namespace expressionfilter
{
//! Records of \a ds satisfying \a where in file order, or nothing when the clause is not one this evaluator reads.
std::optional<std::vector<qint64>> evaluate( const Dataset &ds, const QString &where );
} // namespace expressionfilter

} // namespace gis
