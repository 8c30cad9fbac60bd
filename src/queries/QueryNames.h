#pragma once

#include <QString>

/**
 * The names of the siting queries as the query list offers them. The
 * dispatcher, the input check and the area descriptions compare them
 * exactly; the availability check trimmed and without regard to case.
 */
namespace querynames
{
inline const QString kNoQuery = QStringLiteral( "No Query (Base Map)" );
inline const QString kWindByPowerDensity = QStringLiteral( "Wind by Power Density" );
inline const QString kWindMinusProtected = QStringLiteral( "Best wind - protected areas" );
inline const QString kWindLandUse = QStringLiteral( "Best wind + land use" );
inline const QString kWindRoads = QStringLiteral( "Best wind + roads" );
inline const QString kWindTransmission = QStringLiteral( "Best wind + transmission" );
inline const QString kWindAll = QStringLiteral( "Best wind (all)" );
inline const QString kSolar = QStringLiteral( "Best Solar X kWh/m2/day" );

//! True for the six wind query names, compared exactly.
inline bool isWindQuery( const QString &name )
{
    return name == kWindByPowerDensity || name == kWindMinusProtected || name == kWindLandUse || name == kWindRoads
           || name == kWindTransmission || name == kWindAll;
}
} // namespace querynames
