#pragma once

#include <QString>

namespace gis
{

/**
 * Coordinate system of a dataset, read from its .prj.
 * unitName: "meter" for metres (whatever GDAL calls them), "degree" for
 * geographic systems, otherwise the unit name GDAL gives in lower case.
 * flattening is f (not 1/f); semiMajorAxis in metres.
 */
struct CoordinateSystem
{
    QString unitName;
    bool isProjected = false;
    double semiMajorAxis = 0;
    double flattening = 0;
    QString wkt; //!< the .prj text as read, for writing new datasets
};

} // namespace gis
