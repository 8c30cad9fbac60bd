#pragma once

#include "TestSupport.h"

#include "gis/Layer.h"
#include "gis/Renderer.h"

#include <QTemporaryDir>

#include <memory>

namespace testsupport
{

/**
 * Writes small shapefiles into a temporary directory and opens each as a
 * named map layer (UTM coordinates, a numeric field V and a text field T).
 */
class LayerFixture
{
  public:
    /**
     * A layer of one feature per WKT; V holds \a values (0 where none is
     * given), T holds \a texts (empty where none is given).
     */
    gis::LayerPtr layer( const QStringList &wkts, const QString &name, const std::vector<double> &values = {},
                         const QStringList &texts = {} );

    QString filePath( const QString &file ) const { return mDir.filePath( file ); }

  private:
    QTemporaryDir mDir;
    int mFile = 0;
};

//! Wind power density classes on \a field: breaks 200, 300, 400, 500, 600, 800 (seven classes).
std::shared_ptr<gis::ClassBreaksRenderer> windDensityBreaks( const QString &field );

} // namespace testsupport
