#include "Controls.h"

#include "gis/Fonts.h"

#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionComplex>

#include <algorithm>

namespace
{
//! The application's style with a narrower combo-box button; the edit field gets the width given up.
class SlimDropDownStyle : public QProxyStyle
{
  public:
    SlimDropDownStyle()
        : QProxyStyle( QStyleFactory::create( QApplication::style()->name() ) )
    {
    }

    QRect subControlRect( ComplexControl control, const QStyleOptionComplex *option, SubControl sub,
                          const QWidget *widget ) const override
    {
        QRect r = QProxyStyle::subControlRect( control, option, sub, widget );
        if ( control != CC_ComboBox || ( sub != SC_ComboBoxArrow && sub != SC_ComboBoxEditField ) )
            return r;
        const QRect arrow = QProxyStyle::subControlRect( control, option, SC_ComboBoxArrow, widget );
        const int given = std::max( 0, arrow.width() - controls::kSlimDropDownWidth );
        const bool rightToLeft = option->direction == Qt::RightToLeft;
        if ( sub == SC_ComboBoxArrow )
            return rightToLeft ? r.adjusted( 0, 0, -given, 0 ) : r.adjusted( given, 0, 0, 0 );
        return rightToLeft ? r.adjusted( -given, 0, 0, 0 ) : r.adjusted( 0, 0, given, 0 );
    }
};
} // namespace

namespace controls
{

void installProgramFont()
{
    gis::installFontSubstitutions();
    QApplication::setFont( QFont( QStringLiteral( "MS Sans Serif" ), 8 ) );
}

void makeEditableAsTyped( QComboBox *box )
{
    box->setEditable( true );
    // Qt's default completer fills in the rest of a matching item ("50" becomes
    // "500", "max" becomes "Max") and keeps it when the focus leaves.
    box->setCompleter( nullptr );
    box->setInsertPolicy( QComboBox::NoInsert );
}

void useSlimDropDownButton( QComboBox *box )
{
    static QPointer<SlimDropDownStyle> style;
    if ( !style )
    {
        style = new SlimDropDownStyle;
        style->setParent( qApp );
    }
    box->setStyle( style );
}

} // namespace controls
