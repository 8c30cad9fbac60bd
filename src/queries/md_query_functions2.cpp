#include "md_query_functions2.h"

#include "CombinedWindQuery.h"
#include "LandUseOverlay.h"
#include "LineBufferOverlay.h"
#include "OverlaySupport.h"
#include "ProtectedAreaOverlay.h"
#include "QueryChecks.h"
#include "QueryNames.h"
#include "QueryNumbers.h"

#include "common/Constants.h"
#include "common/ErrorMessage.h"
#include "gis/GisError.h"
#include "workspace/ClassTables.h"
#include "workspace/md_functions.h"


namespace md_query_functions2
{

ResultModel cResults;
float fRoadBufferKm = 0;
float fLineBufferKm = 0;
QString sSolarLayerFile;
QString sSolarField;

namespace
{

const QString kCalculating = QStringLiteral( "Calculating..." );

double toBound( const QString &text )
{
    const std::optional<double> v = querynumbers::toNumber( text );
    if ( !v )
        throw gis::GisError( "not a number: " + text.toStdString() );
    return *v;
}

float toSingleBound( const QString &text )
{
    const std::optional<float> v = querynumbers::toSingle( toBound( text ) );
    if ( !v )
        throw gis::GisError( "number out of range: " + text.toStdString() );
    return *v;
}

/**
 * The range queries' use of the common record loop: every polygon record
 * that the expression selects becomes one result, unchanged.
 */
void RunRangeLoop( const QueryInputs &inputs, const QueryCallbacks &callbacks, const QString &layerFile,
                   const QString &expression, const QString &valueField )
{
    const gis::LayerPtr layer = inputs.layer( layerFile );
    gis::Recordset records = layer->searchExpression( expression );
    const qint64 total = FeatureCount( records );

    const auto &dataset = records.dataset();
    const int field = dataset ? dataset->fieldIndex( valueField ) : -1;
    if ( field < 0 )
        throw gis::GisError( "no field " + valueField.toStdString() );
    SetValueField( valueField );
    cResults.reserve( records.count() );

    RunRecordLoop( records, total, RecordLoopStage { kCalculating, 50, 0 }, callbacks,
                   [&]( const gis::Recordset &record ) {
                       if ( record.shape().isPolygonal() )
                           AddResult( SharedShape( record ), valueField, record.value( field ) );
                   } );
}

} // namespace

void fill_cShapes_collection( const QueryInputs &inputs, const QueryCallbacks &callbacks )
{
    using namespace querynames;
    cResults.start( inputs.queryName, inputs.solarResource );
    Constants::bQueryRunning = true;
    struct RunningGuard
    {
        ~RunningGuard() { Constants::bQueryRunning = false; }
    } guard;

    try
    {
        const QString &name = inputs.queryName;
        // The layer whose class breaks describe the result colours in the results table.
        if ( isWindQuery( name ) && inputs.hasLayer( kWindFile ) )
            cResults.run().classLayer = inputs.layer( kWindFile );
        else if ( name == kSolar )
            cResults.run().classLayer = inputs.layerByName( inputs.solarResource );

        if ( name == kWindByPowerDensity )
        {
            wind_class_x_or_better( inputs, callbacks );
        }
        else if ( name == kWindMinusProtected )
        {
            wind_minus_protected_areas( inputs, callbacks );
        }
        else if ( name == kWindLandUse )
        {
            wind_with_land_use( inputs, callbacks );
        }
        else if ( name == kWindRoads )
        {
            fRoadBufferKm = toSingleBound( inputs.distance2Text );
            wind_with_roads( inputs, callbacks );
        }
        else if ( name == kWindTransmission )
        {
            fLineBufferKm = toSingleBound( inputs.distance2Text );
            wind_with_transmission( inputs, callbacks );
        }
        else if ( name == kWindAll )
        {
            fLineBufferKm = toSingleBound( inputs.distance1Text );
            fRoadBufferKm = toSingleBound( inputs.distance2Text );
            wind_all( inputs, callbacks );
        }
        else if ( name == kSolar )
        {
            GetSolarLayerChosen( inputs );
            solar_x_kwhm2_or_better( inputs, callbacks );
        }
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.fill_cShapes_collection()" ), 48 );
    }
}

void GetSolarLayerChosen( const QueryInputs &inputs )
{
    try
    {
        for ( const SolarResourceName &solar : SolarResourceNames )
        {
            if ( inputs.solarResource == solar.legendName && !solar.files.isEmpty() )
            {
                sSolarLayerFile = solar.files.constFirst();
                sSolarField = solar.field;
                return;
            }
        }
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.GetSolarLayerChosen()" ), 48 );
    }
}

bool QueryResults()
{
    if ( !cResults.exists() || Constants::bCancelQuery )
        return false;
    return cResults.count() >= 1;
}

void HideReferenceLayers( const QueryInputs &inputs, const QStringList &files )
{
    for ( const QString &file : files )
    {
        QString message;
        if ( isLayerExist( inputs.mapLayers, file, message ) && inputs.hasLayer( file ) )
            inputs.layer( file )->visible = false;
    }
}

void wind_class_x_or_better( const QueryInputs &inputs, const QueryCallbacks &callbacks )
{
    try
    {
        HideReferenceLayers( inputs, kWindReferenceLayers );
        callbacks.setCaption( kCalculating );
        callbacks.repaint( true );
        const QString expression = CreateWindSelectExpression( inputs );
        if ( expression.isEmpty() )
            return;
        RunRangeLoop( inputs, callbacks, kWindFile, expression, kWindField );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.wind_class_x_or_better()" ), 48 );
    }
}

void solar_x_kwhm2_or_better( const QueryInputs &inputs, const QueryCallbacks &callbacks )
{
    try
    {
        HideReferenceLayers( inputs, kWindReferenceLayers );
        callbacks.setCaption( kCalculating );
        callbacks.repaint( true );
        const QString expression = CreateSolarSelectExpression( inputs );
        if ( expression.isEmpty() )
            return;
        RunRangeLoop( inputs, callbacks, sSolarLayerFile, expression, sSolarField );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.solar_x_kwhm2_or_better() " ), 48 );
    }
}

QString CreateWindSelectExpression( const QueryInputs &inputs )
{
    try
    {
        const QString maxText = inputs.maxText.trimmed();
        const double hi = maxText == QLatin1String( "Max" ) ? 10000.0 : toBound( maxText );
        const double lo = toBound( inputs.minText );
        return kWindField + QStringLiteral( " >= " ) + querynumbers::numberText( lo ) + QStringLiteral( " AND " )
               + kWindField + QStringLiteral( " <= " ) + querynumbers::numberText( hi );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.CreateWindSelectExpression()" ), 48 );
        return {};
    }
}

QString CreateSolarSelectExpression( const QueryInputs &inputs )
{
    try
    {
        if ( sSolarField.isEmpty() )
            throw gis::GisError( "no solar field chosen" );
        const float lo = toSingleBound( inputs.minText );
        const float hi = toSingleBound( inputs.maxText );
        return sSolarField + QStringLiteral( " >= " ) + querynumbers::singleText( lo ) + QStringLiteral( " AND " )
               + sSolarField + QStringLiteral( " <= " ) + querynumbers::singleText( hi );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.CreateSolarSelectExpression()" ), 48 );
        return {};
    }
}

namespace
{
/**
 * The common loop over a sequence: \a atEnd, \a handle and \a next walk
 * it. See RunRecordLoop for what the loop reports and when it yields.
 */
template <class AtEnd, class Handle, class Next>
bool RunLoop( qint64 total, const RecordLoopStage &stage, const QueryCallbacks &callbacks, AtEnd atEnd, Handle handle,
              Next next )
{
    const qint64 interval = stage.yieldInterval > 0 ? stage.yieldInterval : 1;
    const QString prefix = stage.stageWord + QLatin1Char( ' ' );
    const QString suffix = QStringLiteral( " finished" );

    // Consecutive records mostly share their caption: the text is built only when the tenths change.
    qint64 captionTenths = -1;
    QString caption;
    qint64 counter = stage.firstCount;
    while ( !atEnd() )
    {
        // The yield comes before the stop test, so a Cancel click delivered by it stops at once.
        if ( counter % interval == 0 && callbacks.yieldAndCancelled() )
            return false;
        handle();
        const qint64 tenths = querynumbers::percentTenths( counter, total );
        if ( tenths != captionTenths || caption.isEmpty() )
        {
            captionTenths = tenths;
            caption = prefix + querynumbers::percentText( counter, total ) + suffix;
        }
        callbacks.setCaption( caption );
        callbacks.repaint( false );
        ++counter;
        next();
    }
    if ( stage.finishedCaption )
    {
        callbacks.setCaption( stage.stageWord + suffix );
        callbacks.repaint( true );
    }
    return true;
}
} // namespace

bool RunRecordLoop( gis::Recordset &records, qint64 total, const RecordLoopStage &stage,
                    const QueryCallbacks &callbacks, const std::function<void( const gis::Recordset & )> &handleRecord )
{
    return RunLoop(
        total > 0 ? total : records.count(), stage, callbacks, [&] { return records.eof(); },
        [&] { handleRecord( records ); }, [&] { records.moveNext(); } );
}

bool RunItemLoop( qint64 count, qint64 total, const RecordLoopStage &stage, const QueryCallbacks &callbacks,
                  const std::function<void( qint64 )> &handleItem )
{
    qint64 item = 0;
    return RunLoop(
        total > 0 ? total : count, stage, callbacks, [&] { return item >= count; }, [&] { handleItem( item ); },
        [&] { ++item; } );
}

qint64 FeatureCount( const gis::Recordset &records )
{
    // The statistics' count: the records whose FeatureID is not null.
    qint64 count = 0;
    const auto &dataset = records.dataset();
    const int field = dataset ? dataset->fieldIndex( QStringLiteral( "FeatureID" ) ) : -1;
    if ( field >= 0 )
    {
        for ( qint64 r : records.records() )
            count += dataset->value( r, field ).isNull() ? 0 : 1;
    }
    return count > 0 ? count : records.count();
}

void SetValueField( const QString &field )
{
    cResults.run().valueField = field;
    Constants::sValueField = field;
}

bool AddResult( std::shared_ptr<const gis::Geometry> shape, const QString &valueField, const QVariant &value )
{
    // The value is read before anything is added, so an unreadable value leaves no half-added record.
    bool ok = false;
    const double number = value.isNull() ? 0.0 : value.toDouble( &ok );
    if ( !ok || !shape || shape->isNull() )
        return false;
    // Copied from one prototype: building a symbol's font afresh for every record costs more than the record.
    static const gis::Symbol prototype = [] {
        gis::Symbol s;
        s.outline = false;
        return s;
    }();
    gis::Symbol symbol = prototype;
    md_functions::SetSymbolColorByValue( valueField, number, &symbol );
    return cResults.add( std::move( shape ), std::move( symbol ), value );
}

std::shared_ptr<const gis::Geometry> SharedShape( const gis::Recordset &records )
{
    // Aliasing: the pointer keeps the dataset alive and points at its own copy of the shape.
    return std::shared_ptr<const gis::Geometry>( records.dataset(), &records.shape() );
}

} // namespace md_query_functions2
