#include "md_query_list.h"

#include "QueryNames.h"

#include "common/ErrorMessage.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>

#include <exception>

namespace
{
const QStringList kQueryNames {
    querynames::kNoQuery,     querynames::kWindByPowerDensity, querynames::kWindMinusProtected,
    querynames::kWindLandUse, querynames::kWindRoads,          querynames::kWindTransmission,
    querynames::kWindAll,     querynames::kSolar,
};
} // namespace

void FillcboSelectQuery( QComboBox *list )
{
    try
    {
        {
            // Qt selects the first item it adds to an empty list, silently here,
            // so that the selection below is a change and raises the event.
            const QSignalBlocker blocker( list );
            list->clear();
            list->addItems( kQueryNames );
            list->setCurrentIndex( -1 );
        }
        list->setCurrentIndex( 0 );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while filling select query. Error Source:md_functions.FillcboSelectQuery()" ), 48 );
    }
}
