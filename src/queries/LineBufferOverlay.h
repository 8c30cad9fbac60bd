#pragma once

#include "QueryCallbacks.h"
#include "QueryInputs.h"

#include "gis/TiledArea.h"

#include <QString>

#include <optional>

/**
 * "Best wind + roads" and "Best wind + transmission": the buffer zone of a
 * line layer and the parts of the wind polygons of the chosen range inside
 * it, in wind record order.
 */
namespace md_query_functions2
{
//! From this many features on, a line layer is merged in batches after a question.
constexpr qint64 LargeLayerFeatureCount = 400;
//! Unions a first-stage batch takes after the buffer that opens it.
constexpr qint64 BufferBatchSize = 100;
//! Unions a second-stage group takes after the batch that opens it.
constexpr qint64 MergeBatchSize = 10;
constexpr float KmToMapUnits = 1000.0f;

//! The question asked before the features of a large line layer are merged.
inline const QString kLargeLayerQuestion =
    QStringLiteral( "This query may take few minutes to complete. Do you want to proceed?" );

/**
 * The area within \a km kilometres (taken as km × 1000 map units) of every
 * feature of the line layer \a file, or nothing: when the user declines the
 * question of a layer of 400 features or more, when the run is stopped
 * during the feature walk, after a failure (reported here), and for a layer
 * in geographic coordinates, where a distance in metres means nothing
 * (refused with a message). Walks the features with a caption and a yield
 * for each, then merges them; a large layer shows the captions of its three
 * merge stages.
 */
std::optional<gis::TiledArea> create_line_buffers( const QueryInputs &inputs, const QueryCallbacks &callbacks,
                                                   const QString &file, float km );

/**
 * Adds the part of every selected wind polygon inside \a zone. Yields
 * before every wind record; a stop keeps the parts added so far.
 */
void Wind_Buffer_Overlay( const QueryInputs &inputs, const QueryCallbacks &callbacks, const gis::TiledArea &zone );

//! The query "Best wind + roads" over fRoadBufferKm; failures are reported here.
void wind_with_roads( const QueryInputs &inputs, const QueryCallbacks &callbacks );
//! The query "Best wind + transmission" over fLineBufferKm; failures are reported here.
void wind_with_transmission( const QueryInputs &inputs, const QueryCallbacks &callbacks );
} // namespace md_query_functions2
