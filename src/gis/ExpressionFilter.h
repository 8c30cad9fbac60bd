#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace gis
{

class Dataset;

/**
 * A quick evaluator for the simplest attribute filters: one comparison of a
 * numeric field with a number, or two such comparisons joined by AND
 * ("WINDPWRD >= 500 AND WINDPWRD <= 10000", "FeatureID > -1"). It reads the
 * dataset's in-memory attribute column directly and gives exactly the
 * records the OGR SQL filter gives: null values never match, numbers compare
 * as numbers.
 *
 * Everything else (text fields, other operators, OR, quoting, a field the
 * dataset does not have, a malformed clause) is not recognised: evaluate()
 * returns nothing and the caller runs the full OGR SQL search, which also
 * reports the errors.
 */
namespace expressionfilter
{
//! Records of \a ds satisfying \a where in file order, or nothing when the clause is not a simple numeric range.
std::optional<std::vector<qint64>> evaluate( const Dataset &ds, const QString &where );
} // namespace expressionfilter

} // namespace gis
