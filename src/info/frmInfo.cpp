#include "frmInfo.h"

#include "common/ErrorMessage.h"
#include "common/Twips.h"
#include "gis/MapWidget.h"
#include "queries/QueryNumbers.h"
#include "workspace/ClassTables.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include <exception>

QPointer<frmInfo> frmInfo::sInstance;

namespace
{
const QString kLineBreak = QStringLiteral( "\r\n" );
const QString kNationalBoundary = QStringLiteral( "39_countryboundary.shp" );

//! A field value as text: numbers in plain decimal form; a Null is empty text.
QString valueText( const QVariant &value )
{
    if ( value.isNull() )
        return {};
    if ( value.typeId() == QMetaType::Double )
        return querynumbers::numberText( value.toDouble() );
    return value.toString();
}
} // namespace

frmInfo *frmInfo::instance( QWidget *owner, gis::MapWidget *map, PressPoint pressPoint )
{
    if ( !sInstance )
        sInstance = new frmInfo( owner );
    sInstance->mMap = map;
    sInstance->mPressPoint = std::move( pressPoint );
    return sInstance;
}

frmInfo::frmInfo( QWidget *owner )
    : QDialog( owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint )
{
    setObjectName( QStringLiteral( "frmInfo" ) );
    setWindowTitle( QStringLiteral( "Map Information" ) );
    setModal( false );
    setGeometry( twips::toPxX( 2760, this ), twips::toPxY( 3750, this ), twips::toPxX( 6960, this ),
                 twips::toPxY( 8865, this ) );
    setFixedSize( size() );

    OKButton = new QPushButton( QStringLiteral( "OK" ), this );
    OKButton->setObjectName( QStringLiteral( "OKButton" ) );
    twips::place( OKButton, 5700, 60, 1215, 375 );

    txtInfo = new QPlainTextEdit( QStringLiteral( "Information from all layers" ), this );
    txtInfo->setObjectName( QStringLiteral( "txtInfo" ) );
    txtInfo->setLineWrapMode( QPlainTextEdit::NoWrap );
    txtInfo->setHorizontalScrollBarPolicy( Qt::ScrollBarAlwaysOn );
    txtInfo->setVerticalScrollBarPolicy( Qt::ScrollBarAlwaysOn );
    twips::place( txtInfo, 90, 540, 6825, 8265 );

    connect( OKButton, &QPushButton::clicked, this, &frmInfo::OKButton_Click );
}

bool frmInfo::event( QEvent *e )
{
    if ( e->type() == QEvent::WindowActivate )
        mActivation.activated( [this] { Form_Activate(); } );
    return QDialog::event( e );
}

void frmInfo::Form_Activate()
{
    mActivation.run( *this, [this] {
        try
        {
            // Built whole before it is shown: a failure leaves the previous text.
            txtInfo->setPlainText( featureText() );
        }
        catch ( const std::exception & )
        {
            ErrorMessage( QStringLiteral( " Error while Trying to activate Info Form. Error Source:frmInfo.Form_Activate()" ),
                          48 );
        }
        return false; // whether a box was shown is not known here; the lost activation tells
    } );
}

QString frmInfo::featureText()
{
    QString text;
    if ( !mMap || !mPressPoint )
        return text;
    const QPoint press = mPressPoint();
    const gis::Point point = mMap->toMapPoint( static_cast<float>( press.x() ), static_cast<float>( press.y() ) );
    const float tolerance = static_cast<float>( mMap->extent().width() / 300 );

    for ( int i = 0; i < mMap->layerCount(); ++i )
    {
        const gis::LayerPtr &layerPtr = mMap->layer( i );
        if ( !layerPtr )
            continue;
        const gis::Layer &layer = *layerPtr;
        if ( !layer.visible || layer.tag.toUpper() == kNationalBoundary.toUpper() )
            continue;
        const double distance = layer.shapeType() == gis::ShapePolygon ? 0.0 : static_cast<double>( tolerance );
        gis::Recordset records = layer.searchByDistance( point, distance );
        if ( records.eof() )
            continue;

        sortFlag = false;
        text += layer.name + kLineBreak;
        while ( !records.eof() )
        {
            recordValues.clear();
            for ( int f = 0; f < records.fieldCount(); ++f )
            {
                const QString name = records.fieldName( f );
                if ( name.toLower() == QLatin1String( "shape" ) )
                    continue;
                if ( !isShowValue( layer.tag, name.toUpper() ) )
                    continue;
                const QString value = valueText( records.value( f ) );
                if ( sortFlag )
                {
                    if ( !recordValues.contains( name.toUpper() ) )
                        recordValues.insert( name.toUpper(), value.toUpper() );
                }
                else
                {
                    text += name + QStringLiteral( ": " ) + value + kLineBreak;
                }
            }
            if ( sortFlag )
                text += sortBasedOnFieldNames( layer.tag );
            text += kLineBreak;
            records.moveNext();
        }
        text += kLineBreak;
    }
    return text;
}

void frmInfo::OKButton_Click()
{
    try
    {
        txtInfo->setPlainText( QString() );
        hide();
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while Cancelling Info Form. Error Source:frmInfo.OKButton_Click()" ), 48 );
    }
}

bool frmInfo::isShowValue( const QString &fileName, const QString &fieldName )
{
    try
    {
        const InfoFieldList *list = findInfoFieldList( fileName );
        if ( !list )
            return false;
        sortFlag = list->ordered;
        return isFieldExistInArray( list->fields, fieldName );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:frmInfo.isShowValue()" ), 48 );
        return false;
    }
}

bool frmInfo::isFieldExistInArray( const QStringList &names, const QString &fieldName )
{
    try
    {
        const QString wanted = fieldName.toUpper();
        for ( const QString &name : names )
        {
            if ( name.toUpper() == wanted )
                return true;
        }
        return false;
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:frmInfo.isFieldExistInArray()" ), 48 );
        return false;
    }
}

QString frmInfo::sortBasedOnFieldNames( const QString &fileName )
{
    try
    {
        const InfoFieldList *list = findInfoFieldList( fileName );
        if ( !list || !list->ordered )
            return {};
        return sortAndMakeOutputString( list->fields );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:frmInfo. sortBasedOnFieldNames()" ), 48 );
        return {};
    }
}

QString frmInfo::sortAndMakeOutputString( const QStringList &names )
{
    try
    {
        QString lines;
        for ( const QString &name : names )
        {
            const QString key = name.toUpper();
            const auto it = recordValues.constFind( key );
            if ( it != recordValues.constEnd() )
                lines += key + QStringLiteral( " : " ) + it.value() + kLineBreak;
        }
        return lines;
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:frmInfo.sortAndMakeOutputString()" ), 48 );
        return {};
    }
}
