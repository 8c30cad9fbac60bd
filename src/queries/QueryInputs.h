#pragma once

#include "gis/Layer.h"
#include "gis/Rect.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace gis
{
class MapWidget;
}

/**
 * Everything a query reads, frozen when "Update Map" starts the run: the
 * panel's texts and choices as they were, and shared references to the main
 * map's layers. A data directory opened while the query yields replaces the
 * map's layers but not these, so the query keeps working on the data it
 * started with. Hiding a reference layer through these references hides it
 * on the main map, which still shows the same layer objects.
 */
struct QueryInputs
{
    QString queryName;      //!< text of the query list
    QString minText;        //!< minimum box
    QString maxText;        //!< maximum box ("Max" for the wind queries' top)
    QString solarResource;  //!< text of the solar-resource list
    QString distance1Text;  //!< distance to transmission lines ("Best wind (all)")
    QString distance2Text;  //!< distance to roads or transmission lines
    QStringList selectedLandUses; //!< selected land uses, in list order
    int landUseItemCount = 0;     //!< items of the land-use list, selected or not
    bool removeProtectedAreas = true;

    gis::Rect fullExtent;                 //!< the main map's full extent at the start
    std::vector<gis::LayerPtr> mapLayers; //!< the main map's layers, index 0 first

    //! Takes the main map's layers, the layer index entries and the full extent.
    void captureMap( const gis::MapWidget &map );
    //! Adds a layer reference under a standard file name (what captureMap does for each index entry).
    void addIndexedLayer( const QString &fileName, gis::LayerPtr layer );

    //! The layer the layer index held for \a fileName (any letter case); throws gis::GisError when there is none.
    gis::LayerPtr layer( const QString &fileName ) const;
    bool hasLayer( const QString &fileName ) const;
    //! The first layer whose legend name is \a name exactly, or nullptr.
    gis::LayerPtr layerByName( const QString &name ) const;

  private:
    gis::LayerPtr findIndexedLayer( const QString &fileName ) const;

    std::vector<std::pair<QString, gis::LayerPtr>> mIndexedLayers;
};
