#include "LegendControl.h"

#include "gis/GisError.h"
#include "gis/MapWidget.h"
#include "gis/SymbolPainter.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
constexpr int kSwatchWidth = 22;
constexpr int kSwatchHeight = 14;
constexpr int kIndent = 24;
constexpr int kMargin = 4;

struct ClassRow
{
    QString text;
    gis::Symbol symbol;
};

QString number( double v )
{
    return QString::number( v, 'g', 6 );
}

// Class rows of a layer's renderer. A value equal to a break belongs to the
// class below it, so the texts read "up to and including" each break.
std::vector<ClassRow> classRowsOf( const gis::Layer &layer )
{
    std::vector<ClassRow> rows;
    if ( !layer.renderer )
        return rows;
    if ( layer.renderer->kind() == gis::Renderer::Kind::ClassBreaks )
    {
        const auto &r = static_cast<const gis::ClassBreaksRenderer &>( *layer.renderer );
        const int n = r.breakCount();
        for ( int i = 0; i <= n; ++i )
        {
            QString text;
            if ( n == 0 )
                text = QStringLiteral( "All values" );
            else if ( i == 0 )
                text = QStringLiteral( "<= " ) + number( r.breakValue( 0 ) );
            else if ( i == n )
                text = QStringLiteral( "> " ) + number( r.breakValue( n - 1 ) );
            else
                text = number( r.breakValue( i - 1 ) ) + QStringLiteral( " - " ) + number( r.breakValue( i ) );
            rows.push_back( { text, r.symbol( i ) } );
        }
    }
    else if ( layer.renderer->kind() == gis::Renderer::Kind::ValueMap )
    {
        const auto &r = static_cast<const gis::ValueMapRenderer &>( *layer.renderer );
        for ( int i = 0; i < r.valueCount(); ++i )
            rows.push_back( { r.value( i ), r.symbol( i ) } );
    }
    return rows;
}

// A layer of no known shape kind shows a fill swatch.
gis::ShapeKind kindOf( const gis::Layer &layer )
{
    const gis::ShapeKind k = layer.shapeType();
    return k == gis::ShapeNone ? gis::ShapePolygon : k;
}

QPixmap swatch( const gis::Symbol &symbol, gis::ShapeKind kind )
{
    QPixmap pm( kSwatchWidth, kSwatchHeight );
    pm.fill( Qt::transparent );
    QPainter p( &pm );
    gis::SymbolPainter::drawSwatch( p, QRectF( 0, 0, kSwatchWidth, kSwatchHeight ), symbol, kind );
    return pm;
}
} // namespace

struct LegendControl::Private
{
    struct Row
    {
        std::weak_ptr<gis::Layer> layer;
        QString name;
        gis::ShapeKind kind = gis::ShapePolygon;
        gis::Symbol symbol;
        std::vector<ClassRow> classes;
        QCheckBox *check = nullptr;
        QWidget *widget = nullptr;
    };

    QPointer<gis::MapWidget> map;
    QMetaObject::Connection redrawConnection;
    QScrollArea *scroll = nullptr;
    QWidget *content = nullptr;
    QVBoxLayout *rowsLayout = nullptr;
    std::vector<Row> rows;
};

LegendControl::LegendControl( QWidget *parent )
    : QWidget( parent )
    , d( std::make_unique<Private>() )
{
    auto *outer = new QVBoxLayout( this );
    outer->setContentsMargins( 0, 0, 0, 0 );
    d->scroll = new QScrollArea( this );
    d->scroll->setFrameShape( QFrame::NoFrame );
    d->scroll->setWidgetResizable( true );
    d->scroll->viewport()->setAutoFillBackground( false );
    d->content = new QWidget;
    d->content->setAutoFillBackground( false );
    d->rowsLayout = new QVBoxLayout( d->content );
    d->rowsLayout->setContentsMargins( kMargin, kMargin, kMargin, kMargin );
    d->rowsLayout->setSpacing( 2 );
    d->rowsLayout->addStretch( 1 );
    d->scroll->setWidget( d->content );
    outer->addWidget( d->scroll );
}

LegendControl::~LegendControl() = default;

void LegendControl::setMapSource( gis::MapWidget *map )
{
    if ( d->redrawConnection )
        disconnect( d->redrawConnection );
    d->map = map;
    if ( map )
        d->redrawConnection = connect( map, &gis::MapWidget::afterTrackingLayerDraw, this, [this] { syncChecks(); } );
}

