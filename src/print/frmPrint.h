#pragma once

#include "PrintPage.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;
class LegendControl;
class ScaleBarControl;

namespace gis
{
class Layer;
class MapWidget;
} // namespace gis

/**
 * The print window "Print Map": a preview of the main map with the query
 * results, a heading field, a scale bar for the preview and three legend
 * pictures (reference layers; elevation and land use; wind and solar
 * resource), and the buttons that print the page or close the window.
 *
 * There is one instance, made and loaded on the first call of instance(),
 * a modeless dialog window of its own without an owner (so that assistive
 * technology announces it as a window), dropped when it is closed. The load
 * takes a snapshot of the main map it is given (layers, visibility,
 * extent); nothing follows the main map afterwards, but the printed page
 * draws the main map as it is at the time of printing. Every handler
 * reports a failure through ErrorMessage and returns: no exception leaves
 * it.
 *
 * Controls carry the names the rest of the program uses and are public for
 * the tests; positions are designed in twips.
 */
class frmPrint : public QDialog
{
    Q_OBJECT

  public:
    //! The one instance, created and loaded from \a mainMap on first use; an open window keeps its own map.
    static frmPrint *instance( gis::MapWidget *mainMap );
    //! The instance if it exists, without creating one.
    static frmPrint *existingInstance();

    ~frmPrint() override;

    //! The resource side map has received its one resource layer.
    bool solarAdded = false;

    // --- controls ---
    QLabel *lblHeading = nullptr;
    QWidget *pictHeadingEmbed = nullptr;
    QLineEdit *txtHeading = nullptr;
    gis::MapWidget *Map2 = nullptr; //!< the preview
    QLabel *Label1 = nullptr;
    QPushButton *cmdPrint = nullptr;
    QPushButton *Command2 = nullptr;
    QLabel *pictHeadFromClipboard = nullptr;     //!< hidden; the heading strip's picture as last printed
    QLabel *pictScalebarFromClipboard = nullptr; //!< hidden; stays empty: the page draws its own scale bar
    gis::MapWidget *Map3 = nullptr; //!< hidden side map: reference layers
    gis::MapWidget *Map5 = nullptr; //!< hidden side map: elevation and land use
    gis::MapWidget *Map6 = nullptr; //!< hidden side map: one solar resource layer and the wind layer
    QWidget *pictEmbedScalebar = nullptr;
    ScaleBarControl *sbMapView = nullptr; //!< inside pictEmbedScalebar, whose area shows its lower part
    LegendControl *legend1 = nullptr;
    LegendControl *legend3 = nullptr;
    LegendControl *legend4 = nullptr;
    QLabel *Picture1 = nullptr; //!< left: the reference legend's picture
    QLabel *Picture4 = nullptr; //!< middle: the resource legend's picture
    QLabel *Picture3 = nullptr; //!< right: the elevation and land-use legend's picture

    //! Legend name of the resource side map's solar layer.
    static const QString kResourceCaption;

    /**
     * \a meas twips in pixels of \a theDevice along \a axis (0 across,
     * 1 down), rounded to the nearest whole number, halves to even; -1 for
     * any other axis. A result beyond 16 bits is reported and gives 0.
     */
    static qint16 ConvTwips2Pix( const TwipsPerPixel &theDevice, float meas, int axis );

    //! Where the legend pictures are written: the user's cache directory for the program (made when missing); empty when there is none.
    static QString legendBitmapDirectory();

    /**
     * Scale-bar map units of \a map's first layer: 0 when the name of its
     * coordinate system's unit is "degree", 2 (metres) for any other unit
     * or when the map has no layer; a linear unit other than the metre is
     * measured through its length in metres, so the bar is labelled in km
     * or m. Throws gis::GisError when that layer has no coordinate system.
     */
    static int scaleBarMapUnits( const gis::MapWidget &map );

  public slots:
    void cmdPrint_Click();
    void Command2_Click();
    void Map2_BeforeLayerDraw( int index );

  public:
    //! Puts a further copy of \a mainLayer, the main map's layer of \a fileName, into its side map.
    void addLayersToOtherMaps( const QString &fileName, const gis::Layer &mainLayer );
    //! Sets up the scale bar for the preview's extent and place.
    void setupScalebar();

  protected:
    //! Leaves the window where the system places new windows; a dialog would centre itself on the screen.
    void showEvent( QShowEvent *event ) override;
    //! Escape does nothing, as before the window was a dialog: only Cancel and the close box close it.
    void keyPressEvent( QKeyEvent *event ) override;

  private:
    explicit frmPrint( gis::MapWidget *mainMap );

    void createControls();
    void Form_Load();
    //! Writes the three legends' pictures and shows them in the picture boxes.
    void showLegendPictures();
    //! The page as it stands: the main map, the heading's picture made now, the scale bar, the legend pictures.
    PageContent pageContent();

    //! The main window's map: the snapshot's source and what the page prints.
    QPointer<gis::MapWidget> mMainMap;

    static QPointer<frmPrint> sInstance;
};
