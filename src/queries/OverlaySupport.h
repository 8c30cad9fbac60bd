#pragma once

#include "QueryCallbacks.h"
#include "QueryInputs.h"
#include "md_query_functions2.h"

#include "gis/Recordset.h"
#include "gis/TiledArea.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

/**
 * What the overlay queries share: the standard files and texts they use,
 * the selected wind polygons with their spatial look-up, the pieces the
 * overlays compute ahead on worker threads and add in order, and the
 * lattice on which zones and protected areas are cut.
 */
namespace md_query_functions2
{
inline const QString kWindFile = QStringLiteral( "20_wind.shp" );
inline const QString kWindField = QStringLiteral( "WINDPWRD" );
inline const QString kLandUseFile = QStringLiteral( "02_landuse.shp" );
inline const QString kProtectedFile = QStringLiteral( "31_protectedarea.shp" );
inline const QString kRoadsFile = QStringLiteral( "43_roads.shp" );
inline const QString kTransmissionFile = QStringLiteral( "44_transmissionline.shp" );
inline const QString kSubCountryFile = QStringLiteral( "37_subcountrybnd2.shp" );
inline const QString kRailroadFile = QStringLiteral( "42_railroad.shp" );
//! Selects every record of a standard layer.
inline const QString kAllFeatures = QStringLiteral( "FeatureID > -1" );
inline const QString kOverlaying = QStringLiteral( "Overlaying..." );
inline const QString kQueryFailed = QStringLiteral( "Error generated in while performing the query" );

//! The reference layers hidden before a wind query, in the order they are hidden.
inline const QStringList kWindReferenceLayers { kSubCountryFile, kRailroadFile, kRoadsFile, kTransmissionFile };

/**
 * The wind records an overlay works on: the records of 20_wind.shp that a
 * selection expression picks, in record order, with a look-up of those whose
 * envelope meets a rectangle. Read-only once searched, so worker threads may
 * use it.
 */
class WindSelection
{
  public:
    WindSelection() = default;
    //! Searches the wind layer of \a inputs with \a expression. Throws GisError (no layer, failing search, no WINDPWRD).
    static WindSelection search( const QueryInputs &inputs, const QString &expression );

    const gis::Recordset &records() const { return mRecords; }
    //! The selected records, in record order.
    const std::vector<qint64> &recordIndices() const { return mRecords.records(); }
    //! The "FeatureID" count of the selection: the denominator of the captions.
    qint64 featureCount() const { return mFeatureCount; }

    const gis::Geometry &shape( qint64 record ) const { return mDataset->shape( record ); }
    //! The record's own shape, shared with the dataset (no copy).
    std::shared_ptr<const gis::Geometry> sharedShape( qint64 record ) const;
    const QVariant &value( qint64 record ) const { return mDataset->value( record, mValueField ); }

    //! Selected polygon records whose envelope meets \a r, in record order.
    std::vector<qint64> meeting( const gis::Rect &r ) const;
    //! By dataset record: whether its envelope meets one of \a envelopes.
    std::vector<bool> near( const std::vector<gis::Rect> &envelopes ) const;

  private:
    std::shared_ptr<const gis::Dataset> mDataset;
    gis::Recordset mRecords;
    qint64 mFeatureCount = 0;
    int mValueField = -1;
    std::vector<bool> mSelected; //!< by dataset record
};

/**
 * The start every wind overlay shares: the caption "Overlaying...", then
 * \a before (another search of the overlay, when given), then the wind
 * selection of the chosen range, and WINDPWRD as the value field. A failure
 * is reported with the overlay's text "Error generated in while performing
 * the query" (a wind range the builder refuses, by the builder); then the
 * overlay must not go on (false).
 */
bool StartWindOverlay( const QueryInputs &inputs, const QueryCallbacks &callbacks, WindSelection &wind,
                       const std::function<void()> &before = {} );

//! Hides the reference layers \a files that are loaded, then redraws the map and the window.
void HideAndRedraw( const QueryInputs &inputs, const QueryCallbacks &callbacks, const QStringList &files );

//! A result an overlay found for one wind record: its polygon whole, or a part computed from it.
struct WindPiece
{
    qint64 record = -1;
    gis::Geometry part;
    bool whole = false;
};

//! Adds \a piece to the result model with its wind record's WINDPWRD value (the adding steps of the record loop).
void AddWindPiece( const WindSelection &wind, WindPiece &piece );

//! Which part of a wind polygon an overlay keeps.
enum class Keep
{
    Inside,  //!< the part inside the area
    Outside, //!< the part outside it
};

/**
 * The walk of the overlays that give at most one result per wind polygon:
 * each selected polygon's part inside or outside \a area is computed on the
 * worker threads (a wind record that is not a polygon, or a failing
 * overlay, gives none), and the record loop of \a stage adds the parts in
 * record order, with its yields, stop test and captions. Returns false when
 * stopped.
 */
bool AddWindPiecesInOrder( const WindSelection &wind, const gis::TiledArea &area, Keep keep,
                           const RecordLoopStage &stage, const QueryCallbacks &callbacks );

/**
 * Side of the lattice squares on which the overlays cut zones and protected
 * areas: eight wind polygons wide, so that a wind polygon meets one square
 * or two and each square holds a small part of a zone.
 */
double OverlayTileSize( const QueryInputs &inputs );

//! The union of the polygon records of \a records, cut at the lattice of \a tileSize (all cores), keeping the records' shapes for subtract().
gis::TiledArea UnionOfPolygons( const gis::Recordset &records, double tileSize );

/**
 * \a polygon made ready for many tests on one thread: a small polygon is
 * kept whole, a large one is cut at the lattice of \a tileSize, so that a
 * small geometry meets only a small part of it.
 */
gis::TiledArea LocalArea( const gis::Geometry &polygon, double tileSize );

//! A message box with only an OK button and the application's title.
void ShowMessage( const QString &text );
} // namespace md_query_functions2
