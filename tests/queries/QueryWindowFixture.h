#pragma once

#include "QueryFixture.h"
#include "QuerySideWidgets.h"

#include "queries/md_query_list.h"

#include <QCoreApplication>
#include <QSignalBlocker>

/**
 * The query side of a main window over the fixture's map: the query list
 * filled as the program fills it, with nothing chosen yet. Counts the calls
 * of UpdateInterface and records the menus' enabled state.
 */
class QueryWindowFixture : public QueryFixture, public QuerySideWidgets
{
  public:
    QueryWindowFixture()
    {
        window.resize( 900, 700 );
        map.resize( 400, 300 );
        createController( &map, [this]() { ++updateInterfaceCalls; },
                          [this]( bool enabled ) { menusEnabled = enabled; } );

        const QSignalBlocker blocker( cboSelectQuery );
        FillcboSelectQuery( cboSelectQuery );
        cboSelectQuery->setCurrentIndex( -1 );
    }

    //! Selects \a name by code, which runs the list's handler.
    void choose( const QString &name )
    {
        cboSelectQuery->setCurrentIndex( cboSelectQuery->findText( name ) );
        QCoreApplication::processEvents();
    }

    /**
     * Every layer the queries of the list need: transmission lines, roads, a
     * protected area, land uses repeating a class, the 40 km concentrator
     * solar layer and wind polygons with \a windValues.
     */
    void addQueryLayers( const std::vector<QVariant> &windValues )
    {
        addLines( QStringLiteral( "44_transmissionline.shp" ) );
        addLines( QStringLiteral( "43_roads.shp" ) );
        addLayer( QStringLiteral( "31_protectedarea.shp" ), { square( 0, 0, 500 ) },
                  { { QStringLiteral( "FeatureID" ), testsupport::FieldSpec::Integer } }, { { 0 } } );
        addLayer( QStringLiteral( "02_landuse.shp" ),
                  { square( 0, 0, 10 ), square( 10, 0, 10 ), square( 20, 0, 10 ), square( 30, 0, 10 ) },
                  { { QStringLiteral( "FeatureID" ), testsupport::FieldSpec::Integer },
                    { QStringLiteral( "LAND_USE" ), testsupport::FieldSpec::String, 40 } },
                  { { 0, QStringLiteral( "GRASSLAND" ) },
                    { 1, QStringLiteral( "CROPLAND" ) },
                    { 2, QStringLiteral( "GRASSLAND" ) },
                    { 3, QStringLiteral( "BARREN OR SPARSELY VEGITATED" ) } } );
        addSolar( QStringLiteral( "11_solar_direct.shp" ), QStringLiteral( "ANNDIR" ), { 5.0 } );
        addWind( windValues );
    }

    int updateInterfaceCalls = 0;
    bool menusEnabled = true;
    testsupport::RecordingDialogs dialogs;
};
