#include "frmShowQueryData.h"

#include "QueryNames.h"
#include "QueryNumbers.h"
#include "md_query_functions2.h"

#include "common/Controls.h"
#include "common/Dialogs.h"
#include "common/ErrorMessage.h"
#include "common/Twips.h"
#include "gis/Renderer.h"
#include "gis/Symbol.h"

#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QPainter>

QPointer<frmShowQueryData> frmShowQueryData::sInstance;

namespace
{
constexpr int kClientWidth = 5955;
constexpr int kClientHeight = 5205;
constexpr int kRowPitch = 360;

template <typename F> void ignoringFailure( F &&step )
{
    try
    {
        step();
    }
    catch ( ... )
    {
    }
}
} // namespace

frmShowQueryData::Swatch::Swatch( QWidget *parent )
    : QWidget( parent )
    , mFillColor( gis::rgb( 255, 0, 0 ) )
{
}

void frmShowQueryData::Swatch::setFillColor( int color )
{
    mFillColor = color;
    update();
}

void frmShowQueryData::Swatch::setBorderWidth( int width )
{
    mBorderWidth = width;
    update();
}

void frmShowQueryData::Swatch::paintEvent( QPaintEvent * )
{
    QPainter p( this );
    p.fillRect( rect(), gis::toQColor( mFillColor ) );
    const int w = std::max( 1, mBorderWidth );
    QPen pen( Qt::black );
    pen.setWidth( w );
    pen.setJoinStyle( Qt::MiterJoin );
    p.setPen( pen );
    p.setBrush( Qt::NoBrush );
    const double inset = w / 2.0;
    p.drawRect( QRectF( rect() ).adjusted( inset, inset, -inset, -inset ) );
}

frmShowQueryData::frmShowQueryData( QWidget *owner, std::function<void()> updateInterface )
    : QDialog( owner, controls::kDialogFlags )
    , mUpdateInterface( std::move( updateInterface ) )
{
    setObjectName( QStringLiteral( "frmShowQueryData" ) );
    setWindowTitle( QStringLiteral( "Query Results" ) );
    setAttribute( Qt::WA_DeleteOnClose );
    setModal( false );
    resize( twips::toPxX( kClientWidth, this ), twips::toPxY( kClientHeight, this ) );

    for ( int r = 0; r < kRowCount; ++r )
    {
        auto *swatch = new Swatch( this );
        swatch->setObjectName( QStringLiteral( "shpLayerColor_%1" ).arg( r ) );
        twips::place( swatch, 120, 120 + kRowPitch * r, 255, 255 );
        swatch->hide();
        shpLayerColor.push_back( swatch );

        auto *area = new QLabel( this );
        area->setObjectName( QStringLiteral( "lblArea_%1" ).arg( r ) );
        twips::place( area, 480, 150 + kRowPitch * r, 1575, 255 );
        area->hide();
        lblArea.push_back( area );

        auto *description = new QLabel( this );
        description->setObjectName( QStringLiteral( "lblDescription_%1" ).arg( r ) );
        twips::place( description, 2280, 150 + kRowPitch * r, 3495, 255 );
        description->hide();
        lblDescription.push_back( description );
    }
}

frmShowQueryData *frmShowQueryData::showFor( QWidget *owner, std::function<void()> updateInterface )
{
    if ( !sInstance )
        sInstance = new frmShowQueryData( owner, std::move( updateInterface ) );
    frmShowQueryData *form = sInstance;
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

bool frmShowQueryData::event( QEvent *e )
{
    if ( e->type() == QEvent::WindowActivate )
        mActivation.activated( [this] { Form_Activate(); } );
    return QDialog::event( e );
}

void frmShowQueryData::Form_Activate()
{
    mActivation.run( *this, [this] { return md_query_functions2::UpdateQueryDataForm( *this ); } );
}

void frmShowQueryData::closeEvent( QCloseEvent *e )
{
    Form_Unload();
    QDialog::closeEvent( e );
    e->accept();
}

void frmShowQueryData::Form_Unload()
{
    try
    {
        for ( size_t r = 0; r < shpLayerColor.size(); ++r )
        {
            shpLayerColor.at( r )->hide();
            lblArea.at( r )->hide();
            lblDescription.at( r )->hide();
        }
        if ( mUpdateInterface )
            mUpdateInterface();
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while dunloading results table. Error Source:frmShowQueryData.Form_Unload()" ),
                      48 );
    }
}

