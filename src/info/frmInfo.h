#pragma once

#include "common/ActivationGuard.h"

#include <QDialog>
#include <QHash>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace gis
{
class MapWidget;
}

/**
 * The Info window "Map Information": the attributes of the features at the
 * last mouse-down point of the main map, in every visible layer but the
 * national boundary, as plain text. Each standard file shows the fields of
 * its InfoFieldLists row; an ordered row lists them upper-cased in the
 * row's order.
 *
 * One instance, made on first showing and kept (OK only hides it); owned by
 * the main window. The text is built again every time the window becomes
 * active, from the press point and the map's extent and layers as they are
 * then. Failures are reported through ErrorMessage; nothing throws out.
 */
class frmInfo : public QDialog
{
    Q_OBJECT

  public:
    //! Where the features are looked for: the map and its last mouse-down position (widget pixels).
    using PressPoint = std::function<QPoint()>;

    //! The window, made over \a owner on first use; \a map and \a pressPoint are taken on every call.
    static frmInfo *instance( QWidget *owner, gis::MapWidget *map, PressPoint pressPoint );
    //! The window if it exists.
    static frmInfo *existingInstance() { return sInstance; }

    QPushButton *OKButton = nullptr;
    QPlainTextEdit *txtInfo = nullptr;

    //! Builds the text of the features at the press point and puts it into txtInfo (what activation does).
    void Form_Activate();
    void OKButton_Click();

    /**
     * Whether \a fieldName (upper-cased by the caller) is shown for layers
     * tagged \a fileName. For a file with a field list it also sets sortFlag
     * to whether that list is ordered; for any other file it returns false
     * and leaves sortFlag alone.
     */
    bool isShowValue( const QString &fileName, const QString &fieldName );
    //! True when some name of \a names equals \a fieldName without regard to case.
    bool isFieldExistInArray( const QStringList &names, const QString &fieldName );
    //! The ordered field lines of the current feature for an ordered \a fileName, "" for any other.
    QString sortBasedOnFieldNames( const QString &fileName );
    //! "NAME : VALUE" lines for the names of \a names held in recordValues, in the order of \a names.
    QString sortAndMakeOutputString( const QStringList &names );

    //! The layer being listed is an ordered one.
    bool sortFlag = false;
    //! The current feature's shown fields of an ordered layer: upper-case name to upper-case value text.
    QHash<QString, QString> recordValues;

  protected:
    bool event( QEvent *e ) override;

  private:
    explicit frmInfo( QWidget *owner );
    QString featureText();

    gis::MapWidget *mMap = nullptr;
    PressPoint mPressPoint;
    ActivationGuard mActivation;

    static QPointer<frmInfo> sInstance;
};
