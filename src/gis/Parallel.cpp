#include "Parallel.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <memory>

namespace gis
{

namespace
{
QThreadPool *workers()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount( std::max( 1, QThread::idealThreadCount() - 1 ) );
        p->setExpiryTimeout( 30000 );
        return p;
    }();
    return pool;
}
} // namespace

int parallelTaskCount()
{
    return std::max( 1, QThread::idealThreadCount() );
}

void parallelFor( int count, const std::function<void( int )> &task )
{
    if ( count <= 0 )
        return;
    if ( count == 1 )
    {
        task( 0 );
        return;
    }
    // Tasks are taken from a shared counter so that the calling thread works
    // too and a busy pool cannot leave it waiting on tasks nobody started.
    // Helpers that start late find nothing left; they share the state, so
    // they never touch this frame after it has returned.
    struct State
    {
        std::atomic<int> next { 0 };
        QSemaphore done;
        std::function<void( int )> task;
        int count = 0;
    };
    auto state = std::make_shared<State>();
    state->task = task;
    state->count = count;
    auto runner = [state] {
        for ( int i = state->next.fetch_add( 1 ); i < state->count; i = state->next.fetch_add( 1 ) )
        {
            state->task( i );
            state->done.release();
        }
    };
    const int helpers = std::min( count - 1, workers()->maxThreadCount() );
    for ( int h = 0; h < helpers; ++h )
        workers()->start( runner );
    runner();
    state->done.acquire( count );
}

} // namespace gis
