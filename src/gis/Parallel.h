#pragma once

#include <functional>

namespace gis
{

//! Number of tasks worth splitting drawing work into (the cores available).
int parallelTaskCount();

/**
 * Runs task(0) ... task(count - 1) on the component's worker threads and the
 * calling thread, and returns when all have finished. Tasks must not throw
 * and must not call parallelFor() themselves.
 */
void parallelFor( int count, const std::function<void( int )> &task );

} // namespace gis
