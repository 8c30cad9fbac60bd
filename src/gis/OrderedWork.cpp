#include "OrderedWork.h"

#include "Parallel.h"

#include <algorithm>
#include <system_error>

namespace gis
{

int OrderedWork::maxWorkers()
{
    return std::max( 1, parallelTaskCount() );
}

OrderedWork::OrderedWork( qint64 count, Compute compute, qint64 blockSize )
    : mCount( std::max<qint64>( 0, count ) )
    , mCompute( std::move( compute ) )
{
    const int workers = maxWorkers();
    mBlockSize = blockSize > 0 ? blockSize : std::clamp<qint64>( mCount / ( 64 * workers ), 1, 256 );
    mBlockCount = ( mCount + mBlockSize - 1 ) / mBlockSize;
    mDone.reset( new std::atomic<bool>[static_cast<size_t>( std::max<qint64>( 1, mBlockCount ) )] );
    for ( qint64 b = 0; b < mBlockCount; ++b )
        mDone[static_cast<size_t>( b )].store( false, std::memory_order_relaxed );

    // A single block is the caller's own work: no thread would ever get to it first.
    const int helpers = static_cast<int>( std::min<qint64>( workers - 1, mBlockCount - 1 ) );
    for ( int w = 1; w <= helpers; ++w )
    {
        try
        {
            mThreads.emplace_back( &OrderedWork::runWorker, this, w );
        }
        catch ( const std::system_error & )
        {
            break; // no more threads to be had: the caller and the others do the rest
        }
    }
    mWorkerCount = static_cast<int>( mThreads.size() ) + 1;
}

OrderedWork::~OrderedWork()
{
    stop();
}

void OrderedWork::stop()
{
    mStopped.store( true );
    for ( std::thread &t : mThreads )
    {
        if ( t.joinable() )
            t.join();
    }
    mThreads.clear();
}

bool OrderedWork::runNextBlock( int worker )
{
    if ( mStopped.load( std::memory_order_relaxed ) )
        return false;
    const qint64 block = mNextBlock.fetch_add( 1 );
    if ( block >= mBlockCount )
        return false;
    const qint64 end = std::min( mCount, ( block + 1 ) * mBlockSize );
    for ( qint64 item = block * mBlockSize; item < end; ++item )
        mCompute( item, worker );
    {
        std::lock_guard<std::mutex> lock( mMutex );
        mDone[static_cast<size_t>( block )].store( true, std::memory_order_release );
    }
    mBlockDone.notify_all();
    return true;
}

void OrderedWork::runWorker( int worker )
{
    while ( runNextBlock( worker ) )
    {
    }
}

void OrderedWork::waitFor( qint64 item )
{
    if ( item < 0 || item >= mCount )
        return;
    const qint64 block = item / mBlockSize;
    std::atomic<bool> &done = mDone[static_cast<size_t>( block )];
    while ( !done.load( std::memory_order_acquire ) )
    {
        // Nobody has started the block yet: compute the next one here instead of waiting.
        if ( mNextBlock.load() <= block && !mStopped.load() )
        {
            if ( runNextBlock( 0 ) )
                continue;
        }
        std::unique_lock<std::mutex> lock( mMutex );
        mBlockDone.wait( lock, [&] { return done.load( std::memory_order_acquire ) || mStopped.load(); } );
        if ( mStopped.load() && !done.load( std::memory_order_acquire ) )
            return;
    }
}

} // namespace gis
