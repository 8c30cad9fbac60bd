#pragma once

#include "Dataset.h"
#include "Recordset.h"
#include "Renderer.h"
#include "Symbol.h"

#include <QString>

#include <memory>

namespace gis
{

/**
 * A map layer: a shared dataset plus how it is shown. New layers are
 * visible, draw with a default symbol and have no renderer.
 */
class Layer
{
  public:
    explicit Layer( std::shared_ptr<Dataset> ds = nullptr );

    void setGeoDataset( std::shared_ptr<Dataset> ds );
    const std::shared_ptr<Dataset> &geoDataset() const { return mDs; }

    QString name;      //!< legend text
    QString tag;       //!< caller's identity of the layer (the file name)
    QString textProperty; //!< a further free text of the layer
    bool visible = true;
    Symbol symbol;     //!< the layer's own symbol
    std::shared_ptr<Renderer> renderer;

    ShapeKind shapeType() const;
    Rect extent() const;
    const std::optional<CoordinateSystem> &coordinateSystem() const;

    //! All records. Throws GisError when the layer has no dataset.
    Recordset records() const;
    //! Records satisfying an OGR SQL WHERE clause (see Dataset::search).
    Recordset searchExpression( const QString &where ) const;
    //! Records at \a p within \a distance (see Dataset::searchByDistance).
    Recordset searchByDistance( const Point &p, double distance ) const;

    //! A copy sharing the dataset (renderer deep-copied), for another map.
    std::shared_ptr<Layer> clone() const;

  private:
    std::shared_ptr<Dataset> mDs;
};

using LayerPtr = std::shared_ptr<Layer>;

} // namespace gis
