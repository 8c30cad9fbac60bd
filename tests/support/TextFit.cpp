#include "TextFit.h"

#include "common/WrappingControls.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTextLayout>

namespace testsupport
{

namespace
{

//! The text as drawn with Qt::TextShowMnemonic: "&&" is one ampersand, a single one marks the shortcut.
QString shownText( const QString &text )
{
    QString out;
    for ( int i = 0; i < text.size(); ++i )
    {
        if ( text.at( i ) == QLatin1Char( '&' ) && i + 1 < text.size() )
            ++i;
        out += text.at( i );
    }
    return out;
}

//! Rectangles of the lines of \a text laid out in \a area as QPainter::drawText() would with \a flags.
QList<QRectF> lineRects( const QString &text, const QFont &font, const QRect &area, int flags )
{
    QTextOption option( Qt::Alignment( flags ) & Qt::AlignHorizontal_Mask );
    option.setWrapMode( ( flags & Qt::TextWordWrap ) ? QTextOption::WordWrap : QTextOption::NoWrap );
    QTextLayout layout( text, font );
    layout.setTextOption( option );
    QList<QTextLine> lines;
    qreal height = 0;
    layout.beginLayout();
    for ( QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine() )
    {
        line.setLineWidth( area.width() );
        line.setPosition( QPointF( 0, height ) );
        height += line.height();
        lines << line;
    }
    layout.endLayout();

    qreal top = area.top();
    if ( flags & Qt::AlignVCenter )
        top += ( area.height() - height ) / 2;
    else if ( flags & Qt::AlignBottom )
        top += area.height() - height;
    // Leading and trailing blanks show nothing: a control over them hides no text.
    QList<QRectF> out;
    for ( const QTextLine &line : lines )
    {
        int first = line.textStart();
        int end = first + line.textLength();
        while ( first < end && text.at( first ).isSpace() )
            ++first;
        while ( end > first && text.at( end - 1 ).isSpace() )
            --end;
        if ( first == end )
            continue;
        const qreal left = line.cursorToX( first );
        const qreal right = line.cursorToX( end );
        out << QRectF( area.left() + left, top + line.y(), right - left, line.height() );
    }
    return out;
}

//! Whether every line lies inside \a area, allowing the half pixel that rounding gives.
bool linesInside( const QList<QRectF> &lines, const QRect &area )
{
    const QRectF bounds = QRectF( area ).adjusted( -0.5, -0.5, 1.5, 1.5 );
    for ( const QRectF &line : lines )
    {
        if ( !bounds.contains( line ) )
            return false;
    }
    return true;
}

bool wrappedFits( const QString &text, const QFont &font, const QRect &area, int flags )
{
    return linesInside( lineRects( text, font, area, flags ), area );
}

//! Where \a label draws its text: the rectangles of its lines, in its own coordinates.
QList<QRectF> labelLines( const QLabel *label )
{
    const int m = label->margin();
    const QRect area = label->contentsRect().adjusted( m, m, -m, -m );
    const int flags = int( label->alignment() ) | ( label->wordWrap() ? Qt::TextWordWrap : 0 );
    return lineRects( label->text(), label->font(), area, flags );
}

/**
 * The shown sibling stacked over \a label that covers part of one of its text
 * lines, or null. A label without a background of its own covers only with
 * its text.
 */
const QWidget *coveredBy( const QLabel *label, const QList<QRectF> &lines )
{
    const QWidget *parent = label->parentWidget();
    if ( !parent )
        return nullptr;
    const QObjectList &siblings = parent->children();
    const qsizetype own = siblings.indexOf( const_cast<QLabel *>( label ) );
    for ( qsizetype i = own + 1; i < siblings.size(); ++i )
    {
        const auto *w = qobject_cast<const QWidget *>( siblings.at( i ) );
        if ( !w || w->isWindow() || w->isHidden() )
            continue;
        QList<QRectF> over { QRectF( 0, 0, w->width(), w->height() ) };
        const auto *otherLabel = qobject_cast<const QLabel *>( w );
        if ( otherLabel && !otherLabel->autoFillBackground() )
            over = labelLines( otherLabel );
        const QPointF offset = label->mapFromParent( w->pos() );
        for ( QRectF o : over )
        {
            o.translate( offset );
            for ( const QRectF &line : lines )
            {
                // Line boxes that merely touch, within a pixel of rounding, hide nothing.
                const QRectF common = o.intersected( line );
                if ( common.width() > 1 && common.height() > 1 )
                    return w;
            }
        }
    }
    return nullptr;
}

QString nameOf( const QWidget *w )
{
    return w->objectName().isEmpty() ? QString::fromLatin1( w->metaObject()->className() ) : w->objectName();
}

//! Why \a label's text cannot be read whole, or nothing when it can.
QString labelProblem( const QLabel *label )
{
    const int m = label->margin();
    const QList<QRectF> lines = labelLines( label );
    if ( !linesInside( lines, label->contentsRect().adjusted( m, m, -m, -m ) ) )
        return QStringLiteral( "beyond its bounds" );
    if ( const QWidget *w = coveredBy( label, lines ) )
        return QStringLiteral( "covered by " ) + nameOf( w );
    return {};
}

bool buttonFits( const QAbstractButton *button )
{
    if ( const auto *wrapping = dynamic_cast<const WrappingCheckBox *>( button ) )
        return wrappedFits( shownText( button->text() ), button->font(), wrapping->textRect(),
                            WrappingCheckBox::kTextFlags );

    QStyleOptionButton option;
    option.initFrom( button );
    option.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if ( qobject_cast<const QCheckBox *>( button ) )
        contents = QStyle::SE_CheckBoxContents;
    else if ( qobject_cast<const QRadioButton *>( button ) )
        contents = QStyle::SE_RadioButtonContents;
    const QRect area = button->style()->subElementRect( contents, &option, button );
    const QFontMetrics fm( button->font() );
    return fm.horizontalAdvance( shownText( button->text() ) ) <= area.width() && fm.height() <= area.height() + 1;
}

bool comboFits( const QComboBox *combo )
{
    if ( combo->isEditable() && combo->lineEdit() )
        return lineEditShows( combo->lineEdit(), combo->currentText() );
    if ( const auto *wrapping = dynamic_cast<const WrappingComboBox *>( combo ) )
        return wrappedFits( combo->currentText(), combo->font(), wrapping->textRect(), WrappingComboBox::kTextFlags );

    QStyleOptionComboBox option;
    option.initFrom( combo );
    option.editable = false;
    option.frame = combo->hasFrame();
    option.currentText = combo->currentText();
    const QRect area = combo->style()
                           ->subControlRect( QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo )
                           .adjusted( 1, 0, -1, 0 );
    return QFontMetrics( combo->font() ).horizontalAdvance( combo->currentText() ) <= area.width();
}

bool groupTitleFits( const QGroupBox *box )
{
    QStyleOptionGroupBox option;
    option.initFrom( box );
    option.text = box->title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.textAlignment = box->alignment();
    const QRect title = box->style()->subControlRect( QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box );
    const int width = QFontMetrics( box->font() ).horizontalAdvance( shownText( box->title() ) );
    return box->rect().contains( title ) && width <= title.width();
}

//! Whether \a w belongs to another control's inside: a combo box's edit field, a scrolled viewport.
bool partOfAnotherControl( const QWidget *w, const QWidget *root )
{
    for ( const QWidget *p = w->parentWidget(); p && p != root->parentWidget(); p = p->parentWidget() )
    {
        if ( qobject_cast<const QComboBox *>( p ) || qobject_cast<const QAbstractScrollArea *>( p ) )
            return true;
    }
    return false;
}

QString describe( const QWidget *w, const QString &text, const QString &problem = {} )
{
    return nameOf( w ) + QStringLiteral( ": " ) + text + ( problem.isEmpty() ? QString() : QStringLiteral( " (" ) + problem + ')' );
}

} // namespace

QStringList itemTexts( const QComboBox *box )
{
    QStringList out;
    for ( int i = 0; i < box->count(); ++i )
        out << box->itemText( i );
    return out;
}

bool lineEditShows( const QLineEdit *edit, const QString &text )
{
    // A line edit keeps two pixels clear on either side of its text, and shows
    // a text unscrolled only when one pixel and the cursor fit after it.
    constexpr int kSideMargin = 2;
    const int cursor = edit->style()->pixelMetric( QStyle::PM_TextCursorWidth, nullptr, edit );
    const QMargins margins = edit->textMargins();
    const int room = edit->contentsRect().width() - margins.left() - margins.right() - 2 * kSideMargin;
    return QFontMetrics( edit->font() ).horizontalAdvance( text ) + 1 + cursor <= room;
}

QStringList clippedTexts( const QWidget *root )
{
    QList<const QWidget *> widgets { root };
    for ( const QWidget *w : root->findChildren<QWidget *>() )
        widgets << w;

    QStringList out;
    for ( const QWidget *w : widgets )
    {
        if ( !w->isVisibleTo( root ) && w != root )
            continue;
        if ( w != root && partOfAnotherControl( w, root ) )
            continue;
        if ( const auto *label = qobject_cast<const QLabel *>( w ) )
        {
            const QString problem = label->text().isEmpty() ? QString() : labelProblem( label );
            if ( !problem.isEmpty() )
                out << describe( w, label->text(), problem );
        }
        else if ( const auto *button = qobject_cast<const QAbstractButton *>( w ) )
        {
            if ( !button->text().isEmpty() && !buttonFits( button ) )
                out << describe( w, button->text() );
        }
        else if ( const auto *combo = qobject_cast<const QComboBox *>( w ) )
        {
            if ( !comboFits( combo ) )
                out << describe( w, combo->currentText() );
        }
        else if ( const auto *edit = qobject_cast<const QLineEdit *>( w ) )
        {
            if ( !lineEditShows( edit, edit->text() ) )
                out << describe( w, edit->text() );
        }
        else if ( const auto *box = qobject_cast<const QGroupBox *>( w ) )
        {
            if ( !box->title().isEmpty() && !groupTitleFits( box ) )
                out << describe( w, box->title() );
        }
    }
    return out;
}

} // namespace testsupport
