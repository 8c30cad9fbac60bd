#include "ShapefileCheck.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace gis::shapefile
{

namespace
{

constexpr qint64 kBlock = 1 << 20;

quint16 littleEndian16( const unsigned char *p )
{
    return static_cast<quint16>( p[0] | ( p[1] << 8 ) );
}

//! The path without its extension, as the shapefile driver forms the names of the parts.
QString basePath( const QString &shpPath )
{
    const QFileInfo info( shpPath );
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf( QLatin1Char( '.' ) );
    const QString stem = dot > 0 ? name.left( dot ) : name;
    const QString dir = shpPath.left( shpPath.size() - name.size() );
    return dir + stem;
}

enum class Entry
{
    Missing,
    Regular,
    Other, //!< FIFO, socket, device, directory or a link leading nowhere
};

Entry entryKind( const QString &path )
{
    const QByteArray p = QFile::encodeName( path );
    struct stat st;
    if ( ::lstat( p.constData(), &st ) != 0 )
        return Entry::Missing;
    if ( ::stat( p.constData(), &st ) != 0 )
        return Entry::Other;
    return S_ISREG( st.st_mode ) ? Entry::Regular : Entry::Other;
}

//! Narrows [b, e) of \a p to its part between leading and trailing blanks.
void trimBlanks( const char *p, int &b, int &e )
{
    while ( b < e && p[b] == ' ' )
        ++b;
    while ( e > b && p[e - 1] == ' ' )
        --e;
}

//! What a value of a table holds.
enum class Cell
{
    Blank,      //!< no value
    Value,
    Unreadable, //!< bytes that are no value of the field's type
};

Cell numberCell( const char *p, int n, bool integer )
{
    int b = 0;
    int e = n;
    trimBlanks( p, b, e );
    if ( b == e )
        return Cell::Blank;
    bool stars = true;
    for ( int i = b; i < e; ++i )
        stars = stars && p[i] == '*';
    if ( stars )
        return Cell::Blank; // the format's own mark of no value
    int i = b;
    if ( p[i] == '+' || p[i] == '-' )
        ++i;
    int digits = 0;
    bool fraction = false; // a part a whole number cannot hold
    while ( i < e && p[i] >= '0' && p[i] <= '9' )
        ++i, ++digits;
    if ( i < e && p[i] == '.' )
    {
        ++i;
        for ( ; i < e && p[i] >= '0' && p[i] <= '9'; ++i, ++digits )
            fraction = fraction || p[i] != '0';
    }
    if ( digits == 0 )
        return Cell::Unreadable;
    if ( i < e && ( p[i] == 'e' || p[i] == 'E' ) )
    {
        ++i;
        fraction = true;
        if ( i < e && ( p[i] == '+' || p[i] == '-' ) )
            ++i;
        int exponent = 0;
        while ( i < e && p[i] >= '0' && p[i] <= '9' )
            ++i, ++exponent;
        if ( exponent == 0 )
            return Cell::Unreadable;
    }
    // A whole-number field read from a value with a fraction would lose it.
    return i == e && !( integer && fraction ) ? Cell::Value : Cell::Unreadable;
}

Cell dateCell( const char *p, int n )
{
    int b = 0;
    int e = n;
    trimBlanks( p, b, e );
    if ( b == e || ( e - b == 8 && std::memcmp( p + b, "00000000", 8 ) == 0 ) )
        return Cell::Blank;
    if ( e - b != 8 )
        return Cell::Unreadable;
    int digits[8];
    for ( int i = 0; i < 8; ++i )
    {
        if ( p[b + i] < '0' || p[b + i] > '9' )
            return Cell::Unreadable;
        digits[i] = p[b + i] - '0';
    }
    const int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    const int month = digits[4] * 10 + digits[5];
    const int day = digits[6] * 10 + digits[7];
    return QDate::isValid( year, month, day ) ? Cell::Value : Cell::Unreadable;
}

Cell logicalCell( const char *p, int n )
{
    int b = 0;
    int e = n;
    trimBlanks( p, b, e );
    if ( b == e || ( e - b == 1 && p[b] == '?' ) )
        return Cell::Blank;
    return e - b == 1 && std::strchr( "YyNnTtFf", p[b] ) != nullptr ? Cell::Value : Cell::Unreadable;
}

/**
 * What a table value of \a field holds, read as its type (as text when the
 * type is unknown). A NUL byte ends the text the driver sees: in a number,
 * a date or a logical value, at the start of a text, or with text behind
 * it, it means bytes were lost, as no writer pads a value that way.
 */
Cell cellOf( const TableLayout::Field &field, const char *value )
{
    const int width = field.width;
    const char *nul = static_cast<const char *>( std::memchr( value, '\0', static_cast<size_t>( width ) ) );
    const int length = nul ? static_cast<int>( nul - value ) : width;
    const char type = field.type;
    const bool text = type != 'N' && type != 'F' && type != 'D' && type != 'L';
    if ( nul && ( !text || length == 0 || std::any_of( nul, value + width, []( char c ) { return c != '\0'; } ) ) )
        return Cell::Unreadable;
    switch ( type )
    {
        case 'N':
        case 'F':
            return numberCell( value, length, field.integer );
        case 'D':
            return dateCell( value, length );
        case 'L':
            return logicalCell( value, length );
        default:
        {
            int b = 0;
            int e = length;
            trimBlanks( value, b, e );
            return b == e ? Cell::Blank : Cell::Value;
        }
    }
}

} // namespace

bool TableLayout::Field::readable() const
{
    return !nameDamaged && width > 0 && type != '\0' && std::strchr( "CNFDL", type ) != nullptr;
}

quint32 bigEndian32( const unsigned char *p )
{
    return ( quint32( p[0] ) << 24 ) | ( quint32( p[1] ) << 16 ) | ( quint32( p[2] ) << 8 ) | quint32( p[3] );
}

qint32 littleEndian32( const unsigned char *p )
{
    return static_cast<qint32>( quint32( p[0] ) | ( quint32( p[1] ) << 8 ) | ( quint32( p[2] ) << 16 ) | ( quint32( p[3] ) << 24 ) );
}

QString partPath( const QString &shpPath, const char *ext )
{
    const QString base = basePath( shpPath ) + QLatin1Char( '.' );
    const QString lower = QString::fromLatin1( ext ).toLower();
    for ( const QString &candidate : { base + lower, base + lower.toUpper() } )
    {
        if ( entryKind( candidate ) != Entry::Missing )
            return candidate;
    }
    return QString();
}

bool readDenied( const QString &path )
{
    // Opened rather than asked through access(), which judges root by every
    // capability it may take up, not by those in effect.
    const int fd = ::open( QFile::encodeName( path ).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK );
    if ( fd >= 0 )
    {
        ::close( fd );
        return false;
    }
    return errno == EACCES || errno == EPERM;
}

bool mayOpen( const QString &shpPath, ReadDamage &damage )
{
    if ( shpPath.startsWith( QLatin1String( "/vsi" ), Qt::CaseInsensitive ) )
    {
        damage.unopened = ReadDamage::Unopened::CannotOpen;
        damage.part = QFileInfo( shpPath ).fileName();
        return false;
    }
    QStringList candidates { shpPath };
    const QString base = basePath( shpPath ) + QLatin1Char( '.' );
    for ( const char *ext : { "shp", "shx", "dbf", "prj", "cpg" } )
    {
        candidates << base + QLatin1String( ext ) << base + QString::fromLatin1( ext ).toUpper();
    }
    // Nothing outside the folder is read: a link may only lead to a file inside it.
    const QString folder = QFileInfo( QFileInfo( shpPath ).absolutePath() ).canonicalFilePath() + QLatin1Char( '/' );
    for ( const QString &candidate : candidates )
    {
        const Entry kind = entryKind( candidate );
        if ( kind == Entry::Regular && QFileInfo( candidate ).isSymLink()
             && !QFileInfo( candidate ).canonicalFilePath().startsWith( folder ) )
        {
            damage.unopened = ReadDamage::Unopened::LinkOutside;
            damage.part = QFileInfo( candidate ).fileName();
            return false;
        }
        if ( kind == Entry::Other || ( kind == Entry::Missing && candidate == shpPath ) )
        {
            damage.unopened = kind == Entry::Other ? ReadDamage::Unopened::NotRegularFile : ReadDamage::Unopened::CannotOpen;
            damage.part = QFileInfo( candidate ).fileName();
            return false;
        }
    }
    return true;
}

DeclaredEncoding declaredEncoding( const QString &shpPath )
{
    DeclaredEncoding declared;
    QFile file( partPath( shpPath, "cpg" ) );
    if ( !file.open( QIODevice::ReadOnly ) )
        return declared;
    const QByteArray head = file.read( 256 );
    const qsizetype lineEnd = head.indexOf( '\n' ) >= 0 ? head.indexOf( '\n' ) : head.size();
    declared.cpg = QString::fromLatin1( head.left( lineEnd ) ).trimmed();
    // Letter case, blanks, hyphens and underscores aside: "ANSI 1252", "8859_1", "iso-8859-1".
    QByteArray key = declared.cpg.toLatin1().toUpper();
    key.removeIf( []( char c ) { return c == ' ' || c == '-' || c == '_'; } );
    static const QByteArrayList latin1 { "88591", "ISO88591", "LATIN1", "ISOLATIN1" };
    static const QByteArrayList windows1252 { "1252", "ANSI1252", "CP1252", "WINDOWS1252", "WIN1252" };
    static const QByteArrayList wide { "UTF16", "UTF32", "UCS2", "UCS4", "UNICODE" };
    declared.overridden = true;
    if ( latin1.contains( key ) )
        declared.encoding = "ISO-8859-1";
    else if ( windows1252.contains( key ) )
        declared.encoding = "CP1252";
    else if ( key == "UTF8" )
        declared.encoding = "UTF-8";
    else
    {
        declared.wide = std::any_of( wide.begin(), wide.end(), [&key]( const QByteArray &w ) { return key.startsWith( w ); } );
        declared.overridden = declared.wide;
    }
    return declared;
}

TableLayout readTableLayout( const QString &shpPath )
{
    TableLayout layout;
    layout.path = partPath( shpPath, "dbf" );
    QFile file( layout.path );
    if ( layout.path.isEmpty() || !file.open( QIODevice::ReadOnly ) )
        return layout;
    const QByteArray head = file.read( 32 );
    if ( head.size() < 32 )
        return layout;
    layout.headerRead = true;
    const auto *h = reinterpret_cast<const unsigned char *>( head.constData() );
    layout.rowsClaimed = static_cast<quint32>( littleEndian32( h + 4 ) );
    layout.headerLength = littleEndian16( h + 8 );
    layout.rowLength = littleEndian16( h + 10 );
    if ( layout.rowLength > 0 && file.size() >= layout.headerLength )
        layout.rowsInFile = ( file.size() - layout.headerLength ) / layout.rowLength;

    const QByteArray descriptors = file.read( std::max<qint64>( 0, layout.headerLength - 32 ) );
    const auto *d = reinterpret_cast<const unsigned char *>( descriptors.constData() );
    bool terminated = false;
    bool namesSound = true;
    int offset = 1;
    for ( qint64 at = 0; at < descriptors.size(); at += 32 )
    {
        if ( d[at] == 0x0D )
        {
            terminated = true;
            break;
        }
        if ( at + 32 > descriptors.size() )
            break;
        // A name is there and holds no control characters up to its end.
        const unsigned char *name = d + at;
        namesSound = namesSound && name[0] != 0;
        int nameEnd = 0;
        for ( ; nameEnd < 11 && name[nameEnd] != 0; ++nameEnd )
            namesSound = namesSound && name[nameEnd] >= 0x20;
        TableLayout::Field field;
        // Writers pad a name with NULs or blanks; other bytes after its
        // terminator are what is left of another name, or damage.
        field.nameDamaged = std::any_of( name + nameEnd, name + 11, []( unsigned char c ) { return c != 0 && c != ' '; } );
        field.type = static_cast<char>( d[at + 11] );
        field.width = d[at + 16];
        field.offset = offset;
        offset += field.width;
        layout.fields.push_back( field );
    }
    // The rows the header claims fill the file, up to an end-of-file mark.
    const qint64 rowsEnd = layout.headerLength + layout.rowsClaimed * layout.rowLength;
    const bool sizeFits = file.size() == rowsEnd || ( file.size() == rowsEnd + 1 && file.seek( rowsEnd ) && file.read( 1 ) == "\x1a" );
    layout.consistent = terminated && namesSound && offset == layout.rowLength
                        && descriptors.size() == layout.headerLength - 32 && sizeFits;
    return layout;
}

qint64 rowsWithData( const TableLayout &layout )
{
    QFile file( layout.path );
    if ( !layout.present() || layout.rowLength <= 0 || !file.open( QIODevice::ReadOnly ) )
        return 0;
    std::vector<char> block( static_cast<size_t>( kBlock ) );
    for ( qint64 end = layout.headerLength + layout.rowsAvailable() * layout.rowLength; end > layout.headerLength; )
    {
        const qint64 start = std::max( layout.headerLength, end - kBlock );
        const char *p = block.data();
        qint64 n = file.seek( start ) ? file.read( block.data(), end - start ) : -1;
        // Read in vain: whatever it holds may be data.
        if ( n < end - start )
            return ( end - layout.headerLength + layout.rowLength - 1 ) / layout.rowLength;
        if ( p[0] != '\0' || std::memcmp( p, p + 1, static_cast<size_t>( n - 1 ) ) != 0 )
        {
            while ( p[n - 1] == '\0' )
                --n;
            return ( start + n - 1 - layout.headerLength ) / layout.rowLength + 1;
        }
        end = start;
    }
    return 0;
}

TableScan scanTable( const TableLayout &layout, qint64 rows )
{
    TableScan scan;
    QFile file( layout.path );
    if ( !layout.present() || layout.rowLength <= 0 || !file.open( QIODevice::ReadOnly ) || !file.seek( layout.headerLength ) )
        return scan;
    rows = std::min( rows, layout.rowsInFile );
    const size_t fieldCount = layout.fields.size();
    scan.unreadable.assign( static_cast<size_t>( std::max<qint64>( 0, rows ) ) * fieldCount, false );
    const qint64 rowsPerBlock = std::max<qint64>( 1, kBlock / layout.rowLength );
    for ( qint64 first = 0; first < rows; first += rowsPerBlock )
    {
        const qint64 count = std::min( rowsPerBlock, rows - first );
        const QByteArray block = file.read( count * layout.rowLength );
        for ( qint64 k = 0; k < count && ( k + 1 ) * layout.rowLength <= block.size(); ++k )
        {
            const char *row = block.constData() + k * layout.rowLength;
            scan.rowsChecked = first + k + 1;
            if ( row[0] == '*' )
            {
                scan.deletedRows.push_back( first + k );
                continue;
            }
            for ( size_t f = 0; f < fieldCount; ++f )
            {
                const TableLayout::Field &field = layout.fields[f];
                if ( field.offset + field.width > layout.rowLength )
                    break;
                const Cell cell = cellOf( field, row + field.offset );
                const bool lost = cell == Cell::Unreadable
                                  || ( cell == Cell::Blank ? !layout.consistent || field.width == 0 : !field.readable() );
                if ( lost )
                    scan.unreadable[static_cast<size_t>( first + k ) * fieldCount + f] = true;
            }
        }
    }
    return scan;
}

} // namespace gis::shapefile
