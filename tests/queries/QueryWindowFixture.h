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

    int updateInterfaceCalls = 0;
    bool menusEnabled = true;
    testsupport::RecordingDialogs dialogs;
};
