#pragma once

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace gis
{

/**
 * Computes items 0 .. count - 1 on worker threads ahead of a caller that
 * takes them in order. Workers claim blocks of consecutive items in item
 * order; waitFor( i ) returns once item i is computed, and the calling
 * thread computes blocks itself when it would otherwise wait for a block
 * nobody has started. So the caller can walk the items one by one (yielding
 * to the window system, testing for a stop, adding results in order) while
 * the geometry runs on every core.
 *
 * compute( item, worker ) writes the item's result wherever the caller keeps
 * it; it runs exactly once per item (unless stopped) and must not throw.
 * The worker index lies in 0 .. workerCount() - 1 and names the thread that
 * runs it (0 is the calling thread), so per-worker caches need no locks.
 * A result written by compute() is visible to the caller after waitFor().
 *
 * stop() (and the destructor) lets the workers finish the block in hand and
 * joins them; items not yet computed are then never computed.
 */
class OrderedWork
{
  public:
    using Compute = std::function<void( qint64 item, int worker )>;

    //! Worker count that a new OrderedWork will use at most (for sizing per-worker caches).
    static int maxWorkers();

    /**
     * Starts the workers. \a blockSize 0 picks a size that gives every
     * worker many blocks: large blocks for many cheap items, single items
     * for few costly ones.
     */
    OrderedWork( qint64 count, Compute compute, qint64 blockSize = 0 );
    ~OrderedWork();
    OrderedWork( const OrderedWork & ) = delete;
    OrderedWork &operator=( const OrderedWork & ) = delete;

    int workerCount() const { return mWorkerCount; }
    qint64 count() const { return mCount; }

    //! Returns once \a item is computed. Items are to be asked for in increasing order.
    void waitFor( qint64 item );
    void stop();

  private:
    void runWorker( int worker );
    //! Claims the next block and computes it as \a worker; false when no block is left.
    bool runNextBlock( int worker );

    qint64 mCount = 0;
    qint64 mBlockSize = 1;
    qint64 mBlockCount = 0;
    int mWorkerCount = 1;
    Compute mCompute;
    std::atomic<qint64> mNextBlock { 0 };
    std::atomic<bool> mStopped { false };
    std::unique_ptr<std::atomic<bool>[]> mDone;
    std::mutex mMutex;
    std::condition_variable mBlockDone;
    std::vector<std::thread> mThreads;
};

/**
 * OrderedWork that keeps one \a Result per item: compute( item, worker )
 * returns it, take( item ) hands it over (moved out) once it is ready.
 * A compute() that throws leaves a default-constructed result.
 */
template <class Result>
class OrderedResults
{
  public:
    using Compute = std::function<Result( qint64 item, int worker )>;

    OrderedResults( qint64 count, Compute compute, qint64 blockSize = 0 )
        : mResults( static_cast<size_t>( std::max<qint64>( 0, count ) ) )
        , mCompute( std::move( compute ) )
        , mWork( count, [this]( qint64 item, int worker ) { run( item, worker ); }, blockSize )
    {
    }

    qint64 count() const { return mWork.count(); }
    Result take( qint64 item )
    {
        mWork.waitFor( item );
        return std::move( mResults[static_cast<size_t>( item )] );
    }
    void stop() { mWork.stop(); }

  private:
    void run( qint64 item, int worker )
    {
        try
        {
            mResults[static_cast<size_t>( item )] = mCompute( item, worker );
        }
        catch ( ... )
        {
        }
    }

    // Declared before the work, so the results exist before the first worker starts and outlive the last.
    std::vector<Result> mResults;
    Compute mCompute;
    OrderedWork mWork;
};

} // namespace gis
