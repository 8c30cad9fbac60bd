#pragma once

// Helpers shared by the benchmark programs: the cached national-scale data
// set, timing statistics, a dialog stub that never blocks and the common
// main() wrapper.

#include "common/Dialogs.h"
#include "gis/Dataset.h"
#include "gis/Layer.h"
#include "gis/MapWidget.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <stdexcept>
#include <vector>

namespace bench
{

inline double msSince( const QElapsedTimer &t )
{
    return t.nsecsElapsed() / 1e6;
}

//! Identifies the generator build, so a rebuilt generator refreshes the cache.
inline QByteArray generatorStamp()
{
    const QFileInfo info( QStringLiteral( OSTRAPEL_SAMPLEDATA ) );
    return QStringLiteral( "%1 %2 %3\n" )
        .arg( info.filePath() )
        .arg( info.size() )
        .arg( info.lastModified().toMSecsSinceEpoch() )
        .toUtf8();
}

/**
 * The national set in $TMPDIR/ostrapel-national, generated when missing,
 * incomplete or older than the generator. Throws std::runtime_error when
 * the generator fails.
 */
inline QString nationalDataDir()
{
    const QString dir = QDir( QDir::tempPath() ).filePath( QStringLiteral( "ostrapel-national" ) );
    QFile stamp( QDir( dir ).filePath( QStringLiteral( "complete.stamp" ) ) );
    if ( stamp.open( QIODevice::ReadOnly ) && stamp.readAll() == generatorStamp() )
        return dir;
    stamp.close();
    stamp.remove();
    std::printf( "generating the national set into %s ...\n", qPrintable( dir ) );
    std::fflush( stdout );
    QElapsedTimer t;
    t.start();
    QProcess generator;
    generator.setProcessChannelMode( QProcess::ForwardedErrorChannel );
    generator.setStandardOutputFile( QProcess::nullDevice() );
    generator.start( QStringLiteral( OSTRAPEL_SAMPLEDATA ), { dir, QStringLiteral( "--national" ) } );
    if ( !generator.waitForFinished( 30 * 60 * 1000 ) || generator.exitStatus() != QProcess::NormalExit
         || generator.exitCode() != 0 )
        throw std::runtime_error( "the sample data generator failed" );
    if ( !stamp.open( QIODevice::WriteOnly ) || stamp.write( generatorStamp() ) < 0 )
        throw std::runtime_error( "cannot write the stamp file" );
    std::printf( "generated in %.1f s\n", msSince( t ) / 1000 );
    return dir;
}

//! The data directory of a run: the first argument, else the cached national set.
inline QString dataDir( int argc, char **argv )
{
    return argc > 1 ? QString::fromLocal8Bit( argv[1] ) : nationalDataDir();
}

//! Times of repeated runs of one step, in milliseconds.
class Samples
{
  public:
    void add( double ms ) { mMs.push_back( ms ); }
    bool isEmpty() const { return mMs.empty(); }
    int count() const { return static_cast<int>( mMs.size() ); }
    double first() const { return mMs.empty() ? 0 : mMs.front(); }
    double best() const { return mMs.empty() ? 0 : *std::min_element( mMs.begin(), mMs.end() ); }
    //! The middle value; the upper one of the two middle values for an even count.
    double median() const
    {
        if ( mMs.empty() )
            return 0;
        std::vector<double> sorted = mMs;
        std::sort( sorted.begin(), sorted.end() );
        return sorted[sorted.size() / 2];
    }

  private:
    std::vector<double> mMs;
};

//! Runs \a step \a runs times and returns the time of each run.
inline Samples timeRuns( int runs, const std::function<void()> &step )
{
    Samples samples;
    QElapsedTimer t;
    for ( int i = 0; i < runs; ++i )
    {
        t.start();
        step();
        samples.add( msSince( t ) );
    }
    return samples;
}

//! One line: what, how many features, best and median of the runs, and the target when there is one.
inline void printSamples( const char *what, qint64 features, const Samples &s, double targetMs = 0 )
{
    std::printf( "%-40s %9lld features: best %8.1f ms, median %8.1f ms (%d runs)", what,
                 static_cast<long long>( features ), s.best(), s.median(), s.count() );
    if ( targetMs > 0 )
        std::printf( "  target < %.0f ms: %s", targetMs, s.median() < targetMs ? "met" : "MISSED" );
    std::printf( "\n" );
}

//! Records of the visible layers of \a map.
inline qint64 visibleFeatures( const gis::MapWidget &map )
{
    qint64 n = 0;
    for ( const gis::LayerPtr &layer : map.layers() )
        if ( layer->visible )
            n += layer->geoDataset()->recordCount();
    return n;
}

//! Records of the visible layers whose envelope meets the current extent of \a map.
inline qint64 featuresInView( const gis::MapWidget &map )
{
    qint64 n = 0;
    for ( const gis::LayerPtr &layer : map.layers() )
        if ( layer->visible )
            n += static_cast<qint64>( layer->geoDataset()->recordsInRect( map.extent() ).size() );
    return n;
}

inline int visibleLayers( const gis::MapWidget &map )
{
    return static_cast<int>( std::count_if( map.layers().begin(), map.layers().end(),
                                            []( const gis::LayerPtr &l ) { return l->visible; } ) );
}

//! Prints message boxes instead of showing them and answers every question Yes: nothing may block a benchmark.
class PrintingDialogs : public Dialogs
{
  public:
    void message( QWidget *, const QString &text, const QString &, Icon ) override
    {
        std::printf( "message: %s\n", qPrintable( text ) );
    }
    bool question( QWidget *, const QString &text, const QString &, Icon ) override
    {
        std::printf( "question (answered Yes): %s\n", qPrintable( text ) );
        return true;
    }
    QString openFile( QWidget *, const FileRequest & ) override { return {}; }
    QString saveFile( QWidget *, const FileRequest & ) override { return {}; }
};

//! Runs \a run with the offscreen platform unless another one is set; an exception ends the program with 1.
inline int benchMain( const char *name, int argc, char **argv, const std::function<int( int, char ** )> &run )
{
    if ( qEnvironmentVariableIsEmpty( "QT_QPA_PLATFORM" ) )
        qputenv( "QT_QPA_PLATFORM", "offscreen" );
    try
    {
        return run( argc, argv );
    }
    catch ( const std::exception &e )
    {
        std::fprintf( stderr, "%s: %s\n", name, e.what() );
        return 1;
    }
}

} // namespace bench