void LegendControl::loadLegend( bool )
{
    clear();
    if ( !d->map )
        return;
    for ( int i = 0; i < d->map->layerCount(); ++i )
    {
        const gis::LayerPtr &layer = d->map->layer( i );
        if ( !layer )
            continue;
        Private::Row row;
        row.layer = layer;
        row.name = layer->name;
        row.kind = kindOf( *layer );
        row.symbol = layer->symbol;
        row.classes = classRowsOf( *layer );

        auto *w = new QWidget( d->content );
        auto *v = new QVBoxLayout( w );
        v->setContentsMargins( 0, 0, 0, 0 );
        v->setSpacing( 1 );
        auto *h = new QHBoxLayout;
        h->setSpacing( 4 );
        row.check = new QCheckBox( w );
        row.check->setChecked( layer->visible );
        // The box has no caption of its own: a screen reader tells the rows apart by this.
        row.check->setAccessibleName( row.name );
        h->addWidget( row.check );
        if ( row.classes.empty() )
        {
            auto *sw = new QLabel( w );
            sw->setPixmap( swatch( row.symbol, row.kind ) );
            h->addWidget( sw );
        }
        h->addWidget( new QLabel( row.name, w ), 1 );
        v->addLayout( h );
        for ( const ClassRow &c : row.classes )
        {
            auto *ch = new QHBoxLayout;
            ch->setContentsMargins( kIndent, 0, 0, 0 );
            ch->setSpacing( 4 );
            auto *sw = new QLabel( w );
            sw->setPixmap( swatch( c.symbol, row.kind ) );
            ch->addWidget( sw );
            ch->addWidget( new QLabel( c.text, w ), 1 );
            v->addLayout( ch );
        }
        row.widget = w;
        const int rowIndex = static_cast<int>( d->rows.size() );
        connect( row.check, &QCheckBox::toggled, this, [this, rowIndex]( bool on ) { toggled( rowIndex, on ); } );
        d->rowsLayout->insertWidget( d->rowsLayout->count() - 1, w );
        d->rows.push_back( std::move( row ) );
    }
}

void LegendControl::clear()
{
    // A clear may come from a handler of one of these check boxes: the rows
    // go once control is back in the event loop.
    for ( Private::Row &row : d->rows )
    {
        if ( !row.widget )
            continue;
        row.check->disconnect( this );
        row.widget->hide();
        d->rowsLayout->removeWidget( row.widget );
        row.widget->setParent( nullptr );
        row.widget->deleteLater();
    }
    d->rows.clear();
}

int LegendControl::rowCount() const
{
    return static_cast<int>( d->rows.size() );
}

QString LegendControl::rowName( int row ) const
{
    return d->rows.at( static_cast<size_t>( row ) ).name;
}

int LegendControl::classCount( int row ) const
{
    return static_cast<int>( d->rows.at( static_cast<size_t>( row ) ).classes.size() );
}

QString LegendControl::classText( int row, int cls ) const
{
    return d->rows.at( static_cast<size_t>( row ) ).classes.at( static_cast<size_t>( cls ) ).text;
}

QCheckBox *LegendControl::checkBox( int row ) const
{
    return d->rows.at( static_cast<size_t>( row ) ).check;
}

void LegendControl::toggled( int row, bool checked )
{
    if ( row < 0 || row >= rowCount() )
        return;
    const gis::LayerPtr layer = d->rows[static_cast<size_t>( row )].layer.lock();
    if ( !layer || !d->map )
        return;
    const auto &layers = d->map->layers();
    const auto it = std::find( layers.begin(), layers.end(), layer );
    if ( it == layers.end() )
        return;
    layer->visible = checked;
    emit afterSetLayerVisible( static_cast<int>( it - layers.begin() ) );
}

void LegendControl::syncChecks()
{
    for ( Private::Row &row : d->rows )
    {
        const gis::LayerPtr layer = row.layer.lock();
        if ( !layer || !row.check || row.check->isChecked() == layer->visible )
            continue;
        const QSignalBlocker block( row.check );
        row.check->setChecked( layer->visible );
    }
}

QImage LegendControl::picture() const
{
    const QFontMetrics fm( font() );
    const int line = std::max( fm.height(), kSwatchHeight ) + 2;
    int lines = 0;
    int width = 0;
    for ( const Private::Row &row : d->rows )
    {
        width = std::max( width, kSwatchWidth + 6 + fm.horizontalAdvance( row.name ) );
        ++lines;
        for ( const ClassRow &c : row.classes )
        {
            width = std::max( width, kIndent + kSwatchWidth + 6 + fm.horizontalAdvance( c.text ) );
            ++lines;
        }
    }
    // At least the control's own size, as it would look on the screen.
    const QSize size( std::max( this->width(), width + 2 * kMargin ), std::max( this->height(), lines * line + 2 * kMargin ) );
    QImage img( size, QImage::Format_RGB32 );
    img.fill( palette().color( backgroundRole() ) );
    QPainter p( &img );
    p.setFont( font() );
    p.setPen( palette().color( foregroundRole() ) );
    int y = kMargin;
    auto drawLine = [&]( int indent, const gis::Symbol *symbol, gis::ShapeKind kind, const QString &text ) {
        int x = kMargin + indent;
        if ( symbol )
            gis::SymbolPainter::drawSwatch( p, QRectF( x, y + ( line - kSwatchHeight ) / 2.0, kSwatchWidth, kSwatchHeight ), *symbol,
                                            kind );
        x += kSwatchWidth + 6;
        p.drawText( QRect( x, y, size.width() - x, line ), Qt::AlignLeft | Qt::AlignVCenter, text );
        y += line;
    };
    for ( const Private::Row &row : d->rows )
    {
        drawLine( 0, row.classes.empty() ? &row.symbol : nullptr, row.kind, row.name );
        for ( const ClassRow &c : row.classes )
            drawLine( kIndent, &c.symbol, row.kind, c.text );
    }
    return img;
}

void LegendControl::saveToBmp( const QString &path )
{
    QImageWriter writer( path, "BMP" );
    if ( !writer.write( picture() ) )
        throw gis::GisError( "Cannot write the legend bitmap " + path.toStdString() + ": "
                             + writer.errorString().toStdString() );
}