namespace md_query_functions2
{

std::vector<std::pair<int, double>> SumAreasByColour( const ResultModel &model )
{
    std::vector<std::pair<int, double>> sums;
    if ( !model.exists() )
        return sums;
    // The results lie in the class layer's coordinates.
    const gis::LayerPtr &layer = model.run().classLayer;
    const double unit = gis::groundMetresPerUnit( layer ? layer->coordinateSystem() : std::nullopt );
    const double squareMetresPerUnit = unit * unit;
    for ( const ResultModel::Record &record : model.records() )
    {
        double area = 0;
        try
        {
            if ( !record.shape || record.shape->isNull() )
                continue;
            area = record.shape->area() * squareMetresPerUnit / 1000000.0;
        }
        catch ( ... )
        {
            continue;
        }
        const int colour = record.symbol.color;
        auto it = std::find_if( sums.begin(), sums.end(), [colour]( const auto &s ) { return s.first == colour; } );
        if ( it != sums.end() )
            it->second += area;
        else
            sums.emplace_back( colour, area );
    }
    return sums;
}

QString CreateAreaDescription( int colour, const ResultModel::Run &run )
{
    using namespace querynames;
    try
    {
        const bool wind = isWindQuery( run.queryName );
        if ( !wind && run.queryName != kSolar )
            return {};
        if ( !run.classLayer )
            return {};
        const auto *renderer = dynamic_cast<const gis::ClassBreaksRenderer *>( run.classLayer->renderer.get() );
        if ( !renderer )
            throw std::runtime_error( "the layer has no class breaks" );

        const int n = renderer->breakCount();
        int k = -1;
        for ( int i = 0; i <= n; ++i )
        {
            if ( renderer->symbol( i ).color == colour )
            {
                k = i;
                break;
            }
        }

        const QString head = wind ? QStringLiteral( "Wind Power Density " ) : QStringLiteral( "Solar Resource " );
        const auto text = [wind]( double v ) {
            return wind ? querynumbers::numberText( v ) : querynumbers::fixedText( v, 1 );
        };
        if ( k < 0 )
            return wind ? head + QStringLiteral( "< 200" ) : QString();
        if ( k == 0 )
            return head + QStringLiteral( "< " ) + text( renderer->breakValue( 0 ) );
        if ( k == n )
            return head + QStringLiteral( ">= " ) + text( renderer->breakValue( n - 1 ) );
        return head + QStringLiteral( ">= " ) + text( renderer->breakValue( k - 1 ) )
               + ( wind ? QStringLiteral( " and < " ) : QStringLiteral( " < " ) ) + text( renderer->breakValue( k ) );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.CreateAreaDescription()" ), 48 );
        return {};
    }
}

bool UpdateQueryDataForm( frmShowQueryData &form )
{
    bool showedMessage = false;
    const size_t rows = form.shpLayerColor.size();
    for ( size_t r = 0; r < rows; ++r )
    {
        ignoringFailure( [&] {
            form.shpLayerColor.at( r )->hide();
            form.lblArea.at( r )->hide();
            form.lblDescription.at( r )->hide();
        } );
    }

    std::vector<std::pair<int, double>> sums;
    ignoringFailure( [&] { sums = SumAreasByColour( cResults ); } );

    if ( sums.size() > rows )
    {
        ignoringFailure( [&] {
            showedMessage = true;
            Dialogs::instance().message( &form, QStringLiteral( "Form will not be able to show all values" ), kAppTitle,
                                         Dialogs::Icon::None );
        } );
    }

    const ResultModel::Run &run = cResults.run();
    const QString field = run.valueField.trimmed().toUpper();
    const bool solarField = field == QLatin1String( "ANNDIR" ) || field == QLatin1String( "ANNTILT" )
                            || field == QLatin1String( "ANNGLO" );
    for ( size_t r = 0; r < rows && r < sums.size(); ++r )
    {
        const auto &[colour, area] = sums.at( r );
        ignoringFailure( [&] {
            frmShowQueryData::Swatch *swatch = form.shpLayerColor.at( r );
            swatch->setFillColor( colour );
            if ( solarField )
                swatch->setBorderWidth( 2 );
            swatch->show();
        } );
        ignoringFailure( [&] {
            form.lblArea.at( r )->setText( querynumbers::fixedText( area, 2 ) + QStringLiteral( " sq km" ) );
            form.lblArea.at( r )->show();
        } );
        ignoringFailure( [&] {
            form.lblDescription.at( r )->setText( CreateAreaDescription( colour, run ) );
            form.lblDescription.at( r )->show();
        } );
    }
    return showedMessage;
}

} // namespace md_query_functions2
