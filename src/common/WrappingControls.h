#pragma once

#include <QCheckBox>
#include <QComboBox>

/**
 * Controls whose text breaks onto further lines at blanks where the control
 * is too narrow for it on one line, in the program's font.
 */

/**
 * A check box whose caption wraps beside the indicator; the box keeps its
 * size, so it shows as many lines as its height allows. A click anywhere on
 * the box toggles it. text() is the caption as set ("&&" for an ampersand).
 */
class WrappingCheckBox : public QCheckBox
{
  public:
    explicit WrappingCheckBox( const QString &text, QWidget *parent = nullptr );

    //! Where the caption is drawn: the style's contents area beside the indicator.
    QRect textRect() const;
    static constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

  protected:
    void paintEvent( QPaintEvent *event ) override;
    bool hitButton( const QPoint &pos ) const override;
};

/**
 * A drop-down list (not editable) that shows the chosen item's whole text:
 * when it needs more lines than the height the owner gave, the box grows
 * downwards to fit them, and returns to that height for a shorter text.
 * Position and width stay as the owner set them.
 */
class WrappingComboBox : public QComboBox
{
  public:
    explicit WrappingComboBox( QWidget *parent = nullptr );

    //! Where the chosen item's text is drawn.
    QRect textRect() const;
    static constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;

  protected:
    void paintEvent( QPaintEvent *event ) override;
    void resizeEvent( QResizeEvent *event ) override;
    void changeEvent( QEvent *event ) override;

  private:
    void fitHeightToText();

    int mOwnHeight = 0;    //!< the height last given by the owner
    int mFittedHeight = 0; //!< the height last given by fitting
    bool mFitting = false; //!< a resize of our own is under way
};
