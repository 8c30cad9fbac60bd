#include "ResultFixture.h"

#include "gis/Geometry.h"
#include "gis/Symbol.h"
#include "queries/md_query_functions2.h"

namespace testsupport
{

void setMagentaResult( const QString &wkt )
{
    using md_query_functions2::cResults;
    cResults.start( QStringLiteral( "Wind by Power Density" ), QString() );
    if ( wkt.isEmpty() )
        return;
    gis::Symbol magenta;
    magenta.color = gis::rgb( 255, 0, 255 );
    magenta.outline = false;
    cResults.add( std::make_shared<gis::Geometry>( gis::Geometry::fromWkt( wkt.toStdString() ) ), magenta, 500 );
}

} // namespace testsupport
