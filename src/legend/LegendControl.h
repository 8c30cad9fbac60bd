#pragma once

#include <QWidget>

#include <memory>

class QCheckBox;

namespace gis
{
class MapWidget;
}

/**
 * Lists the layers of one map (in map order, index 0 first) with their names
 * and symbols: one swatch per class for class-breaks and value-map layers.
 * Each layer row has a check box; toggling it sets the layer's visibility
 * and then raises afterSetLayerVisible(). Can save its picture as a BMP file.
 *
 * Rows refer to their layers weakly: a layer removed from the map leaves a
 * row that does nothing until the next load. The check boxes follow the
 * layers' visibility at every redraw of the bound map. The background is
 * the widget's palette window colour (set by the owner).
 */
class LegendControl : public QWidget
{
    Q_OBJECT

  public:
    explicit LegendControl( QWidget *parent = nullptr );
    ~LegendControl() override;

    //! Binds the legend to \a map; later loads read its layers.
    void setMapSource( gis::MapWidget *map );
    //! Lists the bound map's current layers. \a showAll is accepted for callers and has no effect.
    void loadLegend( bool showAll = true );
    //! Lists nothing until the next load.
    void clear();
    //! Writes the legend's picture as a Windows bitmap file. Throws gis::GisError on failure.
    void saveToBmp( const QString &path );

    int rowCount() const; //!< number of layer rows listed

    // --- what a row shows, for the owner and tests ---
    QString rowName( int row ) const;
    //! Class rows under layer row \a row (classes of class breaks, values of a value map; else 0).
    int classCount( int row ) const;
    //! Text of class row \a cls of layer row \a row.
    QString classText( int row, int cls ) const;
    QCheckBox *checkBox( int row ) const;
    //! The whole list as one picture (what saveToBmp() writes).
    QImage picture() const;

  signals:
    void afterSetLayerVisible( int index );

  private:
    void toggled( int row, bool checked );
    void syncChecks();

    struct Private;
    std::unique_ptr<Private> d;
};
