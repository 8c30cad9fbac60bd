#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace testsupport
{

QByteArray readBytes( const QString &path )
{
    QFile f( path );
    return f.open( QIODevice::ReadOnly ) ? f.readAll() : QByteArray();
}

void writeBytes( const QString &path, const QByteArray &bytes )
{
    QFile f( path );
    if ( !f.open( QIODevice::WriteOnly | QIODevice::Truncate ) || f.write( bytes ) != bytes.size() )
        throw std::runtime_error( "cannot write " + path.toStdString() );
}

void patchBytes( const QString &path, qint64 offset, const QByteArray &bytes )
{
    QFile f( path );
    if ( !f.open( QIODevice::ReadWrite ) || !f.seek( offset ) || f.write( bytes ) != bytes.size() )
        throw std::runtime_error( "cannot patch " + path.toStdString() );
}

void copyFileSet( const QString &fromBase, const QString &toBase )
{
    QDir().mkpath( QFileInfo( toBase ).path() );
    for ( const char *ext : { ".shp", ".shx", ".dbf", ".prj", ".cpg" } )
    {
        if ( QFileInfo::exists( fromBase + ext ) && !QFile::copy( fromBase + ext, toBase + ext ) )
            throw std::runtime_error( "cannot copy " + ( fromBase + ext ).toStdString() );
    }
}

FifoRelease::FifoRelease( const QStringList &fifos )
    : mThread( [this, fifos] {
          while ( !mStop )
          {
              for ( const QString &fifo : fifos )
              {
                  const int fd = ::open( QFile::encodeName( fifo ).constData(), O_WRONLY | O_NONBLOCK );
                  if ( fd >= 0 )
                      ::close( fd );
              }
              std::this_thread::sleep_for( std::chrono::milliseconds( 50 ) );
          }
      } )
{
}

FifoRelease::~FifoRelease()
{
    mStop = true;
    mThread.join();
}

} // namespace testsupport
