#include "SampleDataSet.h"

#include <gdal.h>

#include <QDir>

#include <cstdio>
#include <cstring>
#include <exception>

// Writes the sample data set of a fictional country: the 28 standard
// shapefiles, deterministic. Usage: ostrapel-sampledata <outdir> [--national]
int main( int argc, char **argv )
{
    // An option in the directory's place ("--help") would otherwise become a folder of 28 files.
    if ( argc < 2 || argc > 3 || argv[1][0] == '-' || ( argc == 3 && std::strcmp( argv[2], "--national" ) != 0 ) )
    {
        std::fprintf( stderr, "usage: %s <outdir> [--national]\n", argv[0] );
        return 2;
    }
    const QString directory = QString::fromLocal8Bit( argv[1] );
    const bool national = argc == 3;
    if ( !QDir().mkpath( directory ) )
    {
        std::fprintf( stderr, "cannot create %s\n", argv[1] );
        return 1;
    }
    GDALAllRegister();
    try
    {
        sampledata::SampleDataSet set( national ? sampledata::SampleSize::national() : sampledata::SampleSize::standard() );
        set.write( directory );
        for ( const auto &[file, count] : set.counts() )
            std::printf( "%-24s %8lld\n", file.toUtf8().constData(), count );
    }
    catch ( const std::exception &e )
    {
        std::fprintf( stderr, "ostrapel-sampledata: %s\n", e.what() );
        return 1;
    }
    return 0;
}
