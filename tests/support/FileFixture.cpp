#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
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

namespace
{
constexpr quint32 kReadAnyFile = ( 1u << CAP_DAC_OVERRIDE ) | ( 1u << CAP_DAC_READ_SEARCH );

bool capabilities( bool set, __user_cap_data_struct ( &data )[2] )
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    return ::syscall( set ? SYS_capset : SYS_capget, &header, data ) == 0;
}
} // namespace

PermissionsApply::PermissionsApply()
{
    __user_cap_data_struct data[2] {};
    if ( capabilities( false, data ) && ( data[0].effective & kReadAnyFile ) != 0 )
    {
        data[0].effective &= ~kReadAnyFile;
        mDropped = capabilities( true, data );
    }
}

PermissionsApply::~PermissionsApply()
{
    __user_cap_data_struct data[2] {};
    if ( mDropped && capabilities( false, data ) )
    {
        data[0].effective |= data[0].permitted & kReadAnyFile;
        capabilities( true, data );
    }
}

bool PermissionsApply::ignoredIn( const QString &dir )
{
    for ( const QFileInfo &file : QDir( dir ).entryInfoList( QDir::Files ) )
    {
        QFile f( file.filePath() );
        if ( !file.permission( QFile::ReadOwner ) && f.open( QIODevice::ReadOnly ) )
            return true;
    }
    return false;
}

} // namespace testsupport
