#include "ResultModel.h"

void ResultModel::start( const QString &queryName, const QString &solarResource )
{
    mRecords.clear();
    mRun = Run();
    mRun.queryName = queryName;
    mRun.solarResource = solarResource;
    mExists = true;
}

void ResultModel::reset()
{
    mRecords.clear();
    mRun = Run();
    mExists = false;
}

bool ResultModel::add( std::shared_ptr<const gis::Geometry> shape, gis::Symbol symbol, const QVariant &value )
{
    if ( !shape || shape->isNull() )
        return false;
    mRecords.push_back( Record { std::move( shape ), std::move( symbol ), value } );
    return true;
}
