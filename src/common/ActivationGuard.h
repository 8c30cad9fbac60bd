#pragma once

#include <QWidget>

/**
 * For windows that build their content again every time they become
 * active. A message box shown by the build takes the activation and gives
 * it back when it closes; that return is not the user's and must not build
 * again (and show the box again). Builds do not nest.
 */
class ActivationGuard
{
  public:
    //! For the window's WindowActivate event: runs \a build unless this activation is the return from our own box.
    template <typename Build> void activated( Build &&build )
    {
        if ( mSkipNext )
        {
            mSkipNext = false;
            return;
        }
        build();
    }

    /**
     * Runs \a build, which returns whether it showed a message box, unless a
     * build is running already. When the build leaves \a window inactive
     * after it showed a box or was active before, the next activation is
     * skipped. \a build must not throw.
     */
    template <typename Build> void run( const QWidget &window, Build &&build )
    {
        if ( mRunning )
            return;
        mRunning = true;
        const bool wasActive = window.isActiveWindow();
        const bool showedBox = build();
        mRunning = false;
        if ( ( showedBox || wasActive ) && !window.isActiveWindow() )
            mSkipNext = true;
    }

  private:
    bool mRunning = false;
    bool mSkipNext = false;
};
