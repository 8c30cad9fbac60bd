#pragma once

#include <QString>

#include <optional>

namespace gis
{

/**
 * Coordinate system of a dataset, read from its .prj.
 * unitName: "meter" for metres (whatever GDAL calls them), "degree" for
 * geographic systems, otherwise the unit name GDAL gives in lower case.
 * metresPerUnit: the length of the linear unit in metres (1 for metres,
 * 0.3048 for the foot); 0 for degrees or a unit GDAL cannot size.
 * flattening is f (not 1/f); semiMajorAxis in metres.
 */
struct CoordinateSystem
{
    QString unitName;
    double metresPerUnit = 0;
    bool isProjected = false;
    double semiMajorAxis = 0;
    double flattening = 0;
    QString wkt; //!< the .prj text as read, for writing new datasets
};

/**
 * Metres in one map unit of a layer in \a crs, for turning its distances
 * and areas into ground measures: a layer without a coordinate system, and
 * one whose unit has no length (degrees), count as metres.
 */
inline double groundMetresPerUnit( const std::optional<CoordinateSystem> &crs )
{
    return crs && crs->metresPerUnit > 0 ? crs->metresPerUnit : 1.0;
}

} // namespace gis
