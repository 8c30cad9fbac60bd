#include "md_query_save.h"

#include "md_query_functions2.h"

#include "common/Constants.h"
#include "common/Dialogs.h"
#include "common/ErrorMessage.h"
#include "gis/DataConnection.h"
#include "gis/GisError.h"
#include "gis/Layer.h"
#include "gis/ShapefileSet.h"
#include "gis/TableDesc.h"

#include <QFileInfo>

#include <exception>

namespace md_query_functions2
{

namespace
{
const QString kSaveTitle = QStringLiteral( "Save Layer" );
const QString kShapefileFilter = QStringLiteral( "ESRI Shapefiles (*.shp)|*.shp" );
const QString kShapefileExt = QStringLiteral( ".shp" );

bool userWantsToSave( QWidget *parent, qint64 n )
{
    if ( n <= SaveWarnFeatureCount )
        return true;
    return Dialogs::instance().question( parent,
                                         QStringLiteral( "It may take few minutes to save " ) + QString::number( n )
                                             + QStringLiteral( " features. Do you want to continue? " ),
                                         kAppTitle, Dialogs::Icon::None );
}

//! The coordinate system of the data the results came from, if known.
std::optional<gis::CoordinateSystem> resultCoordinateSystem()
{
    const gis::LayerPtr &source = cResults.run().classLayer;
    return source ? source->coordinateSystem() : std::nullopt;
}
} // namespace

void SaveTrackingLayer( QWidget *parent )
{
    try
    {
        if ( !cResults.exists() || cResults.count() == 0 )
            return;
        const qint64 n = cResults.count();
        if ( !userWantsToSave( parent, n ) )
            return;

        Dialogs::FileRequest request { kSaveTitle, kShapefileFilter, kShapefileExt, md_functions::sDataPath };
        request.overwritePrompt = true;
        const QString chosen = Dialogs::instance().saveFile( parent, request );
        if ( chosen.isEmpty() )
            return;

        // A name typed with another extension keeps it as part of the name (results.txt gives results.txt.shp):
        // cutting it off would write a file set the dialog never asked about, and could replace one unasked.
        QFileInfo file( chosen );
        const bool shapefileChosen = file.suffix().compare( kShapefileExt.mid( 1 ), Qt::CaseInsensitive ) == 0;
        if ( !shapefileChosen )
            file = QFileInfo( chosen + kShapefileExt );
        const QString name = file.completeBaseName();
        // The dialog asked only about the file chosen. The set written replaces the one of that name in any
        // letter case (OLD.shp replaces OLD.SHP, which readers would take for its parts), so another such set
        // is asked about here.
        if ( !name.isEmpty() && !( shapefileChosen && file.exists() ) )
        {
            const QString base = file.absolutePath() + QLatin1Char( '/' ) + name;
            for ( const QString &ext : gis::shapefileset::existingExtensions( base ) )
            {
                if ( ext.compare( kShapefileExt, Qt::CaseInsensitive ) != 0 )
                    continue;
                if ( !Dialogs::instance().question( parent,
                                                    name + ext
                                                        + QStringLiteral( " already exists.\nDo you want to replace it?" ),
                                                    kSaveTitle, Dialogs::Icon::Exclamation ) )
                    return;
                break;
            }
        }
        gis::DataConnection connection;
        connection.setDatabase( file.absolutePath() );
        if ( !connection.connect() )
            throw gis::GisError( "cannot open the directory " + file.absolutePath().toStdString() );

        gis::TableDesc desc;
        desc.setFieldCount( 1 );
        const QString &valueField = Constants::sValueField;
        if ( valueField.isEmpty() )
            throw gis::GisError( "the results name no value field" );
        desc.field( 0 ) = { valueField, gis::FieldDouble, 15, 1 };

        const std::shared_ptr<gis::Dataset> dataset
            = name.isEmpty() ? nullptr : connection.addGeoDataset( file.fileName(), desc, resultCoordinateSystem() );
        if ( !dataset )
            throw gis::GisError( "cannot create " + chosen.toStdString() );

        for ( qint64 i = 0; i < n; ++i )
            dataset->addRecord( cResults.shape( i ), { cResults.value( i ) } );
        dataset->stopEditing();
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.SaveTrackingLayer()" ), 48 );
    }
}

} // namespace md_query_functions2
