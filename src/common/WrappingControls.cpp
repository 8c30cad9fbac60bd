#include "WrappingControls.h"

#include <QResizeEvent>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

namespace
{
//! Height that \a text needs in \a width pixels with \a flags.
int wrappedHeight( const QFontMetrics &fm, int width, int flags, const QString &text )
{
    return fm.boundingRect( QRect( 0, 0, std::max( 1, width ), 1 << 20 ), flags, text ).height();
}
} // namespace

WrappingCheckBox::WrappingCheckBox( const QString &text, QWidget *parent )
    : QCheckBox( text, parent )
{
}

QRect WrappingCheckBox::textRect() const
{
    QStyleOptionButton option;
    initStyleOption( &option );
    return style()->subElementRect( QStyle::SE_CheckBoxContents, &option, this );
}

void WrappingCheckBox::paintEvent( QPaintEvent * )
{
    QStylePainter painter( this );
    QStyleOptionButton option;
    initStyleOption( &option );
    const QString caption = option.text;
    // The style draws the indicator (and the focus frame); the caption is ours.
    option.text.clear();
    painter.drawControl( QStyle::CE_CheckBox, option );
    painter.drawItemText( textRect(), QStyle::visualAlignment( layoutDirection(), Qt::Alignment( kTextFlags ) ),
                          option.palette, isEnabled(), caption, QPalette::WindowText );
}

bool WrappingCheckBox::hitButton( const QPoint &pos ) const
{
    return rect().contains( pos );
}

WrappingComboBox::WrappingComboBox( QWidget *parent )
    : QComboBox( parent )
{
    setEditable( false );
    connect( this, &QComboBox::currentTextChanged, this, [this] { fitHeightToText(); } );
}

QRect WrappingComboBox::textRect() const
{
    QStyleOptionComboBox option;
    initStyleOption( &option );
    // The margin the style leaves around an item's text in the field.
    return style()->subControlRect( QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this ).adjusted( 1, 0, -1, 0 );
}

void WrappingComboBox::paintEvent( QPaintEvent * )
{
    QStylePainter painter( this );
    painter.setPen( palette().color( QPalette::Text ) );
    QStyleOptionComboBox option;
    initStyleOption( &option );
    const QString text = option.currentText;
    option.currentText.clear();
    painter.drawComplexControl( QStyle::CC_ComboBox, option );
    painter.drawItemText( textRect(), QStyle::visualAlignment( layoutDirection(), Qt::Alignment( kTextFlags ) ),
                          option.palette, isEnabled(), text );
}

void WrappingComboBox::resizeEvent( QResizeEvent *event )
{
    QComboBox::resizeEvent( event );
    // A hidden box gets the resize events of its own fitting late, when shown.
    if ( !mFitting && event->size().height() != mFittedHeight )
        mOwnHeight = event->size().height();
    fitHeightToText();
}

void WrappingComboBox::changeEvent( QEvent *event )
{
    QComboBox::changeEvent( event );
    if ( event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange )
        fitHeightToText();
}

void WrappingComboBox::fitHeightToText()
{
    if ( mFitting || mOwnHeight <= 0 )
        return;
    const QRect field = textRect();
    const int frame = height() - field.height();
    const int needed = wrappedHeight( fontMetrics(), field.width(), kTextFlags, currentText() ) + frame;
    const int target = std::max( mOwnHeight, needed );
    if ( target == height() )
        return;
    mFitting = true;
    mFittedHeight = target;
    resize( width(), target );
    mFitting = false;
}
