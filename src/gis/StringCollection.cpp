#include "StringCollection.h"

namespace gis
{

bool StringCollection::add( const QString &s )
{
    if ( !mSeen.insert( s ).second )
        return false;
    mItems.append( s );
    return true;
}

} // namespace gis
