#include "md_query_save.h"

#include "md_query_functions2.h"

#include "common/Constants.h"
#include "common/Dialogs.h"
#include "common/ErrorMessage.h"
#include "gis/DataConnection.h"
#include "gis/GisError.h"
#include "gis/Layer.h"
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
        if ( file.suffix().compare( kShapefileExt.mid( 1 ), Qt::CaseInsensitive ) != 0 )
        {
            file = QFileInfo( chosen + kShapefileExt );
            if ( file.exists()
                 && !Dialogs::instance().question( parent,
                                                   file.fileName()
                                                       + QStringLiteral( " already exists.\nDo you want to replace it?" ),
                                                   kSaveTitle, Dialogs::Icon::Exclamation ) )
                return;
        }
        gis::DataConnection connection;
        connection.setDatabase( file.absolutePath() );
        if ( !connection.connect() )
            throw gis::GisError( "cannot open the directory " + file.absolutePath().toStdString() );

        const QString name = file.completeBaseName();
        gis::TableDesc desc;
        desc.setFieldCount( 1 );
        const QString &valueField = Constants::sValueField;
        if ( valueField.isEmpty() )
            throw gis::GisError( "the results name no value field" );
        desc.field( 0 ) = { valueField, gis::FieldDouble, 15, 1 };

        const std::shared_ptr<gis::Dataset> dataset
            = name.isEmpty() ? nullptr : connection.addGeoDataset( name + kShapefileExt, desc, resultCoordinateSystem() );
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
